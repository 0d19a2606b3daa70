// The page in Chromium: a musician's whole job, by clicks on the notation, gives the bytes the
// native command writes. Served on 127.0.0.1; the browser may reach nothing else.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { chromium } from 'playwright-core';
import { startServer } from '../serve.mjs';
import { corpus, nativeCommand, repo } from './same-as-native.mjs';

const site = path.join(repo, 'build-web/site');
const artifacts = path.join(repo, 'build-web/artifacts');

test('pick by clicking, apply, undo, download: the native command’s result', { timeout: 180_000 }, async (t) => {
    const server = await startServer(site);
    const origin = `http://127.0.0.1:${server.address().port}`;
    const browser = await chromium.launch({ executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', args: ['--no-sandbox'] });
    t.after(async () => {
        await browser.close();
        server.close();
    });
    const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1600, height: 1000 } });
    const refused = [];
    await context.route('**/*', (route) => {
        const url = route.request().url();
        if (url.startsWith(`${origin}/`) || url.startsWith('blob:') || url.startsWith('data:')) return route.continue();
        refused.push(url);
        return route.abort('addressunreachable');
    });
    const page = await context.newPage();
    const problems = [];
    page.on('pageerror', (e) => problems.push(e.message));
    await page.goto(`${origin}/`);

    const score = path.join(corpus, 'music21-bach-bwv66.6-chorale.musicxml');
    await page.setInputFiles('#open', score);
    const staff = (measure, n) => page.locator(`#current g.measure#bcm-${measure} > g.staff[data-n="${n}"]`);
    await staff(1, 1).waitFor();

    await staff(3, 1).click();
    await staff(4, 1).click({ modifiers: ['Shift'] });
    await staff(1, 2).click();
    await staff(2, 4).click({ modifiers: ['Shift'] });
    const source = await page.inputValue('#source');
    const destination = await page.inputValue('#destination');
    assert.equal(source, 'P1:3-4');
    assert.equal(destination, 'P2,P3,P4:1-2');
    assert.equal(await page.locator('#current rect.pick-destination').count(), 6);
    await page.locator('#dry-run tbody tr').first().waitFor();
    const expectedRows = JSON.parse(
        spawnSync(nativeCommand, [score, '--source', source, '--to', destination, '--dry-run', '--json'], { encoding: 'utf8' }).stdout,
    ).layers.length;
    assert.equal(await page.locator('#dry-run tbody tr').count(), expectedRows);

    await page.click('#apply');
    await page.waitForFunction(() => document.querySelector('#status').textContent.startsWith('Applied'));
    assert.ok((await page.locator('#current g.layer.rebuilt').count()) > 0, 'rebuilt notes are coloured');
    assert.ok(await page.locator('#before > svg').isVisible(), 'before is shown beside after');
    fs.mkdirSync(artifacts, { recursive: true });
    await page.screenshot({ path: path.join(artifacts, 'before-after.png'), fullPage: true });

    // A second job, taken back: the download is the first job's result.
    await staff(5, 3).click();
    await page.waitForFunction(() => !document.querySelector('#apply').disabled);
    await page.click('#apply');
    await page.waitForFunction(() => document.querySelector('#status').textContent.startsWith('Applied'));
    await page.click('#undo');
    await page.waitForFunction(() => document.querySelector('#status').textContent.startsWith('Undone'));

    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    assert.equal(download.suggestedFilename(), 'music21-bach-bwv66.6-chorale.beatclone.musicxml');
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'beatclone-page-'));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    const downloaded = path.join(dir, 'downloaded.musicxml');
    await download.saveAs(downloaded);
    const expected = path.join(dir, 'native.musicxml');
    const native = spawnSync(nativeCommand, [score, '--source', source, '--to', destination, '-o', expected]);
    assert.equal(native.status, 0, native.stderr?.toString());
    assert.ok(fs.readFileSync(downloaded).equals(fs.readFileSync(expected)), 'the download is the native command’s output');
    assert.deepEqual(problems, []);
    assert.deepEqual(refused, []);
});
