// The beatclone command from its arguments to its exit code.
#pragma once

namespace beatclone::cli {

// Runs the command; answers the exit code (see CliError.h). Every failure is reported on
// standard error as one message.
int RunCommandLine(int argc, char** argv);

} // namespace beatclone::cli
