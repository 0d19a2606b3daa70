#include "cli/musicxml/ScoreFile.h"

#include "cli/CliError.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace beatclone::cli {
namespace {

// Larger inputs are refused rather than read into memory.
constexpr std::streamoff kMaxFileBytes = std::streamoff(1) << 30;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The file's first `limit` bytes (all of it when shorter); a file over 1 GiB is refused.
std::string ReadWholeFile(const std::string& path, std::streamoff limit) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        throw CliError(ExitCode::BadInput, path + ": cannot open: " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw CliError(ExitCode::BadInput, path + ": is a directory, not a score");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError(ExitCode::BadInput, path + ": cannot open: " + std::strerror(errno));
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) throw CliError(ExitCode::BadInput, path + ": cannot read");
    if (size > kMaxFileBytes) throw CliError(ExitCode::BadInput, path + ": larger than 1 GiB, refused");
    in.seekg(0);
    size = std::min(size, limit);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && !in.read(bytes.data(), size)) throw CliError(ExitCode::BadInput, path + ": cannot read");
    return bytes;
}

// Line and column of a byte offset, for parse errors a person can find.
std::string Where(const char* data, size_t size, ptrdiff_t offset) {
    size_t end = offset < 0 ? 0 : std::min(size, static_cast<size_t>(offset));
    size_t line = 1, column = 1;
    for (size_t i = 0; i < end; ++i) {
        if (data[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// A fresh temporary file beside `path`, so that the final rename stays on one file system.
std::string MakeTempBeside(const std::string& path, int& fd) {
    std::string tmpl = path + ".tmp-XXXXXX";
    fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        throw CliError(ExitCode::OutputFailed, path + ": cannot create a temporary file: " + std::strerror(errno));
    return tmpl;
}

// Makes the written bytes durable before the rename, so that even a power cut never leaves a
// renamed but empty or partial score in place of a good one.
void SyncFile(const std::string& temp) {
    const int fd = ::open(temp.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void Publish(const std::string& temp, const std::string& path) {
    SyncFile(temp);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        throw CliError(ExitCode::OutputFailed, path + ": cannot write: " + std::strerror(e));
    }
}

constexpr unsigned kSaveOptions = pugi::format_indent;

} // namespace

ScoreFormat FormatForPath(const std::string& path, ScoreFormat fallback) {
    std::string lower = Lower(path);
    if (EndsWith(lower, ".mxl")) return ScoreFormat::Compressed;
    if (EndsWith(lower, ".musicxml") || EndsWith(lower, ".xml")) return ScoreFormat::Uncompressed;
    return fallback;
}

void ParseScoreText(const std::string& name, const char* data, size_t size, ScoreFile& out) {
    pugi::xml_parse_result result = out.document.load_buffer(data, size, kParseOptions);
    if (!result) {
        throw CliError(ExitCode::BadInput,
                       name + ": malformed XML at " + Where(data, size, result.offset) + ": " + result.description());
    }
}

void LoadScoreFile(const std::string& path, ScoreFile& out) {
    // A glance at the first bytes tells a zip archive from XML text.
    std::string head = ReadWholeFile(path, 4);
    if (head.size() == 4 && std::memcmp(head.data(), "PK\x03\x04", 4) == 0) {
        MxlContents contents = ReadMxlArchive(path);
        out.format = ScoreFormat::Compressed;
        out.rootPath = contents.rootPath;
        out.otherMembers = std::move(contents.others);
        ParseScoreText(path + " (" + contents.rootPath + ")", contents.rootBytes.data(), contents.rootBytes.size(),
                       out);
        return;
    }
    out.format = ScoreFormat::Uncompressed;
    // pugixml reads the file itself, which spares holding a second copy of a large score.
    pugi::xml_parse_result result = out.document.load_file(path.c_str(), kParseOptions);
    if (result.status == pugi::status_file_not_found || result.status == pugi::status_io_error)
        throw CliError(ExitCode::BadInput, path + ": cannot read");
    if (!result) {
        std::string text = ReadWholeFile(path, kMaxFileBytes);
        throw CliError(ExitCode::BadInput, path + ": malformed XML at " +
                                               Where(text.data(), text.size(), result.offset) + ": " +
                                               result.description());
    }
}

std::string SerializeScore(const pugi::xml_document& document) {
    std::ostringstream text;
    document.save(text, "  ", kSaveOptions, pugi::encoding_utf8);
    return text.str();
}

namespace {

// The text is always written as UTF-8, so the declaration must say so.
void DeclareUtf8(const pugi::xml_document& document) {
    pugi::xml_node decl = document.first_child();
    if (decl.type() == pugi::node_declaration && decl.attribute("encoding"))
        decl.attribute("encoding").set_value("UTF-8");
}

void WriteToStandardOutput(const pugi::xml_document& document, ScoreFormat format) {
    if (format == ScoreFormat::Compressed)
        throw CliError(ExitCode::OutputFailed, "a compressed score cannot be written to standard output");
    pugi::xml_writer_stream writer(std::cout);
    document.save(writer, "  ", kSaveOptions, pugi::encoding_utf8);
    std::cout.flush();
    if (!std::cout) throw CliError(ExitCode::OutputFailed, "cannot write to standard output");
}

// Writes the archive to `temp`, which is removed when that fails.
void WriteCompressed(const ScoreFile& score, const std::string& temp) {
    try {
        MxlContents contents;
        contents.rootPath = score.rootPath;
        contents.rootBytes = SerializeScore(score.document);
        contents.others = score.otherMembers;
        WriteMxlArchive(temp, contents);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
}

// Writes the text through `fd`, open on `temp`, and closes it; `temp` is removed when that fails.
void WriteUncompressed(const pugi::xml_document& document, int fd, const std::string& temp, const std::string& path) {
    // Large stdio buffers: pugixml hands over its output in small pieces. The buffer is
    // our own: given none, glibc ignores the size asked for and writes in 4 KB pieces.
    constexpr size_t kBufferBytes = size_t{1} << 20;
    std::unique_ptr<char[]> buffer(new char[kBufferBytes]); // left unset, as pugixml fills it
    FILE* file = ::fdopen(fd, "wb");
    bool ok = file != nullptr;
    int e = errno;
    if (ok) {
        std::setvbuf(file, buffer.get(), _IOFBF, kBufferBytes);
        pugi::xml_writer_file writer(file);
        document.save(writer, "  ", kSaveOptions, pugi::encoding_utf8);
        ok = std::ferror(file) == 0;
        e = errno;
        if (std::fclose(file) != 0) {
            ok = false;
            e = errno;
        }
    } else {
        ::close(fd);
    }
    if (!ok) {
        ::unlink(temp.c_str());
        throw CliError(ExitCode::OutputFailed, path + ": cannot write: " + std::strerror(e));
    }
}

// mkstemp creates the file readable by its owner only; a score is an ordinary document.
void MakeReadable(const std::string& temp) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temp.c_str(), 0666 & ~mask);
}

} // namespace

void SaveScoreFile(const ScoreFile& score, const std::string& path, ScoreFormat format) {
    DeclareUtf8(score.document);
    if (path == "-") {
        WriteToStandardOutput(score.document, format);
        return;
    }
    int fd = -1;
    std::string temp = MakeTempBeside(path, fd);
    if (format == ScoreFormat::Compressed) {
        ::close(fd);
        WriteCompressed(score, temp);
    } else {
        WriteUncompressed(score.document, fd, temp, path);
    }
    MakeReadable(temp);
    Publish(temp, path);
}

} // namespace beatclone::cli
