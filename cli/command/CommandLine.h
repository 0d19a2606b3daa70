// The beatclone command from its arguments to its exit code.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace beatclone::cli {

// Runs the command on the arguments (without the program's name), reading a score given as
// "-" from `in`, writing a score sent to "-" and the reports to `out`, errors to `err`.
// Answers the exit code (see CliError.h). Every failure is reported on `err` as one message,
// as a JSON object when --json is given.
int RunCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

// RunCommand on the process's arguments and standard streams.
int RunCommandLine(int argc, char** argv);

} // namespace beatclone::cli
