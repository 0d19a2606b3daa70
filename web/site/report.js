// Everything the page reads from the command's --json report is read here, so that a change of
// the report's shape is met in this one file.

// The rows of the dry-run table, one per destination staff and layer.
export function reportRows(report) {
    return (report.layers ?? []).map((layer) => ({
        staff: layer.staff,
        layer: Number(layer.layer),
        voice: String(layer.voice ?? ''),
        attacks: Number(layer.attacks),
        sourceAttacks: Number(layer.sourceAttacks),
        rebuilt: layer.result === 'rebuilt',
        result: layer.result,
        reason: layer.reason,
        dropped: Object.entries(layer.dropped ?? {}).map(([what, count]) => `${count} ${what}`),
        part: layer.part,
        staffNumber: Number(layer.staffNumber ?? 1),
    }));
}

// One line about the source: "Trumpet 1, measures 1-4: 13 attacks".
export function sourceSummary(report) {
    const source = report.source ?? {};
    return `${source.staff}, ${source.measures}: ${source.attacks} attacks in layer 1`;
}

export function reportWarnings(report) {
    return report.warnings ?? [];
}
