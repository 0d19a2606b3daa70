// The bytes of a score, made safe to parse and to write back before the parser sees them:
// always UTF-8, with nothing in them that the document would lose or that its writer would
// turn into something else.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace beatclone::cli {

// Elements nested deeper than this are refused. MusicXML nests about ten deep; the limit
// leaves room for any extension while keeping every walk over the document shallow.
inline constexpr size_t kMaxXmlDepth = 256;

// The text in UTF-8 when it is in UTF-16, UTF-32 (by byte order mark or by the first
// characters) or declared ISO-8859-1; nothing when it is UTF-8 already (or claims no other
// encoding). Throws CliError(BadInput) naming `name` and the place for an invalid sequence.
std::optional<std::string> TextAsUtf8(const std::string& name, const char* data, size_t size);

// Checks UTF-8 text before it is parsed, throwing CliError(BadInput) naming `name`, the line
// and the column of the first of these:
// - a byte sequence that is not UTF-8, or a character XML does not allow (control characters);
// - an entity reference other than the five XML defines (&amp; &lt; &gt; &quot; &apos;): the
//   parser does not expand them, so they would be written back as literal text;
// - a character reference to a character XML does not allow, or one that does not parse;
// - elements nested deeper than kMaxXmlDepth, when it holds references other than those five
//   (else CheckXmlDepth tells, once the text is parsed: cheaper than a walk over the markup).
// Text that is not well-formed in other ways is left to the parser to report.
void CheckXmlInput(const std::string& name, const char* data, size_t size);

// The character part of CheckXmlInput, run piece by piece as the text is read, while each
// piece is still in the cache: a second pass over a large score's memory costs more than the
// check itself. Throws as CheckXmlInput does.
class TextScan {
public:
    explicit TextScan(std::string name) : name_(std::move(name)) {}

    // Scans data[0, size), the text read so far, on from where the last call stopped. Until
    // `complete`, the last few bytes may wait for the next call.
    void Scan(const char* data, size_t size, bool complete);

    // Whether the last Scan was given the whole text.
    bool Complete() const { return complete_; }
    // Whether every '&' scanned begins one of the five references XML defines.
    bool OnlyPlainReferences() const { return onlyPlainReferences_; }

private:
    std::string name_;
    size_t at_ = 0;
    bool complete_ = false;
    bool onlyPlainReferences_ = true;
};

// Whether the text, from its first bytes, is UTF-8: TextAsUtf8 would answer nothing.
bool IsUtf8Text(const char* data, size_t size);

// CheckXmlInput for text whose characters `scanned` has checked whole (else it checks them).
void CheckXmlInput(const std::string& name, const char* data, size_t size, const TextScan& scanned);

// Throws CliError(BadInput) naming `name` and the place when `document`, parsed from `data`,
// nests elements deeper than kMaxXmlDepth; else answers its DeepestNesting, or more where
// that changes nothing. A `bound` on the elements' depth (NestingBound's) that is well within
// both limits spares the walk over the tree.
size_t CheckXmlDepth(const std::string& name, const pugi::xml_document& document, const char* data, size_t size,
                     std::optional<size_t> bound = std::nullopt);

// "line 3, column 14" for the character at byte `offset` of UTF-8 text.
std::string TextPosition(const char* data, size_t size, size_t offset);

} // namespace beatclone::cli
