#include "cli/musicxml/OutputFile.h"

#include "cli/CliError.h"
#include "cli/musicxml/IndentedSave.h"
#include "cli/musicxml/TempFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace beatclone::cli {
namespace {

[[noreturn]] void Fail(const std::string& what) { throw CliError(ExitCode::OutputFailed, what); }

// The text is always written as UTF-8, so the declaration must say so.
void DeclareUtf8(const pugi::xml_document& document) {
    pugi::xml_node decl = document.first_child();
    if (decl.type() == pugi::node_declaration && decl.attribute("encoding"))
        decl.attribute("encoding").set_value("UTF-8");
}

// Writes the text through `fd` and closes it; answers errno on failure, else 0.
int WriteText(const ScoreFile& score, int fd) {
    // Large stdio buffers: pugixml hands over its output in small pieces. The buffer is our
    // own: given none, glibc ignores the size asked for and writes in 4 KB pieces.
    constexpr size_t kBufferBytes = size_t{1} << 20;
    std::unique_ptr<char[]> buffer(new char[kBufferBytes]); // uninitialised: it is written before read
    FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        int e = errno;
        ::close(fd);
        return e;
    }
    std::setvbuf(file, buffer.get(), _IOFBF, kBufferBytes);
    pugi::xml_writer_file writer(file);
    SaveIndented(score.document, writer, score.depth);
    int e = std::ferror(file) != 0 ? (errno ? errno : EIO) : 0;
    if (std::fclose(file) != 0 && e == 0) e = errno;
    return e;
}

void WriteArchive(const ScoreFile& score, const std::string& path) {
    MxlContents contents;
    contents.rootPath = score.rootPath;
    contents.rootBytes = SerializeScore(score);
    contents.others = score.otherMembers;
    WriteMxlArchive(path, contents);
}

// Copies the file at `from` to `out`.
bool CopyFileTo(const std::string& from, std::ostream& out) {
    std::ifstream in(from, std::ios::binary);
    out << in.rdbuf();
    return in.good() || in.eof();
}

// Copies the file at `from` into the open descriptor; answers errno on failure, else 0.
int CopyFileToFd(const std::string& from, int fd) {
    std::ifstream in(from, std::ios::binary);
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        const char* at = buffer;
        for (std::streamsize left = in.gcount(); left > 0;) {
            ssize_t n = ::write(fd, at, static_cast<size_t>(left));
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            at += n;
            left -= n;
        }
    }
    return 0;
}

void WriteToStream(const ScoreFile& score, ScoreFormat format, std::ostream& out) {
    if (format == ScoreFormat::Compressed) {
        TempFile temp(TempFile::SystemFolder(), "beatclone", "standard output", ExitCode::OutputFailed);
        temp.CloseFd();
        WriteArchive(score, temp.Path());
        if (!CopyFileTo(temp.Path(), out)) Fail("cannot write to standard output");
    } else {
        pugi::xml_writer_stream writer(out);
        SaveIndented(score.document, writer, score.depth);
    }
    out.flush();
    if (!out) Fail("cannot write to standard output");
}

// A FIFO, a device or another file that is not a regular one: written into as it is.
void WriteInto(const ScoreFile& score, const std::string& path, ScoreFormat format) {
    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY);
    if (fd < 0) Fail(path + ": cannot write: " + std::strerror(errno));
    int e = 0;
    if (format == ScoreFormat::Compressed) {
        TempFile temp(TempFile::SystemFolder(), "beatclone", path, ExitCode::OutputFailed);
        temp.CloseFd();
        WriteArchive(score, temp.Path());
        e = CopyFileToFd(temp.Path(), fd);
        if (::close(fd) != 0 && e == 0) e = errno;
    } else {
        e = WriteText(score, fd);
    }
    if (e != 0) Fail(path + ": cannot write: " + std::strerror(e));
}

// The file a chain of symbolic links ends at (which may not exist yet).
std::filesystem::path LinkTarget(const std::filesystem::path& link) {
    std::filesystem::path at = link;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(at, error))) return at;
        std::filesystem::path next = std::filesystem::read_symlink(at, error);
        if (error) Fail(link.string() + ": cannot follow the link: " + error.message());
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    Fail(link.string() + ": too many levels of symbolic links");
}

// Makes the written bytes durable before the rename, so that even a power cut never leaves a
// renamed but empty or partial score in place of a good one.
void SyncFile(const std::string& temp) {
    const int fd = ::open(temp.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A regular file (or none yet): a temporary file beside it, renamed over it.
void ReplaceFile(const ScoreFile& score, const std::string& path, ScoreFormat format, const struct stat* existing,
                 const std::string& named) {
    std::filesystem::path target(path);
    std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    TempFile temp(folder, target.filename().string(), named, ExitCode::OutputFailed);
    if (format == ScoreFormat::Compressed) {
        temp.CloseFd();
        WriteArchive(score, temp.Path());
    } else if (int e = WriteText(score, temp.TakeFd()); e != 0) {
        Fail(named + ": cannot write: " + std::strerror(e));
    }
    // mkstemp makes the file its owner's alone; a score keeps the mode it had, or gets the
    // usual one.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temp.Path().c_str(), existing != nullptr ? existing->st_mode & 07777 : 0666 & ~mask);
    SyncFile(temp.Path());
    if (::rename(temp.Path().c_str(), path.c_str()) != 0)
        Fail(named + ": cannot write: " + std::strerror(errno) + "; choose another -o");
    temp.Keep();
}

} // namespace

void WriteScoreOutput(const ScoreFile& score, const std::string& path, ScoreFormat format,
                      std::ostream& standardOutput) {
    DeclareUtf8(score.document);
    if (path == "-") return WriteToStream(score, format, standardOutput);
    std::string target = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) target = LinkTarget(path).string();
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) Fail(path + ": cannot write: it is a directory; name a file inside it");
    if (exists && !S_ISREG(st.st_mode)) return WriteInto(score, target, format);
    if (exists && ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
        Fail(path + ": cannot write: the file is read-only; make it writable (chmod u+w) or choose another -o");
    ReplaceFile(score, target, format, exists ? &st : nullptr, path);
}

void SaveScoreFile(const ScoreFile& score, const std::string& path, ScoreFormat format) {
    WriteScoreOutput(score, path, format, std::cout);
}

} // namespace beatclone::cli
