// What the page needs to know of a MusicXML score: its parts and their staves, numbered as
// Verovio numbers them (1, 2, ... through the whole score), and its measures in score order with
// the numbers printed on them (strings, which may repeat).

const measureIdPrefix = 'bcm-';

export function readScore(text) {
    const doc = new DOMParser().parseFromString(text, 'application/xml');
    if (doc.querySelector('parsererror')) throw new Error('the score is not well-formed XML');
    const parts = [];
    let nextStaff = 1;
    for (const scorePart of doc.querySelectorAll('part-list > score-part')) {
        const id = scorePart.getAttribute('id');
        const part = [...doc.querySelectorAll('score-partwise > part')].find((p) => p.getAttribute('id') === id);
        const staves = Number(part?.querySelector('measure attributes staves')?.textContent ?? 1) || 1;
        const name = scorePart.querySelector('part-name')?.textContent.trim() || id;
        parts.push({ id, name, staves, firstStaff: nextStaff });
        nextStaff += staves;
    }
    const firstPart = doc.querySelector('score-partwise > part');
    const measures = firstPart ? [...firstPart.querySelectorAll(':scope > measure')].map((m) => m.getAttribute('number') ?? '') : [];
    return { parts, measures, staffCount: nextStaff - 1 };
}

// The staff (numbered through the score) as the command names it: "P2", or "P2/1" in a part
// of several staves.
export function staffName(score, staff) {
    const part = score.parts.find((p) => staff >= p.firstStaff && staff < p.firstStaff + p.staves);
    if (!part) return null;
    return part.staves > 1 ? `${part.id}/${staff - part.firstStaff + 1}` : part.id;
}

export function staffLabel(score, staff) {
    const part = score.parts.find((p) => staff >= p.firstStaff && staff < p.firstStaff + p.staves);
    if (!part) return `staff ${staff}`;
    return part.staves > 1 ? `${part.name} (staff ${staff - part.firstStaff + 1})` : part.name;
}

// The staff number through the score of a part and its staff, as the command's report gives them.
export function staffOf(score, partId, staffNumber) {
    const part = score.parts.find((p) => p.id === partId);
    return part ? part.firstStaff + staffNumber - 1 : null;
}

// A selection as the command takes it: "P1,P2/1:5-8". Throws when the command would read the
// measure numbers as other measures than those picked (a number that repeats reaches only its
// first occurrence).
export function selectionText(score, staves, first, last) {
    const names = staves.map((s) => staffName(score, s));
    const a = score.measures[first];
    const b = score.measures[last];
    const reachedA = score.measures.indexOf(a);
    const reachedB = score.measures.indexOf(b, reachedA);
    if (reachedA !== first || reachedB !== last) {
        const which = reachedA !== first ? a : b;
        throw new Error(`measure number "${which}" comes earlier in the score too; the command reads its first one`);
    }
    return `${names.join(',')}:${first === last ? a : `${a}-${b}`}`;
}

// The staves and measure indexes a typed selection names, as far as the page can tell (the
// command has the last word); null when it cannot tell.
export function parseSelection(score, text) {
    const colon = text.lastIndexOf(':');
    if (colon < 0) return null;
    const staves = [];
    for (const item of text.slice(0, colon).split(',')) {
        const [partText, staffText] = item.trim().split('/');
        const key = partText.trim().toLowerCase();
        const part = score.parts.find((p) => p.id.toLowerCase() === key || p.name.toLowerCase() === key);
        if (!part) return null;
        if (staffText) staves.push(part.firstStaff + Number(staffText) - 1);
        else for (let s = 0; s < part.staves; ++s) staves.push(part.firstStaff + s);
    }
    const range = text.slice(colon + 1).trim();
    let first = score.measures.indexOf(range);
    let last = first;
    if (first < 0) {
        const dash = range.indexOf('-');
        if (dash < 0) return null;
        first = score.measures.indexOf(range.slice(0, dash).trim());
        last = score.measures.indexOf(range.slice(dash + 1).trim(), Math.max(first, 0));
        if (first < 0 || last < 0) return null;
    }
    return { staves, first, last };
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
