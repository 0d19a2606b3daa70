// The page: open a score, pick the source and the destination on the notation, see the
// command's dry run, apply, compare, undo, download. Every transfer is the command's own run.
import { runCommand } from './command.js';
import { errorMessage, reportRows, reportWarnings, reported, sourceSummary } from './report.js';
import { createView, highlight, markRebuilt, pickAt } from './notation.js';
import { parseSelection, readScore, selectionText, staffLabel, staffOf } from './score.js';

const $ = (id) => document.getElementById(id);
const ui = {
    open: $('open'), drop: $('drop'), source: $('source'), destination: $('destination'),
    apply: $('apply'), undo: $('undo'), download: $('download'), status: $('status'),
    table: $('dry-run'), summary: $('summary'), views: $('views'), before: $('before'),
    current: $('current'), beforePane: $('before-pane'), prev: $('prev-page'), next: $('next-page'),
    help: $('help'), helpText: $('help-text'), pageLabel: $('page-label'), currentTitle: $('current-title'), mode: document.querySelectorAll('input[name=mode]'),
};

const state = {
    file: null, // {name, ext, bytes}: the score as it stands after the jobs so far
    text: '', // its MusicXML text, for the notation
    score: null,
    history: [], // earlier {file, text, rebuilt}, for undo
    rebuilt: null, // {layers, first, last} of the last job, coloured in the notation
    picks: { source: null, destination: null }, // {staves, first, last, anchor}
    lastPicked: null, // 'source' or 'destination'
    page: 1,
};
let currentView;
let beforeView;

function say(text, isError = false) {
    ui.status.textContent = text;
    ui.status.classList.toggle('error', isError);
}

// A run that could not finish (out of memory, say), as the command reports a failure.
function failedRun(error) {
    return { status: -1, stdout: '', stderr: `the command stopped: ${error.message ?? error}\n`, files: {} };
}

// What the command said went wrong, without the program name.
function commandError(run) {
    return errorMessage(run.stderr) || `exit code ${run.status}`;
}

async function musicXmlText(file) {
    if (file.ext !== 'mxl') return new TextDecoder().decode(file.bytes);
    const run = await runCommand([file.name, '-o', 'display.musicxml', '--json'], { [file.name]: file.bytes });
    if (run.status !== 0) throw new Error(commandError(run));
    return new TextDecoder().decode(run.files['display.musicxml']);
}

// The parts, staves and measures of a score, as the command lists them.
async function listScore(file) {
    const run = await runCommand([file.name, '--list', '--json'], { [file.name]: file.bytes });
    if (run.status !== 0) throw new Error(commandError(run));
    return readScore(JSON.parse(run.stdout));
}

async function openFile(picked) {
    const ext = picked.name.match(/\.(musicxml|xml|mxl)$/i)?.[1].toLowerCase();
    if (!ext) return say(`${picked.name}: open a .musicxml, .xml or .mxl score`, true);
    say(`Opening ${picked.name}…`);
    try {
        const file = { name: picked.name, ext, bytes: new Uint8Array(await picked.arrayBuffer()) };
        const [text, score] = await Promise.all([musicXmlText(file), listScore(file)]);
        Object.assign(state, { file, text, score, history: [], rebuilt: null, page: 1 });
        state.picks = { source: null, destination: null };
        state.lastPicked = null;
        ui.source.value = ui.destination.value = '';
        ui.beforePane.hidden = true;
        ui.currentTitle.textContent = 'Score';
        await drawCurrent();
        updateControls();
        say(`${picked.name}: ${state.score.parts.length} parts, ${state.score.measures.length} measures. Click a measure for the source.`);
    } catch (e) {
        say(`${picked.name}: ${e.message}`, true);
    }
}

function paneWidth() {
    return Math.max(320, ui.views.clientWidth / (ui.beforePane.hidden ? 1 : 2) - 24);
}

async function drawCurrent() {
    currentView ??= await createView();
    currentView.load(state.text, paneWidth());
    state.page = Math.min(Math.max(1, state.page), currentView.pageCount);
    redraw();
}

function redraw() {
    if (!currentView || !state.file) return;
    currentView.render(ui.current, state.page);
    const { source, destination } = state.picks;
    if (source) highlight(ui.current, source.staves, source.first, source.last, 'pick-source');
    if (destination) highlight(ui.current, destination.staves, destination.first, destination.last, 'pick-destination');
    if (state.rebuilt) markRebuilt(ui.current, state.rebuilt.layers);
    ui.pageLabel.textContent = `page ${state.page} of ${currentView.pageCount}`;
    ui.prev.disabled = state.page <= 1;
    ui.next.disabled = state.page >= currentView.pageCount;
}

function mode() {
    return [...ui.mode].find((r) => r.checked).value;
}

// A click picks for the chosen mode; shift-click extends the pick made last, ctrl-click adds
// or removes a destination staff.
function pickMeasure(hit, extend, toggleStaff) {
    const which = toggleStaff ? 'destination' : extend && state.lastPicked ? state.lastPicked : mode();
    state.lastPicked = which;
    const pick = state.picks[which];
    const sourceLength = state.picks.source ? state.picks.source.last - state.picks.source.first : 0;
    let next;
    if (which === 'destination' && pick && toggleStaff) {
        const staves = pick.staves.includes(hit.staff) ? pick.staves.filter((s) => s !== hit.staff) : [...pick.staves, hit.staff];
        next = { ...pick, staves: staves.sort((a, b) => a - b) };
    } else if (pick && extend) {
        const { anchor } = pick;
        const low = Math.min(anchor.staff, hit.staff);
        const high = Math.max(anchor.staff, hit.staff);
        const staves = which === 'source' ? [anchor.staff] : Array.from({ length: high - low + 1 }, (_, i) => low + i);
        next = { anchor, staves, first: Math.min(anchor.measure, hit.measure), last: Math.max(anchor.measure, hit.measure) };
    } else {
        const last = which === 'destination' ? Math.min(hit.measure + sourceLength, state.score.measures.length - 1) : hit.measure;
        next = { anchor: hit, staves: [hit.staff], first: hit.measure, last };
    }
    state.picks[which] = next;
    ui[which].value = selectionText(state.score, next.staves, next.first, next.last);
    if (which === 'source' && !extend) for (const r of ui.mode) r.checked = r.value === 'destination';
    say(`${which === 'source' ? 'Source' : 'Destination'}: ${next.staves.map((s) => staffLabel(state.score, s)).join(', ')}`);
    redraw();
    dryRun();
}

// The picks follow what is typed, as far as the page can read it.
function typedSelection(which) {
    const parsed = state.score && parseSelection(state.score, ui[which].value);
    state.picks[which] = parsed && { ...parsed, anchor: { staff: parsed.staves[0], measure: parsed.first } };
    redraw();
    dryRun();
}

let dryRunTimer;
let dryRunCount = 0;
function dryRun() {
    clearTimeout(dryRunTimer);
    updateControls();
    if (!ready()) return renderTable(null);
    dryRunTimer = setTimeout(async () => {
        const mine = ++dryRunCount;
        const run = await runCommand(transferArgs(['--dry-run']), { [state.file.name]: state.file.bytes }).catch(failedRun);
        if (mine !== dryRunCount) return;
        if (!reported(run.status)) {
            renderTable(null);
            return say(commandError(run), true);
        }
        renderTable(JSON.parse(run.stdout));
        if (ui.status.classList.contains('error')) say('');
    }, 150);
}

function ready() {
    return Boolean(state.file && ui.source.value.trim() && ui.destination.value.trim());
}

function transferArgs(more) {
    return [state.file.name, '--source', ui.source.value.trim(), '--to', ui.destination.value.trim(), '--json', ...more];
}

function renderTable(report) {
    const body = ui.table.tBodies[0];
    body.replaceChildren();
    if (!report) {
        ui.summary.textContent = 'Pick a source and a destination to see what the transfer will do.';
        return;
    }
    const warnings = reportWarnings(report);
    ui.summary.textContent = `Dry run: ${sourceSummary(report)}${warnings.length ? ` — ${warnings.join('; ')}` : ''}`;
    for (const row of reportRows(report)) {
        const tr = body.insertRow();
        tr.className = row.rebuilt ? 'will-rebuild' : 'left-alone';
        const why = [row.why, row.dropped.length ? `drops ${row.dropped.join(', ')}` : ''].filter(Boolean).join('; ');
        for (const cell of [row.staff, row.measures, row.layer, row.voice, row.sourceAttacks, row.attacks, row.rebuilt ? 'rebuilt' : 'left alone', why])
            tr.insertCell().textContent = String(cell);
    }
}

let applying = false;
async function apply() {
    if (!ready() || applying) return;
    applying = true;
    ui.apply.disabled = true;
    try {
        await applyJob();
    } finally {
        applying = false;
        updateControls();
    }
}

async function applyJob() {
    const ext = state.file.ext;
    const outName = `result.${ext}`;
    say('Applying…');
    const run = await runCommand(transferArgs(['-o', outName]), { [state.file.name]: state.file.bytes }).catch(failedRun);
    if (!reported(run.status)) return say(commandError(run), true);
    const report = JSON.parse(run.stdout);
    const rows = reportRows(report);
    const dest = state.picks.destination ?? parseSelection(state.score, ui.destination.value);
    state.history.push({ file: state.file, text: state.text, rebuilt: state.rebuilt });
    const file = { name: state.file.name, ext, bytes: run.files[outName] };
    const text = await musicXmlText(file);
    const layers = rows
        .filter((r) => r.rebuilt)
        .map((r) => ({ staff: staffOf(state.score, r.part, r.staffNumber), layer: r.layer, first: r.first, last: r.last }));
    Object.assign(state, {
        file, text,
        rebuilt: dest && { layers, staves: dest.staves, first: dest.first, last: dest.last },
    });
    await showComparison(dest?.first, true);
    updateControls();
    const count = layers.length;
    const done = count ? `${count} layer${count === 1 ? '' : 's'} rebuilt (coloured)` : 'no layer rebuilt, every one left alone';
    say(`Applied: ${done}. Pick another job, undo it, or download.`);
    dryRun();
}

// The score before the last job beside the score now, the last job's destination marked on
// both and its rebuilt layers coloured; the score alone when no job is left. Both show the page
// holding measure `focus` (an index), if given. After a job at an unchanged width, the notation
// of the score now becomes that of the score before, as it is: no need to lay it out again.
async function showComparison(focus, afterJob = false) {
    const before = state.history.at(-1);
    const reuse = afterJob && !ui.beforePane.hidden;
    if (reuse) [beforeView, currentView] = [currentView, beforeView];
    ui.beforePane.hidden = !before;
    ui.currentTitle.textContent = before ? 'After' : 'Score';
    await drawCurrent();
    if (focus !== undefined) {
        state.page = Math.max(1, currentView.pageOf(focus));
        redraw();
    }
    if (!before) return;
    beforeView ??= await createView();
    if (!reuse) beforeView.load(before.text, paneWidth());
    beforeView.render(ui.before, Math.min(state.page, beforeView.pageCount));
    const job = state.rebuilt;
    if (job) highlight(ui.before, job.staves, job.first, job.last, 'pick-destination');
}

async function undo() {
    const previous = state.history.pop();
    if (!previous) return;
    Object.assign(state, { file: previous.file, text: previous.text, rebuilt: previous.rebuilt });
    await showComparison();
    updateControls();
    say('Undone: the last job is taken back.');
    dryRun();
}

function download() {
    const { name, ext, bytes } = state.file;
    const type = ext === 'mxl' ? 'application/vnd.recordare.musicxml' : 'application/vnd.recordare.musicxml+xml';
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type }));
    link.download = name.replace(/\.(musicxml|xml|mxl)$/i, `.beatclone.${ext}`);
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

function updateControls() {
    ui.apply.disabled = !ready() || applying;
    ui.undo.disabled = state.history.length === 0;
    ui.download.disabled = !state.file || state.history.length === 0;
}

ui.open.addEventListener('change', () => ui.open.files[0] && openFile(ui.open.files[0]));
for (const target of [ui.drop, document.body]) {
    target.addEventListener('dragover', (e) => e.preventDefault());
    target.addEventListener('drop', (e) => {
        e.preventDefault();
        const picked = e.dataTransfer.files[0];
        if (picked) openFile(picked);
    });
}
ui.current.addEventListener('click', (e) => {
    const hit = state.score && pickAt(e.target);
    if (hit) pickMeasure(hit, e.shiftKey, e.ctrlKey || e.metaKey);
});
ui.source.addEventListener('input', () => typedSelection('source'));
ui.destination.addEventListener('input', () => typedSelection('destination'));
for (const input of [ui.source, ui.destination])
    input.addEventListener('keydown', (e) => {
        if (e.key === 'Enter' && ready()) apply();
    });
// A new width lays the notation out afresh.
let resizeTimer;
window.addEventListener('resize', () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(() => state.file && drawCurrent(), 300);
});
// How to type selections: that part of the command's own --help.
ui.help.addEventListener('toggle', async () => {
    if (!ui.help.open || ui.helpText.textContent) return;
    const run = await runCommand(['--help'], {}).catch(failedRun);
    const sections = run.stdout.split(/\n(?=[A-Z][A-Z ]+\n)/);
    ui.helpText.textContent = sections.filter((s) => /^(SELECTIONS|JOBS)\n/.test(s)).join('\n').trim() || commandError(run);
});
ui.apply.addEventListener('click', apply);
ui.undo.addEventListener('click', undo);
ui.download.addEventListener('click', download);
ui.prev.addEventListener('click', () => { state.page -= 1; redraw(); });
ui.next.addEventListener('click', () => { state.page += 1; redraw(); });
renderTable(null);
updateControls();

if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
