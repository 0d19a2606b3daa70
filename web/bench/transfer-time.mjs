// Prints how long one transfer on a large score takes: the native command, beatclone.mjs under
// node, and the page's command in headless Chromium (instance and run, files in memory).
//   node web/bench/transfer-time.mjs [REPEATS]   (after .ci/web-build; REPEATS of the chorale, 800)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { chromium } from 'playwright-core';
import { startServer } from '../serve.mjs';
import { corpus, nativeCommand, nodeCommand, repo } from '../test/same-as-native.mjs';

const repeats = Number(process.argv[2] ?? 800);
const chorale = fs.readFileSync(path.join(corpus, 'music21-bach-bwv66.6-chorale.musicxml'), 'utf8');

// The chorale's measures, `repeats` times over in every part, numbered 1, 2, ...
function largeScore() {
    return chorale.replace(/(<part\s+id="[^"]*"\s*>)([\s\S]*?)(<\/part>)/g, (_, head, body, tail) => {
        const measures = body.match(/<measure\b[\s\S]*?<\/measure>/g);
        const out = [];
        for (let r = 0; r < repeats; ++r)
            for (const [i, m] of measures.entries()) {
                const measure = r > 0 && i === 0 ? m.replace(/<attributes>[\s\S]*?<\/attributes>/, '') : m;
                out.push(measure.replace(/(<measure\b[^>]*\bnumber=")[^"]*"/, `$1${out.length + 1}"`));
            }
        return head + out.join('\n') + tail;
    });
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'beatclone-bench-'));
const name = 'large.musicxml';
fs.writeFileSync(path.join(dir, name), largeScore());
const middle = Math.floor(repeats / 2) * 10;
const args = [name, '--source', 'P1:4-5', '--to', `P2,P3,P4:${middle + 2}-${middle + 3}`, '--quiet', '-o', 'out.musicxml'];
const mb = (fs.statSync(path.join(dir, name)).size / 1e6).toFixed(1);

function timed(program, programArgs) {
    const start = process.hrtime.bigint();
    const run = spawnSync(program, programArgs, { cwd: dir });
    if (run.status !== 0) throw new Error(`${program}: ${run.stderr}`);
    return Number(process.hrtime.bigint() - start) / 1e9;
}
const best = (f) => Math.min(f(), f(), f());

const native = best(() => timed(nativeCommand, args));
const node = best(() => timed(process.execPath, [nodeCommand, ...args]));

const server = await startServer(path.join(repo, 'build-web/site'));
const browser = await chromium.launch({ executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', args: ['--no-sandbox'] });
const page = await browser.newPage();
await page.goto(`http://127.0.0.1:${server.address().port}/`);
const bytes = fs.readFileSync(path.join(dir, name)).toString('base64');
const browserSeconds = await page.evaluate(
    async ([base64, commandArgs, fileName]) => {
        const { runCommand } = await import('./command.js');
        const file = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
        await runCommand(['--help'], {}); // compiles the module once, as the page does
        const times = [];
        for (let i = 0; i < 3; ++i) {
            const start = performance.now();
            const run = await runCommand(commandArgs, { [fileName]: file });
            if (run.status !== 0) throw new Error(run.stderr);
            times.push((performance.now() - start) / 1000);
        }
        return Math.min(...times);
    },
    [bytes, args, name],
);
await browser.close();
server.close();
fs.rmSync(dir, { recursive: true, force: true });

console.log(`one transfer on a ${mb} MB score (${repeats * 10} measures x 4 staves), best of 3:`);
console.log(`  native command        ${native.toFixed(2)} s`);
console.log(`  beatclone.mjs (node)  ${node.toFixed(2)} s`);
console.log(`  Chromium (the page)   ${browserSeconds.toFixed(2)} s  (${(browserSeconds / native).toFixed(1)}x native)`);
