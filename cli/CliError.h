// Failures the tool reports to the user: one message naming the problem, and the exit code
// that scripts can test.
#pragma once

#include <stdexcept>
#include <string>

namespace beatclone::cli {

enum class ExitCode : int {
    Ok = 0,
    NothingRebuilt = 1, // the run went well, but no layer took the source's rhythm
    Usage = 2,          // the command line itself is wrong
    BadInput = 3,       // the score cannot be read: missing, malformed, not partwise MusicXML
    BadSelection = 4,   // --source or --to names something the score does not have
    Refused = 5,        // Beatclone refused the selection; its own message is shown
    OutputFailed = 6,   // the result could not be written
    ModuleFailed = 7,   // Beatclone could not be loaded or misbehaved
    OutOfMemory = 8,    // an allocation failed (a score too large for this machine)
    WouldDrop = 9,      // --strict: the transfer would drop a marking or remove a tie; nothing written
};

// The code's name for scripts: "bad-selection", as the JSON error report gives it.
inline const char* ExitCodeName(ExitCode code) {
    switch (code) {
        case ExitCode::Ok:
            return "ok";
        case ExitCode::NothingRebuilt:
            return "nothing-rebuilt";
        case ExitCode::Usage:
            return "usage";
        case ExitCode::BadInput:
            return "bad-input";
        case ExitCode::BadSelection:
            return "bad-selection";
        case ExitCode::Refused:
            return "refused";
        case ExitCode::OutputFailed:
            return "output-failed";
        case ExitCode::ModuleFailed:
            return "module-failed";
        case ExitCode::OutOfMemory:
            return "out-of-memory";
        case ExitCode::WouldDrop:
            return "would-drop";
    }
    return "error";
}

class CliError : public std::runtime_error {
public:
    CliError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    ExitCode Code() const { return code_; }

private:
    ExitCode code_;
};

} // namespace beatclone::cli
