// What the page needs to know of a score, from the command's `--list --json`: its parts and
// their staves, numbered as Verovio numbers them (1, 2, ... through the whole score), and its
// measures in score order with the numbers printed on them (strings, which may repeat) and the
// way a selection names each ("5", or "5#2" for the second measure printed 5).

const measureIdPrefix = 'bcm-';

export function readScore(listing) {
    let nextStaff = 1;
    const parts = listing.parts.map((part) => {
        const staves = Math.max(1, part.staves.length);
        const entry = { id: part.id, name: part.name || part.id, abbreviation: part.abbreviation ?? '', staves, firstStaff: nextStaff };
        nextStaff += staves;
        return entry;
    });
    const measures = listing.measures.map((m) => ({ printed: m.printed, selection: m.selection }));
    return { parts, measures, staffCount: nextStaff - 1 };
}

function partOf(score, staff) {
    return score.parts.find((p) => staff >= p.firstStaff && staff < p.firstStaff + p.staves);
}

// The staff (numbered through the score) as the command names it exactly: "@P2", or "@P2/1"
// in a part of several staves.
export function staffName(score, staff) {
    const part = partOf(score, staff);
    if (!part) return null;
    return part.staves > 1 ? `@${part.id}/${staff - part.firstStaff + 1}` : `@${part.id}`;
}

export function staffLabel(score, staff) {
    const part = partOf(score, staff);
    if (!part) return `staff ${staff}`;
    return part.staves > 1 ? `${part.name} (staff ${staff - part.firstStaff + 1})` : part.name;
}

// The staff number through the score of a part and its staff, as the command's report gives them.
export function staffOf(score, partId, staffNumber) {
    const part = score.parts.find((p) => p.id === partId);
    return part ? part.firstStaff + staffNumber - 1 : null;
}

// The first measure from index `from` on printed `printed`, as the command finds a range's end.
function endFrom(score, from, printed) {
    return score.measures.findIndex((m, i) => i >= from && m.printed === printed);
}

// A selection as the command takes it, naming exactly the staves and measure indexes picked:
// "@P1,@P2/1:5-8", "@P1:1#2-4" (a later movement). A part named whole stands for its staves.
export function selectionText(score, staves, first, last) {
    const names = [];
    for (const part of score.parts) {
        const own = staves.filter((s) => s >= part.firstStaff && s < part.firstStaff + part.staves);
        if (own.length === part.staves) names.push(`@${part.id}`);
        else names.push(...own.map((s) => staffName(score, s)));
    }
    const a = score.measures[first];
    const b = score.measures[last];
    if (first === last) return `${names.join(',')}:${a.selection}`;
    const end = endFrom(score, first, b.printed) === last ? b.printed : b.selection;
    return `${names.join(',')}:${a.selection}-${end}`;
}

// A name as the command compares names: any case, no accents, punctuation or spacing.
function folded(name) {
    return name.normalize('NFD').replace(/[^\p{L}\p{N}]/gu, '').toLowerCase();
}

function findPart(score, word) {
    if (word.startsWith('@')) return score.parts.find((p) => p.id === word.slice(1));
    const key = folded(word);
    const named = score.parts.filter((p) => key && (folded(p.name) === key || folded(p.abbreviation) === key));
    if (named.length) return named.length === 1 ? named[0] : undefined;
    return score.parts.find((p) => p.id.toLowerCase() === word.toLowerCase());
}

// The index of a measure named alone ("5", "5#2"), or of a range's end from `from` on.
function measureIndex(score, text, from) {
    const byName = score.measures.findIndex((m) => m.selection === text);
    if (byName >= 0) return byName;
    if (from === undefined) return -1;
    return endFrom(score, from, text);
}

// The staves and measure indexes a typed selection names, as far as the page can tell (the
// command has the last word); null when it cannot tell.
export function parseSelection(score, text) {
    const colon = text.lastIndexOf(':');
    if (colon < 0) return null;
    const staves = [];
    const stavesText = text.slice(0, colon).trim();
    const items = folded(stavesText) === 'all' ? score.parts.map((p) => `@${p.id}`) : stavesText.split(',');
    for (const item of items) {
        const slash = item.lastIndexOf('/');
        const whole = findPart(score, item.trim());
        const part = whole ?? (slash >= 0 ? findPart(score, item.slice(0, slash).trim()) : undefined);
        if (!part) return null;
        if (whole) for (let s = 0; s < part.staves; ++s) staves.push(part.firstStaff + s);
        else staves.push(part.firstStaff + Number(item.slice(slash + 1)) - 1);
    }
    const range = text.slice(colon + 1).trim();
    let first = measureIndex(score, range);
    let last = first;
    for (let dash = range.indexOf('-'); first < 0 && dash >= 0; dash = range.indexOf('-', dash + 1)) {
        const start = measureIndex(score, range.slice(0, dash).trim());
        const end = start >= 0 ? measureIndex(score, range.slice(dash + 1).trim(), start) : -1;
        if (end >= start && start >= 0) [first, last] = [start, end];
    }
    return first < 0 ? null : { staves, first, last };
}

// The text given to Verovio: each measure carries its index in score order as its id, so that
// a measure clicked in the notation is known by its place, whatever its number.
export function withMeasureIds(text) {
    return text
        .split(/(<part\b[^>]*>)/)
        .map((chunk) => {
            if (chunk.startsWith('<part')) return chunk;
            let index = 0;
            return chunk.replace(
                /<measure\b([^>]*)>/g,
                (_, attributes) => `<measure id="${measureIdPrefix}${index++}"${attributes.replace(/\sid="[^"]*"/, '')}>`,
            );
        })
        .join('');
}

export function measureIndexOf(id) {
    return id?.startsWith(measureIdPrefix) ? Number(id.slice(measureIdPrefix.length)) : null;
}
