// The command line: what the user asked for. The help that explains it is HelpText.h.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace beatclone::cli {

// One --source with its --voice and one --to.
struct JobOptions {
    std::string source;
    std::string destination;
    std::string voice;
};

enum class ReportFormat { Table, Json, Tsv, Quiet };

struct Options {
    std::string score;
    std::string output;
    std::vector<JobOptions> jobs; // in the order given
    std::string modulePath;
    ReportFormat format = ReportFormat::Table;
    bool demo = false;
    bool list = false;
    bool dryRun = false;
    bool view = false;
    bool allLayers = false;
    bool strict = false;
};

// Parses the arguments (without the program's name) into `options`. Answers an exit code when
// the program is to stop here (after --help or --version, printed on `out`); throws
// CliError(Usage) for a bad command line.
std::optional<int> ParseOptions(const std::vector<std::string>& args, Options& options, std::ostream& out);

// Whether the arguments ask for JSON, for reporting an error before they are parsed in full.
bool AsksForJson(const std::vector<std::string>& args);

} // namespace beatclone::cli
