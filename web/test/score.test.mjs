// The page names picked measures by their printed numbers, which may repeat: it must never hand
// the command a selection that the command reads as other measures.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parseSelection, selectionText, withMeasureIds, measureIndexOf } from '../site/score.js';

const score = {
    parts: [
        { id: 'P1', name: 'Violin', staves: 1, firstStaff: 1 },
        { id: 'P2', name: 'Piano', staves: 2, firstStaff: 2 },
    ],
    measures: ['0', '1', '2', '1', '2', '3'], // a pickup, then 1-2 printed twice (a repeat written out)
    staffCount: 3,
};

test('picks become the command’s selections, and back', () => {
    assert.equal(selectionText(score, [1], 1, 2), 'P1:1-2');
    assert.equal(selectionText(score, [2, 3], 0, 0), 'P2/1,P2/2:0');
    assert.equal(selectionText(score, [1], 2, 5), 'P1:2-3');
    assert.equal(selectionText(score, [1], 2, 3), 'P1:2-1'); // the command finds the end from the start on
    assert.throws(() => selectionText(score, [1], 4, 5), /"2" comes earlier/);
    assert.throws(() => selectionText(score, [1], 1, 4), /"2" comes earlier/); // "1-2" would end at the first 2
    assert.deepEqual(parseSelection(score, 'piano:1-2'), { staves: [2, 3], first: 1, last: 2 });
    assert.deepEqual(parseSelection(score, 'Violin,P2/2:3'), { staves: [1, 3], first: 5, last: 5 });
    assert.equal(parseSelection(score, 'Tuba:1'), null);
});

test('every measure of every part is known by its place, whatever id it had', () => {
    const text = withMeasureIds('<part id="P1"><measure number="1" id="x"/><measure number="1"/></part><part id="P2"><measure number="1"/></part>');
    const ids = [...text.matchAll(/<measure id="([^"]+)"/g)].map((m) => measureIndexOf(m[1]));
    assert.deepEqual(ids, [0, 1, 0]);
    assert.ok(!text.includes('id="x"'));
});
