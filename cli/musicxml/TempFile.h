// A temporary file that never outlives the run that made it: removed when its owner goes
// (unless kept, that is renamed into place) and also when SIGINT, SIGTERM or SIGHUP stops the
// program, the signal then ending it as it would have. One exists at a time.
#pragma once

#include "cli/CliError.h"

#include <csignal>
#include <filesystem>
#include <string>

namespace beatclone::cli {

class TempFile {
public:
    // A fresh file in `folder` named after `stem`; `forWhat` and `failure` make the error
    // when it cannot be made.
    TempFile(const std::filesystem::path& folder, const std::string& stem, const std::string& forWhat,
             ExitCode failure);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    // Hands the open descriptor over (to fdopen, say).
    int TakeFd();
    void CloseFd();
    // The file was renamed into place: nothing is left to remove.
    void Keep();

    // $TMPDIR, else /tmp.
    static std::filesystem::path SystemFolder();

private:
    void Restore();

    std::string path_;
    int fd_ = -1;
    bool kept_ = false;
    struct sigaction old_[3]{};
};

} // namespace beatclone::cli
