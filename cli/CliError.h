// Failures the tool reports to the user: one message naming the problem, and the exit code
// that scripts can test.
#pragma once

#include <stdexcept>
#include <string>

namespace beatclone::cli {

enum class ExitCode : int {
    Ok = 0,
    Usage = 2,        // the command line itself is wrong
    BadInput = 3,     // the score cannot be read: missing, malformed, not partwise MusicXML
    BadSelection = 4, // --source or --to names something the score does not have
    Refused = 5,      // the module refused the selection; its own message is shown
    OutputFailed = 6, // the result could not be written
    ModuleFailed = 7, // the module could not be loaded or misbehaved
    OutOfMemory = 8,  // an allocation failed (a score too large for this machine)
    WouldDrop = 9,    // --strict: the transfer would drop a marking or remove a tie; nothing written
};

class CliError : public std::runtime_error {
public:
    CliError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    ExitCode Code() const { return code_; }

private:
    ExitCode code_;
};

} // namespace beatclone::cli
