// build-web/beatclone.mjs does what the native command does: on every corpus score, read and
// written back, transferred, as .mxl in and out, and on the command's refusals.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { corpus, firstMeasureTransfer, nativeCommand, runBoth, withRepeatedNumbers } from './same-as-native.mjs';

const scores = fs
    .readdirSync(corpus)
    .filter((name) => /\.(xml|musicxml)$/.test(name))
    .map((name) => path.join(corpus, name));

function assertSame(inputs, args) {
    const [native, node] = runBoth(inputs, args);
    assert.deepEqual(node, native, `beatclone ${args.join(' ')}`);
    return native;
}

test('every corpus score, read and written, transferred, and as .mxl', { concurrency: 2 }, async (t) => {
    const mxlDir = fs.mkdtempSync(path.join(os.tmpdir(), 'beatclone-web-mxl-'));
    t.after(() => fs.rmSync(mxlDir, { recursive: true, force: true }));
    for (const score of scores) {
        const name = path.basename(score);
        await t.test(name, () => {
            const transfer = firstMeasureTransfer(fs.readFileSync(score, 'utf8'));
            assertSame([score], [name, '-o', 'out.musicxml']);
            assertSame([score], [name, ...transfer, '--json', '-o', 'out.mxl']);
            // The same score compressed by the native command, read back by both.
            const mxl = path.join(mxlDir, name.replace(/\.\w+$/, '.mxl'));
            assert.equal(spawnSync(nativeCommand, [score, '-o', mxl]).status, 0);
            assertSame([mxl], [path.basename(mxl), ...transfer, '--view']);
        });
    }
});

test('options, refusals and failures', { concurrency: 2 }, async (t) => {
    const score = path.join(corpus, 'music21-bach-bwv66.6-chorale.musicxml');
    const name = path.basename(score);
    const cases = [
        [],
        ['--bogus'],
        ['--version'],
        ['missing.musicxml', '--json'],
        [name, '-o', '-'],
        [name, '--list', '--json'],
        [name, '--source', 'P1:1', '--to', 'P2,P3,P4:1', '--dry-run', '--json'],
        [name, '--source', 'P1:1-2', '--to', 'P2:3', '--quiet'],
        [name, '--source', 'Nobody:1', '--to', 'P2:1', '--json'],
        [name, '--source', 'P1:1', '--to', 'P2:1', '-o', 'no-such-folder/out.musicxml'],
        // one bar over four, a length that is no multiple, two jobs chained (nothing rebuilt: 1)
        [name, '--source', 'soprano:1', '--to', 'all:1-4', '--json', '-o', 'out.musicxml'],
        [name, '--source', 'P1:1-2', '--to', 'P2:1-3', '--json'],
        [name, '--source', '@P1:3-4', '--to', '@P3:1-2', '--source', 'P2:5', '--to', 'P3:5', '--tsv', '-o', 'out.mxl'],
        ['demo'],
    ];
    for (const args of cases) await t.test(args.join(' ') || '(no arguments)', () => assertSame([score], args));
    await t.test('measure numbers printed twice, named by their occurrence', () => {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'beatclone-web-repeated-'));
        t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
        const repeated = withRepeatedNumbers(score, dir);
        const file = path.basename(repeated);
        assertSame([repeated], [file, '--list', '--json']);
        assertSame([repeated], [file, '--source', 'P1:3#1-4', '--to', 'P2,P4:1#2-4', '--view', '-o', 'out.musicxml']);
        assertSame([repeated], [file, '--source', 'P1:3', '--to', 'P2:3', '--json']);
    });
    await t.test('--help, which has no --module here: Beatclone is built in', () => {
        const [native, node] = runBoth([score], ['--help']);
        assert.doesNotMatch(node.stdout, /--module/);
        native.stdout = native.stdout.replace(/^ {2}--module PATH .*\n(?: {20}.*\n)*/m, '');
        assert.deepEqual(node, native);
    });
    await t.test('--module: the built-in module cannot be swapped, and says so', () => {
        const [native, node] = runBoth([score], [name, '--source', 'P1:1', '--to', 'P2:1', '--module', 'x.so']);
        assert.equal(node.status, native.status);
        assert.match(node.stderr, /leave out --module/);
    });
    await t.test('a file that is not a score', () => {
        const junk = path.join(os.tmpdir(), `beatclone-junk-${process.pid}.mxl`);
        fs.writeFileSync(junk, 'PK\u0003\u0004 not really an archive');
        t.after(() => fs.rmSync(junk, { force: true }));
        assertSame([junk], [path.basename(junk), '-o', 'out.musicxml']);
    });
});
