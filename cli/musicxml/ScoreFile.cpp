#include "cli/musicxml/ScoreFile.h"

#include "cli/CliError.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

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

} // namespace beatclone::cli
