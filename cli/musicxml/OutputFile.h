// Writing a score where the user asked, without ever destroying what was there: a regular file
// is replaced whole through a temporary file beside it (removed again when the run fails or
// is interrupted by SIGINT, SIGTERM or SIGHUP); a symbolic link keeps being a link and its
// target is replaced; a FIFO or device is written into, never replaced; a read-only file is
// refused.
#pragma once

#include "cli/musicxml/ScoreFile.h"

#include <ostream>
#include <string>

namespace beatclone::cli {

// Writes the score to `path` in `format`; "-" writes it to `standardOutput`.
// Throws CliError(OutputFailed) naming the problem and what to do instead.
void WriteScoreOutput(const ScoreFile& score, const std::string& path, ScoreFormat format,
                      std::ostream& standardOutput);

} // namespace beatclone::cli
