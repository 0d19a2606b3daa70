// Runs the native beatclone and build-web/beatclone.mjs on the same files, each in a folder of
// its own, and answers what each did: exit code, standard output and error, and the files left
// in its folder with their modes (for .mxl, the archive's members and their contents).
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { unzipSync } from 'fflate';

export const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const corpus = path.join(repo, 'tests/corpus');
export const nativeCommand = process.env.BEATCLONE_NATIVE ?? path.join(repo, 'build/beatclone');
export const nodeCommand = path.join(repo, 'build-web/beatclone.mjs');

// The files of `dir`, by name: mode and bytes, or for an archive its members in order.
function filesIn(dir) {
    const files = {};
    for (const name of fs.readdirSync(dir).sort()) {
        const file = path.join(dir, name);
        const bytes = fs.readFileSync(file);
        const mode = (fs.statSync(file).mode & 0o777).toString(8);
        if (name.endsWith('.mxl')) {
            let members;
            try {
                members = Object.entries(unzipSync(bytes)).map(([member, data]) => [member, Buffer.from(data)]);
            } catch {
                members = bytes; // not an archive: its bytes, then
            }
            files[name] = { mode, members };
        } else {
            files[name] = { mode, bytes };
        }
    }
    return files;
}

// What one command did on copies of `inputs` (paths), run as `args` in a fresh folder.
function runOnCopies(command, inputs, args) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'beatclone-web-'));
    try {
        for (const input of inputs) fs.copyFileSync(input, path.join(dir, path.basename(input)));
        const [program, programArgs] = command.endsWith('.mjs') ? [process.execPath, [command, ...args]] : [command, args];
        const run = spawnSync(program, programArgs, { cwd: dir, encoding: 'utf8', maxBuffer: 1 << 28 });
        if (run.error) throw run.error;
        return { status: run.status, stdout: run.stdout, stderr: run.stderr, files: filesIn(dir) };
    } finally {
        fs.rmSync(dir, { recursive: true, force: true });
    }
}

// Both commands' runs, native first.
export function runBoth(inputs, args) {
    return [runOnCopies(nativeCommand, inputs, args), runOnCopies(nodeCommand, inputs, args)];
}

// A whole-score selection from the score's text: its first part's first measure as the source,
// every part at that measure as the destination.
export function firstMeasureTransfer(text) {
    const parts = [...text.matchAll(/<score-part\b[^>]*\bid="([^"]+)"/g)].map((m) => m[1]);
    const measure = /<measure\b[^>]*\bnumber="([^"]+)"/.exec(text)?.[1] ?? '1';
    return ['--source', `${parts[0] ?? 'P1'}:${measure}`, '--to', `${parts.join(',')}:${measure}`];
}

// `score` (a path) written into `dir` with its measures from number 5 on numbered again from 1,
// as a written-out repeat or a second movement prints them; answers the new file's path.
export function withRepeatedNumbers(score, dir) {
    const text = fs.readFileSync(score, 'utf8').replace(/(<measure\b[^>]*\bnumber=")(\d+)"/g, (_, start, n) =>
        `${start}${Number(n) >= 5 ? Number(n) - 4 : n}"`);
    const file = path.join(dir, path.basename(score).replace(/(\.\w+)$/, '-repeated$1'));
    fs.writeFileSync(file, text);
    return file;
}
