// The page in Chromium: a musician's whole job, by clicks on the notation, gives the bytes the
// native command writes. Served on 127.0.0.1; the browser may reach nothing else.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { chromium } from 'playwright-core';
import { unzipSync } from 'fflate';
import { startServer } from '../serve.mjs';
import { corpus, nativeCommand, repo, withRepeatedNumbers } from './same-as-native.mjs';

const site = path.join(repo, 'build-web/site');
const artifacts = path.join(repo, 'build-web/artifacts');

// A page of the site in a fresh Chromium, which may reach nothing but the site's server.
async function openSite(t) {
    const server = await startServer(site);
    const origin = `http://127.0.0.1:${server.address().port}`;
    const browser = await chromium.launch({ executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', args: ['--no-sandbox'] });
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
    t.after(async () => {
        await browser.close();
        server.close();
        assert.deepEqual(problems, []);
        assert.deepEqual(refused, []);
    });
    await page.goto(`${origin}/`);
    return { page, context, server };
}

async function saveDownload(t, page, name) {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'beatclone-page-'));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    const saved = path.join(dir, name);
    await download.saveAs(saved);
    return { suggested: download.suggestedFilename(), saved, dir };
}

// Waits for the status line to start with `start`; fails with what it says instead.
async function status(page, start) {
    const said = () => page.textContent('#status');
    await page
        .waitForFunction((text) => document.querySelector('#status').textContent.startsWith(text), start, { timeout: 20_000 })
        .catch(async () => assert.fail(`status: ${await said()}`));
}

// The layers the native command's dry run reports for a job.
function nativeRows(score, source, destination) {
    const run = spawnSync(nativeCommand, [score, '--source', source, '--to', destination, '--dry-run', '--json'], { encoding: 'utf8' });
    return JSON.parse(run.stdout).jobs.flatMap((job) => job.chunks.flatMap((chunk) => chunk.layers));
}

test('pick by clicking, apply, undo, download: the native command’s result', { timeout: 180_000 }, async (t) => {
    const { page } = await openSite(t);

    // A corpus score whose measure numbers repeat from its fifth measure on, as in a second
    // movement: picks must name the measures clicked, not the first ones of their numbers.
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'beatclone-page-'));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    const score = withRepeatedNumbers(path.join(corpus, 'music21-bach-bwv66.6-chorale.musicxml'), dir);
    await page.setInputFiles('#open', score);
    const staff = (measure, n) => page.locator(`#current g.measure#bcm-${measure} > g.staff[data-n="${n}"]`);
    await staff(1, 1).waitFor();

    await staff(3, 1).click();
    await staff(4, 1).click({ modifiers: ['Shift'] });
    await staff(1, 2).click();
    await staff(2, 4).click({ modifiers: ['Shift'] });
    const source = await page.inputValue('#source');
    const destination = await page.inputValue('#destination');
    assert.equal(source, '@P1:3#1-4');
    assert.equal(destination, '@P2,@P3,@P4:1#1-2');
    assert.equal(await page.locator('#current rect.pick-destination').count(), 6);
    await page.locator('#dry-run tbody tr').first().waitFor();
    assert.equal(await page.locator('#dry-run tbody tr').count(), nativeRows(score, source, destination).length);

    await page.click('#apply');
    await status(page, 'Applied');
    assert.ok((await page.locator('#current g.layer.rebuilt').count()) > 0, 'rebuilt notes are coloured');
    assert.ok(await page.locator('#before > svg').isVisible(), 'before is shown beside after');
    fs.mkdirSync(artifacts, { recursive: true });
    await page.screenshot({ path: path.join(artifacts, 'before-after.png'), fullPage: true });

    // A second job, twice the source's length in the second "movement", where the command
    // rebuilds nothing (exit code 1): one row per stretch; then taken back, so that the
    // download is the first job's result.
    await staff(5, 3).click();
    await staff(8, 3).click({ modifiers: ['Shift'] });
    assert.equal(await page.inputValue('#destination'), '@P3:1#2-4');
    await page.waitForFunction(() => [...document.querySelectorAll('#dry-run tbody td:nth-child(2)')].map((td) => td.textContent).join() ===
        'measures 1#2-2#2,measures 3#2-4#2');
    assert.equal(nativeRows(score, source, '@P3:1#2-4').length, 2);
    await page.click('#apply');
    await status(page, 'Applied: no layer rebuilt');
    await page.click('#undo');
    await status(page, 'Undone');

    const { suggested, saved: downloaded } = await saveDownload(t, page, 'downloaded.musicxml');
    assert.equal(suggested, 'music21-bach-bwv66.6-chorale-repeated.beatclone.musicxml');
    const expected = path.join(dir, 'native.musicxml');
    const native = spawnSync(nativeCommand, [score, '--source', source, '--to', destination, '-o', expected]);
    assert.equal(native.status, 0, native.stderr?.toString());
    assert.ok(fs.readFileSync(downloaded).equals(fs.readFileSync(expected)), 'the download is the native command’s output');
});

test('by keyboard, offline, on .mxl: the download is the native command’s .mxl', { timeout: 180_000 }, async (t) => {
    const { page, context } = await openSite(t);
    await page.evaluate(() => navigator.serviceWorker.ready);
    await context.setOffline(true);
    await page.reload();
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'beatclone-page-mxl-'));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    const mxl = path.join(dir, 'chorale.mxl');
    const args = ['--source', 'Soprano:3-4', '--to', 'Alto,Bass:1-2'];
    assert.equal(spawnSync(nativeCommand, [path.join(corpus, 'music21-bach-bwv66.6-chorale.musicxml'), '-o', mxl]).status, 0);
    await page.setInputFiles('#open', mxl);
    await status(page, 'chorale.mxl:');
    // How to write selections: the command's own words.
    await page.click('#help summary');
    await page.waitForFunction(() => /^SELECTIONS\n[^]*\nJOBS\n/.test(document.querySelector('#help-text').textContent));
    await page.focus('#source');
    await page.keyboard.type(args[1]);
    await page.keyboard.press('Tab');
    await page.keyboard.type(args[3]);
    await page.locator('#dry-run tbody tr').nth(1).waitFor();
    await page.keyboard.press('Enter');
    await status(page, 'Applied');
    const { suggested, saved } = await saveDownload(t, page, 'downloaded.mxl');
    assert.equal(suggested, 'chorale.beatclone.mxl');
    const expected = path.join(dir, 'native.mxl');
    assert.equal(spawnSync(nativeCommand, [mxl, ...args, '-o', expected]).status, 0);
    const members = (file) => unzipSync(fs.readFileSync(file));
    assert.deepEqual(members(saved), members(expected));
});
