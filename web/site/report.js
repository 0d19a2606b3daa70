// Everything the page reads from the command's JSON (cli/command/report.schema.json) is read
// here, so that a change of its shape is met in this one file.

const plural = (count, word) => `${count} ${word}${count === 1 ? '' : 's'}`;

// "measure 5" or "measures 5-8", by the measures' names in selections.
function measuresText(measures) {
    return measures.count === 1 ? `measure ${measures.firstText}` : `measures ${measures.firstText}-${measures.lastText}`;
}

// The rows of the dry-run table, one per destination staff and layer of each stretch of each
// job; measure indexes from 0.
export function reportRows(report) {
    const rows = [];
    for (const job of report.jobs ?? [])
        for (const chunk of job.chunks)
            for (const layer of chunk.layers)
                rows.push({
                    staff: layer.staff,
                    measures: measuresText(chunk.measures),
                    first: chunk.measures.firstIndex - 1,
                    last: chunk.measures.lastIndex - 1,
                    layer: layer.layer,
                    voice: layer.voice ?? '',
                    attacks: layer.attacks,
                    sourceAttacks: layer.sourceAttacks,
                    rebuilt: layer.result === 'rebuilt',
                    why: layer.message.replace(/^(rebuilt|left alone)(: |$)/, ''),
                    dropped: Object.entries(layer.dropped ?? {}).map(([kind, count]) => `${count} ${kind}`),
                    part: layer.part,
                    staffNumber: layer.staffNumber,
                });
    return rows;
}

// One line per job about its source: "Soprano, measures 3-4: 7 attacks in voice 1".
export function sourceSummary(report) {
    return (report.jobs ?? [])
        .map(({ source }) => `${source.staff}, ${measuresText(source.measures)}: ${plural(source.attacks, 'attack')}` +
            (source.voice === null ? '' : ` in voice ${source.voice}`))
        .join('; ');
}

export function reportWarnings(report) {
    return report.warnings ?? [];
}

// The message of an error the command printed with --json (a JSON object on standard error),
// or its first line of plain text.
export function errorMessage(stderr) {
    for (const line of stderr.split('\n').reverse()) {
        if (!line.startsWith('{')) continue;
        try {
            const message = JSON.parse(line).error?.message;
            if (message) return message;
        } catch {
            // not the error object
        }
    }
    return stderr.trim().split('\n')[0]?.replace(/^beatclone: /, '') ?? '';
}

// Whether a run of the command ended with a report: done, or nothing rebuilt (exit code 1).
export function reported(status) {
    return status === 0 || status === 1;
}
