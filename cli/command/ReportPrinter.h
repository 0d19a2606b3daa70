// The report of a run in its three forms: a table for people, tab-separated lines for
// scripts (--quiet) and JSON (--json).
#pragma once

#include "cli/command/TransferRun.h"

#include <ostream>
#include <string>

namespace beatclone::cli {

struct RunSummary {
    const TransferReport* transfer = nullptr; // null for a round trip
    std::string input;
    std::string output; // empty when nothing was written
    bool dryRun = false;
    bool showViews = false; // the before/after lines under each layer (table only)
};

void PrintTable(std::ostream& out, const RunSummary& run);
void PrintQuiet(std::ostream& out, const RunSummary& run);
void PrintJson(std::ostream& out, const RunSummary& run);

} // namespace beatclone::cli
