// The page names picked staves and measures so that the command reads exactly those: parts by
// id, a measure number printed more than once by its occurrence ("1#2").
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parseSelection, readScore, selectionText, withMeasureIds, measureIndexOf } from '../site/score.js';

// As `beatclone --list --json` lists it: a pickup, then 1-2 printed twice (a repeat written out).
const printed = ['0', '1', '2', '1', '2', '3'];
const score = readScore({
    parts: [
        { id: 'P1', name: 'Violin', abbreviation: 'Vln.', staves: [{ staff: 1 }] },
        { id: 'P2', name: 'Flûte à bec', abbreviation: '', staves: [{ staff: 1 }, { staff: 2 }] },
    ],
    measures: printed.map((p, i) => ({
        printed: p,
        selection: printed.filter((q) => q === p).length > 1 ? `${p}#${printed.slice(0, i + 1).filter((q) => q === p).length}` : p,
    })),
});

test('picks become the command’s selections, and back', () => {
    assert.equal(selectionText(score, [1], 1, 2), '@P1:1#1-2');
    assert.equal(selectionText(score, [2, 3], 0, 0), '@P2:0');
    assert.equal(selectionText(score, [1, 3], 2, 5), '@P1,@P2/2:2#1-3');
    assert.equal(selectionText(score, [1], 2, 3), '@P1:2#1-1'); // the end is found from the start on
    assert.equal(selectionText(score, [1], 4, 5), '@P1:2#2-3');
    assert.equal(selectionText(score, [1], 1, 4), '@P1:1#1-2#2'); // "1#1-2" would end at the first 2
    assert.deepEqual(parseSelection(score, 'FLUTE A BEC:1#2-2'), { staves: [2, 3], first: 3, last: 4 });
    assert.deepEqual(parseSelection(score, 'vln,@P2/2:3'), { staves: [1, 3], first: 5, last: 5 });
    assert.deepEqual(parseSelection(score, 'all:1#1-2#2'), { staves: [1, 2, 3], first: 1, last: 4 });
    for (const typed of ['Tuba:3', '@p1:3', 'P1:1', 'P1:7']) assert.equal(parseSelection(score, typed), null, typed);
    for (const [staves, first, last] of [[[1], 3, 5], [[2], 1, 4], [[1, 2, 3], 0, 3]]) {
        const picked = { staves, first, last };
        assert.deepEqual(parseSelection(score, selectionText(score, staves, first, last)), picked);
    }
});

test('every measure of every part is known by its place, whatever id it had', () => {
    const text = withMeasureIds('<part id="P1"><measure number="1" id="x"/><measure number="1"/></part><part id="P2"><measure number="1"/></part>');
    const ids = [...text.matchAll(/<measure id="([^"]+)"/g)].map((m) => measureIndexOf(m[1]));
    assert.deepEqual(ids, [0, 1, 0]);
    assert.ok(!text.includes('id="x"'));
});
