#include "cli/musicxml/ScoreFile.h"

#include "cli/CliError.h"
#include "cli/musicxml/IndentedSave.h"
#include "cli/musicxml/NestingBound.h"
#include "cli/musicxml/XmlInputCheck.h"

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

void CheckFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        throw CliError(ExitCode::BadInput, path + ": cannot open: " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw CliError(ExitCode::BadInput, path + ": is a directory, not a score");
}

// A buffer from pugixml's allocator, which a document can take over.
struct PugiFree {
    void operator()(char* p) const { pugi::get_memory_deallocation_function()(p); }
};
using PugiBuffer = std::unique_ptr<char, PugiFree>;

// A buffer for `size` bytes of text that a document can take over. In the command, pugixml's
// allocator is the tree arena, which maps a large one of its own with its pages made at once.
PugiBuffer NewTextBuffer(size_t size) {
    PugiBuffer bytes(static_cast<char*>(pugi::get_memory_allocation_function()(std::max<size_t>(size, 1))));
    if (!bytes) throw std::bad_alloc();
    return bytes;
}

// The file's first `limit` bytes (all of it when shorter); a file over 1 GiB is refused. When
// the text is UTF-8, `scan` checks and `nesting` counts each piece just read, while it is
// still in the cache.
PugiBuffer ReadFile(const std::string& path, std::streamoff limit, size_t& size, TextScan* scan = nullptr,
                    NestingBound* nesting = nullptr) {
    CheckFile(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError(ExitCode::BadInput, path + ": cannot open: " + std::strerror(errno));
    in.seekg(0, std::ios::end);
    std::streamoff length = in.tellg();
    if (length < 0) throw CliError(ExitCode::BadInput, path + ": cannot read");
    if (length > kMaxFileBytes) throw CliError(ExitCode::BadInput, path + ": larger than 1 GiB, refused");
    in.seekg(0);
    size = static_cast<size_t>(std::min(length, limit));
    PugiBuffer bytes = NewTextBuffer(size);
    constexpr size_t kPiece = size_t{1} << 20;
    for (size_t got = 0; got < size;) {
        const size_t piece = std::min(kPiece, size - got);
        if (!in.read(bytes.get() + got, static_cast<std::streamsize>(piece)))
            throw CliError(ExitCode::BadInput, path + ": cannot read");
        if (got == 0 && scan != nullptr && !IsUtf8Text(bytes.get(), piece)) scan = nullptr;
        got += piece;
        if (scan != nullptr) scan->Scan(bytes.get(), got, got == size);
        if (scan != nullptr && nesting != nullptr) nesting->Scan(bytes.get(), got, got == size);
    }
    return bytes;
}

[[noreturn]] void Malformed(const std::string& name, const char* text, size_t size,
                            const pugi::xml_parse_result& result) {
    size_t offset = result.offset < 0 ? 0 : static_cast<size_t>(result.offset);
    throw CliError(ExitCode::BadInput,
                   name + ": malformed XML at " + TextPosition(text, size, offset) + ": " + result.description());
}

} // namespace

ScoreFormat FormatForPath(const std::string& path, ScoreFormat fallback) {
    std::string lower = Lower(path);
    if (EndsWith(lower, ".mxl")) return ScoreFormat::Compressed;
    if (EndsWith(lower, ".musicxml") || EndsWith(lower, ".xml")) return ScoreFormat::Uncompressed;
    return fallback;
}

namespace {

void ParseUtf8(const std::string& name, const char* data, size_t size, ScoreFile& out) {
    CheckXmlInput(name, data, size);
    pugi::xml_parse_result result = out.document.load_buffer(data, size, kParseOptions, pugi::encoding_utf8);
    if (!result) Malformed(name, data, size, result);
    NestingBound nesting;
    nesting.Scan(data, size, true);
    out.depth = CheckXmlDepth(name, out.document, data, size, nesting.Bound());
}

} // namespace

void ParseScoreText(const std::string& name, const char* data, size_t size, ScoreFile& out) {
    if (std::optional<std::string> utf8 = TextAsUtf8(name, data, size))
        ParseUtf8(name, utf8->data(), utf8->size(), out);
    else
        ParseUtf8(name, data, size, out);
}

void LoadScoreFile(const std::string& path, ScoreFile& out) {
    // A glance at the first bytes tells a zip archive from XML text.
    size_t size = 0;
    PugiBuffer text = ReadFile(path, 4, size);
    if (size == 4 && std::memcmp(text.get(), "PK\x03\x04", 4) == 0) {
        MxlContents contents = ReadMxlArchive(path);
        out.format = ScoreFormat::Compressed;
        out.rootPath = contents.rootPath;
        out.otherMembers = std::move(contents.others);
        ParseScoreText(path + " (" + contents.rootPath + ")", contents.rootBytes.data(), contents.rootBytes.size(),
                       out);
        return;
    }
    out.format = ScoreFormat::Uncompressed;
    TextScan scan(path);
    NestingBound nesting;
    text = ReadFile(path, kMaxFileBytes, size, &scan, &nesting);
    if (std::optional<std::string> utf8 = TextAsUtf8(path, text.get(), size)) {
        text.reset();
        ParseUtf8(path, utf8->data(), utf8->size(), out); // rare, and worth a copy
        return;
    }
    CheckXmlInput(path, text.get(), size, scan);
    const char* parsed = text.get();
    // Parsed in place: the document takes the buffer, so a large score is held only once.
    pugi::xml_parse_result result =
        out.document.load_buffer_inplace_own(text.release(), size, kParseOptions, pugi::encoding_utf8);
    if (!result) {
        // The parse has written over the buffer; the place is found in the file as it is.
        text = ReadFile(path, kMaxFileBytes, size);
        Malformed(path, text.get(), size, result);
    }
    // Parsing in place keeps the line breaks where they were, so places still read true.
    out.depth = CheckXmlDepth(path, out.document, parsed, size, nesting.Bound());
}

std::string SerializeScore(const pugi::xml_document& document) {
    std::ostringstream text;
    pugi::xml_writer_stream writer(text);
    SaveIndented(document, writer);
    return text.str();
}

std::string SerializeScore(const ScoreFile& score) {
    std::ostringstream text;
    pugi::xml_writer_stream writer(text);
    SaveIndented(score.document, writer, score.depth);
    return text.str();
}

} // namespace beatclone::cli
