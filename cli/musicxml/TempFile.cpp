#include "cli/musicxml/TempFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace beatclone::cli {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file of the moment, for the signal handler to remove.
char g_temp[4096];
volatile std::sig_atomic_t g_haveTemp = 0;

extern "C" void RemoveTempAndDie(int signal) {
    if (g_haveTemp) ::unlink(g_temp);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

TempFile::TempFile(const std::filesystem::path& folder, const std::string& stem, const std::string& forWhat,
                   ExitCode failure) {
    std::string tmpl = (folder / (stem + ".tmp-XXXXXX")).string();
    if (tmpl.size() >= sizeof g_temp) throw CliError(failure, forWhat + ": the path is too long");
    for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], nullptr, &old_[i]);
    std::memcpy(g_temp, tmpl.c_str(), tmpl.size() + 1);
    struct sigaction action {};
    action.sa_handler = RemoveTempAndDie;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i)
        if (old_[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &action, nullptr); // nohup stays nohup
    // Armed before the file exists: mkstemp writes the name in place before it creates it.
    g_haveTemp = 1;
    fd_ = ::mkstemp(g_temp);
    if (fd_ < 0) {
        int e = errno;
        Restore();
        throw CliError(failure, forWhat + ": cannot create a temporary file in " + folder.string() + ": " +
                                    std::strerror(e) + "; write into a folder you may write to");
    }
    path_ = g_temp;
}

TempFile::~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(path_.c_str());
    Restore();
}

int TempFile::TakeFd() { return std::exchange(fd_, -1); }

void TempFile::CloseFd() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

void TempFile::Keep() {
    kept_ = true;
    g_haveTemp = 0;
}

std::filesystem::path TempFile::SystemFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? std::filesystem::path(tmp) : std::filesystem::path("/tmp");
}

void TempFile::Restore() {
    g_haveTemp = 0;
    for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &old_[i], nullptr);
}

} // namespace beatclone::cli
