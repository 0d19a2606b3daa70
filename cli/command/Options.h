// The command line: what the user asked for, and the help that explains it.
#pragma once

#include <optional>
#include <string>

namespace beatclone::cli {

struct Options {
    std::string score;
    std::string output;
    std::string source;
    std::string destination;
    std::string modulePath;
    bool demo = false;
    bool dryRun = false;
    bool json = false;
    bool quiet = false;
    bool view = false;
    bool strict = false;
};

// Parses the arguments into `options`. Answers an exit code when the program is to stop here
// (after --help, or a bad command line, reported on standard error), else nothing.
std::optional<int> ParseOptions(int argc, char** argv, Options& options);

} // namespace beatclone::cli
