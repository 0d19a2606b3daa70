// The report of a run in its three forms: a table for people, tab-separated lines for
// scripts (--tsv) and JSON (--json); and an error as JSON.
#pragma once

#include "cli/CliError.h"
#include "cli/command/TransferRun.h"

#include <ostream>
#include <string>
#include <vector>

namespace beatclone::cli {

struct RunSummary {
    std::vector<TransferReport> jobs; // none for a round trip
    std::string input;
    std::string output; // empty when nothing was written
    bool dryRun = false;
    bool showViews = false; // the source and before/after lines (table only)
    bool allLayers = false; // the table also lists layers without notes
    int exitCode = 0;

    int Rebuilt() const;
};

void PrintTable(std::ostream& out, const RunSummary& run);
void PrintTsv(std::ostream& out, const RunSummary& run);
void PrintJson(std::ostream& out, const RunSummary& run);
void PrintJsonError(std::ostream& out, ExitCode code, const std::string& message);

// The JSON of a measure span: {"first": 5, "last": 8, "firstText": "5", ...}.
std::string MeasureSpanJson(const MeasureSpan& span);

} // namespace beatclone::cli
