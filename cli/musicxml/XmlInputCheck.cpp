#include "cli/musicxml/XmlInputCheck.h"

#include "cli/CliError.h"
#include "cli/musicxml/IndentedSave.h"
#include "cli/musicxml/WideVectors.h"
#include "host/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#if defined(BEATCLONE_WIDE_VECTORS)
#include <immintrin.h>
#endif

namespace beatclone::cli {
namespace {

[[noreturn]] void Refuse(const std::string& name, const char* data, size_t size, size_t offset,
                         const std::string& what) {
    throw CliError(ExitCode::BadInput, name + ": " + TextPosition(data, size, offset) + ": " + what);
}

// Characters XML allows in a document: tab, line feed, carriage return, and from space up,
// less the surrogates and U+FFFE and U+FFFF.
bool IsXmlChar(uint32_t c) {
    if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

enum class Encoding { Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be, Latin1 };

bool StartsWith(const char* data, size_t size, std::string_view prefix) {
    return size >= prefix.size() && std::memcmp(data, prefix.data(), prefix.size()) == 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

// The encoding an XML declaration names, when the text begins with one.
std::string_view DeclaredEncoding(const char* data, size_t size) {
    if (!StartsWith(data, size, "<?xml")) return {};
    std::string_view head(data, size);
    size_t end = head.find("?>");
    if (end == std::string_view::npos) return {};
    head = head.substr(0, end);
    size_t at = head.find("encoding");
    if (at == std::string_view::npos) return {};
    at = head.find_first_of("\"'", at);
    if (at == std::string_view::npos) return {};
    size_t close = head.find(head[at], at + 1);
    if (close == std::string_view::npos) return {};
    return head.substr(at + 1, close - at - 1);
}

// The encoding the text is in, guessed as XML parsers guess it: by the byte order mark, else
// by the bytes of "<?" or "<", else by the declaration.
Encoding DetectEncoding(const char* data, size_t size, size_t& bom) {
    bom = 0;
    auto starts = [&](std::string_view prefix) { return StartsWith(data, size, prefix); };
    using namespace std::string_view_literals;
    if (starts("\x00\x00\xFE\xFF"sv)) return bom = 4, Encoding::Utf32Be;
    if (starts("\xFF\xFE\x00\x00"sv)) return bom = 4, Encoding::Utf32Le;
    if (starts("\xFE\xFF"sv)) return bom = 2, Encoding::Utf16Be;
    if (starts("\xFF\xFE"sv)) return bom = 2, Encoding::Utf16Le;
    if (starts("\x00\x00\x00<"sv)) return Encoding::Utf32Be;
    if (starts("<\x00\x00\x00"sv)) return Encoding::Utf32Le;
    if (starts("\x00<\x00?"sv)) return Encoding::Utf16Be;
    if (starts("<\x00?\x00"sv)) return Encoding::Utf16Le;
    // "<" and a name: most likely UTF-16, and no UTF-8 text has a NUL there.
    if (starts("\x00<"sv)) return Encoding::Utf16Be;
    if (starts("<\x00"sv)) return Encoding::Utf16Le;
    std::string_view declared = DeclaredEncoding(data, size);
    if (EqualsIgnoringCase(declared, "iso-8859-1") || EqualsIgnoringCase(declared, "latin1")) return Encoding::Latin1;
    return Encoding::Utf8;
}

// Decodes UTF-16 or UTF-32 strictly; a bad unit is placed by the text decoded before it.
template <size_t Width, bool BigEndian>
std::string DecodeUnits(const std::string& name, const char* data, size_t size, size_t bom) {
    auto unit = [&](size_t at) {
        uint32_t v = 0;
        for (size_t k = 0; k < Width; ++k) {
            uint32_t byte = static_cast<unsigned char>(data[at + (BigEndian ? k : Width - 1 - k)]);
            v = (v << 8) | byte;
        }
        return v;
    };
    std::string out;
    out.reserve(size / Width * 3 / 2);
    const char* kind = Width == 2 ? "UTF-16" : "UTF-32";
    auto bad = [&](const char* what) {
        Refuse(name, out.data(), out.size(), out.size(), std::string(what) + kind + " text");
    };
    if ((size - bom) % Width != 0) bad("a character cut short at the end of the ");
    for (size_t at = bom; at < size; at += Width) {
        uint32_t c = unit(at);
        if (Width == 2 && c >= 0xD800 && c <= 0xDBFF) {
            if (at + Width >= size) bad("an unpaired surrogate in the ");
            uint32_t low = unit(at + Width);
            if (low < 0xDC00 || low > 0xDFFF) bad("an unpaired surrogate in the ");
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            at += Width;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            bad("an unpaired surrogate in the ");
        } else if (c > 0x10FFFF) {
            bad("a value beyond Unicode in the ");
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string DecodeLatin1(const char* data, size_t size) {
    std::string out;
    out.reserve(size + size / 8);
    for (size_t i = 0; i < size; ++i) AppendUtf8(out, static_cast<unsigned char>(data[i]));
    return out;
}

// The length of the UTF-8 sequence at `at` and its character; 0 when it is not UTF-8.
size_t DecodeUtf8(const unsigned char* s, size_t left, uint32_t& c) {
    unsigned char b = s[0];
    size_t length;
    uint32_t least;
    if (b < 0x80) {
        c = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        length = 2, c = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, c = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, c = b & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (left < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (s[k] & 0x3F);
    }
    return c < least || (c >= 0xD800 && c <= 0xDFFF) ? 0 : length;
}

bool PlainByte(unsigned char c) { return c >= 0x20 ? c < 0x80 && c != '&' : c == '\n' || c == '\t' || c == '\r'; }

// The five entities XML defines, which mean the same wherever they stand.
constexpr std::string_view kPredefinedEntities[] = {"amp", "lt", "gt", "quot", "apos"};

// The longest reference to one of them, after its '&'.
constexpr size_t kLongestPlainReference = 5;

// Whether the text after an '&' begins a reference to one of them; any other needs the
// markup walk to be judged.
bool PlainReferenceAt(const char* at, size_t left) {
    for (std::string_view known : kPredefinedEntities)
        if (left > known.size() && std::memcmp(at, known.data(), known.size()) == 0 && at[known.size()] == ';')
            return true;
    return false;
}

// Sixteen bytes as one vector, for the plain-text scan (the compiler's vector extension:
// SSE2 on x86-64, plain words where there is no vector unit).
using Block = signed char __attribute__((vector_size(16)));

// The bytes of a block that are '&' or neither plain ASCII nor a line break or tab, as lanes
// of -1. As signed bytes, everything from 0x80 up is below 0x20 as well; tab and carriage
// return are the two controls that read 13 with bit 2 set.
Block UnusualBytes(const unsigned char* s) {
    Block b;
    std::memcpy(&b, s, sizeof b);
    return ((b < 0x20) & ~((b == '\n') | ((b | 4) == '\r'))) | (b == '&');
}

bool AnyLane(Block b) {
    uint64_t halves[2];
    std::memcpy(halves, &b, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

#if defined(BEATCLONE_WIDE_VECTORS)
// UnusualBytes for 32 bytes at once.
[[gnu::target("avx2")]] inline __m256i WideUnusualBytes(const unsigned char* s) {
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    const __m256i control = _mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), b);
    const __m256i lineBreak =
        _mm256_or_si256(_mm256_cmpeq_epi8(b, _mm256_set1_epi8('\n')),
                        _mm256_cmpeq_epi8(_mm256_or_si256(b, _mm256_set1_epi8(4)), _mm256_set1_epi8('\r')));
    return _mm256_or_si256(_mm256_andnot_si256(lineBreak, control), _mm256_cmpeq_epi8(b, _mm256_set1_epi8('&')));
}

// How many of the bytes from `s` on, in whole runs of 64, are plain, with 32-byte vectors.
[[gnu::target("avx2")]] size_t WidePlainPrefix(const unsigned char* s, size_t size) {
    size_t i = 0;
    for (; size - i >= 64; i += 64) {
        const __m256i unusual = _mm256_or_si256(WideUnusualBytes(s + i), WideUnusualBytes(s + i + 32));
        if (!_mm256_testz_si256(unusual, unusual)) break;
    }
    return i;
}
#endif

// How many of the bytes from `s` on, in whole runs of 64, are plain: four blocks are tested
// together, which keeps the scan near the speed of reading memory.
size_t PlainPrefix(const unsigned char* s, size_t size) {
    size_t i = 0;
#if defined(BEATCLONE_WIDE_VECTORS)
    if (HasWideVectors()) i = WidePlainPrefix(s, size);
#endif
    for (; size - i >= 4 * sizeof(Block); i += 4 * sizeof(Block)) {
        const Block unusual =
            UnusualBytes(s + i) | UnusualBytes(s + i + 16) | UnusualBytes(s + i + 32) | UnusualBytes(s + i + 48);
        if (AnyLane(unusual)) break;
    }
    while (size - i >= sizeof(Block) && !AnyLane(UnusualBytes(s + i))) i += sizeof(Block);
    return i;
}

} // namespace

void TextScan::Scan(const char* data, size_t size, bool complete) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(data);
    size_t i = at_;
    // A UTF-8 byte order mark is the parser's to skip.
    if (i == 0 && StartsWith(data, size, "\xEF\xBB\xBF")) i = 3;
    while (i < size) {
        // Plain ASCII text and line breaks, the bulk of any score, a vector at a time while none
        // is '&', another control character or has its top bit set; then byte by byte.
        i += PlainPrefix(s + i, size - i);
        for (size_t end = std::min(size, i + sizeof(Block)); i < end && PlainByte(s[i]);) ++i;
        if (i == size) break;
        if (PlainByte(s[i])) continue;
        // A character or reference that may go on past what has arrived waits for the rest.
        if (!complete && size - i <= kLongestPlainReference) break;
        if (s[i] == '&') {
            onlyPlainReferences_ = onlyPlainReferences_ && PlainReferenceAt(data + i + 1, size - i - 1);
            ++i;
            continue;
        }
        uint32_t c = 0;
        size_t length = DecodeUtf8(s + i, size - i, c);
        if (length == 0) {
            std::string declared(DeclaredEncoding(data, size));
            Refuse(name_, data, size, i,
                   "bytes that are not UTF-8" +
                       (declared.empty() ? std::string() : " (the score declares the encoding " + declared + ")") +
                       "; save the score as UTF-8");
        }
        if (!IsXmlChar(c)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            Refuse(name_, data, size, i,
                   std::string("the character ") + code + ", which XML does not allow; remove it");
        }
        i += length;
    }
    at_ = i;
    complete_ = complete;
}

namespace {

// Walks the markup of well-formed text: element depth, and the references in character data
// and attribute values. Where the text is not well-formed it stops, for the parser to report.
class MarkupCheck {
public:
    MarkupCheck(const std::string& name, const char* data, size_t size) : name_(name), s_(data), size_(size) {}

    void Run() {
        while (at_ < size_) {
            // Character data up to the next markup, checked for references.
            const char* open = static_cast<const char*>(std::memchr(s_ + at_, '<', size_ - at_));
            const size_t end = open == nullptr ? size_ : static_cast<size_t>(open - s_);
            while (const char* amp = static_cast<const char*>(std::memchr(s_ + at_, '&', end - at_))) {
                at_ = static_cast<size_t>(amp - s_);
                Reference();
                if (at_ >= end) break;
            }
            at_ = end;
            if (at_ < size_ && !Markup()) return;
        }
    }

private:
    bool Ahead(std::string_view text) const {
        return size_ - at_ >= text.size() && std::memcmp(s_ + at_, text.data(), text.size()) == 0;
    }

    // Moves past the next `end`; false when there is none.
    bool SkipPast(std::string_view end) {
        std::string_view rest(s_ + at_, size_ - at_);
        size_t found = rest.find(end);
        if (found == std::string_view::npos) return false;
        at_ += found + end.size();
        return true;
    }

    bool Markup() {
        if (Ahead("<!--")) return SkipPast("-->");
        if (Ahead("<![CDATA[")) return SkipPast("]]>");
        if (Ahead("<?")) return SkipPast("?>");
        if (Ahead("<!")) return Declaration();
        if (Ahead("</")) {
            if (depth_ > 0) --depth_;
            return SkipPast(">");
        }
        return StartTag();
    }

    // <!DOCTYPE ...> with its internal subset, whose declarations may hold '>' in quotes.
    bool Declaration() {
        int brackets = 0;
        for (at_ += 2; at_ < size_; ++at_) {
            char c = s_[at_];
            if (c == '"' || c == '\'') {
                const char* close = static_cast<const char*>(std::memchr(s_ + at_ + 1, c, size_ - at_ - 1));
                if (close == nullptr) return false;
                at_ = static_cast<size_t>(close - s_);
            } else if (c == '<' && (Ahead("<!--") || Ahead("<?"))) {
                if (!SkipPast(Ahead("<?") ? "?>" : "-->")) return false;
                --at_;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets <= 0) {
                ++at_;
                return true;
            }
        }
        return false;
    }

    bool StartTag() {
        const size_t tag = at_;
        // Most tags hold no '&': only their end and their quotes matter then.
        const char* close = static_cast<const char*>(std::memchr(s_ + at_, '>', size_ - at_));
        if (close != nullptr && std::memchr(s_ + at_, '&', static_cast<size_t>(close - s_) - at_) == nullptr) {
            const size_t length = static_cast<size_t>(close - s_) - at_;
            if (std::memchr(s_ + at_, '"', length) == nullptr && std::memchr(s_ + at_, '\'', length) == nullptr) {
                at_ += length;
                return EndOfStartTag(tag);
            }
        }
        for (++at_; at_ < size_; ++at_) {
            char c = s_[at_];
            if (c == '"' || c == '\'') {
                for (++at_; at_ < size_ && s_[at_] != c;)
                    if (s_[at_] == '&')
                        Reference();
                    else
                        ++at_;
                if (at_ == size_) return false;
            } else if (c == '>') {
                return EndOfStartTag(tag);
            }
        }
        return false;
    }

    // At the '>' that closes the start tag at `tag`.
    bool EndOfStartTag(size_t tag) {
        bool empty = s_[at_ - 1] == '/';
        ++at_;
        if (!empty && ++depth_ > kMaxXmlDepth)
            Refuse(
                name_, s_, size_, tag,
                "elements nested more than " + std::to_string(kMaxXmlDepth) + " deep, far deeper than MusicXML goes");
        return true;
    }

    static bool IsNameChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
    }

    // A reference at `at_`: the five XML entities and character references to allowed
    // characters are decoded by the parser and escaped again by the writer, which keeps
    // their meaning; any other is refused, since the parser does not expand it.
    void Reference() {
        const size_t start = at_++;
        if (at_ < size_ && s_[at_] == '#') {
            CharacterReference(start);
            return;
        }
        size_t end = at_;
        while (end < size_ && IsNameChar(s_[end])) ++end;
        // Not a reference at all (a lone '&'): the parser keeps it as the character it is.
        if (end == at_ || end == size_ || s_[end] != ';') return;
        std::string_view entity(s_ + at_, end - at_);
        at_ = end + 1;
        for (std::string_view known : kPredefinedEntities)
            if (entity == known) return;
        Refuse(name_, s_, size_, start,
               "the entity reference &" + std::string(entity) +
                   ";, which would not be expanded; write the text it stands for instead");
    }

    void CharacterReference(size_t start) {
        ++at_;
        bool hex = at_ < size_ && s_[at_] == 'x';
        if (hex) ++at_;
        uint64_t value = 0;
        size_t digits = 0;
        for (; at_ < size_; ++at_, ++digits) {
            char c = s_[at_];
            int digit = c >= '0' && c <= '9'                            ? c - '0'
                        : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                        : -1;
            if (digit < 0) break;
            if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        }
        if (digits == 0 || at_ == size_ || s_[at_] != ';')
            Refuse(name_, s_, size_, start, "a malformed character reference");
        ++at_;
        if (!IsXmlChar(static_cast<uint32_t>(std::min<uint64_t>(value, 0x110000))))
            Refuse(name_, s_, size_, start, "a character reference to a character XML does not allow");
    }

    const std::string& name_;
    const char* s_;
    size_t size_;
    size_t at_ = 0;
    size_t depth_ = 0;
};

} // namespace

std::string TextPosition(const char* data, size_t size, size_t offset) {
    size_t end = std::min(size, offset);
    size_t line = 1, column = 1;
    for (size_t i = 0; i < end; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column; // continuation bytes belong to the character before
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::optional<std::string> TextAsUtf8(const std::string& name, const char* data, size_t size) {
    size_t bom = 0;
    switch (DetectEncoding(data, size, bom)) {
        case Encoding::Utf8:
            return std::nullopt;
        case Encoding::Utf16Le:
            return DecodeUnits<2, false>(name, data, size, bom);
        case Encoding::Utf16Be:
            return DecodeUnits<2, true>(name, data, size, bom);
        case Encoding::Utf32Le:
            return DecodeUnits<4, false>(name, data, size, bom);
        case Encoding::Utf32Be:
            return DecodeUnits<4, true>(name, data, size, bom);
        case Encoding::Latin1:
            return DecodeLatin1(data, size);
    }
    return std::nullopt;
}

bool IsUtf8Text(const char* data, size_t size) {
    size_t bom = 0;
    if (DetectEncoding(data, size, bom) != Encoding::Utf8) return false;
    // A declaration cut off here might still name another encoding.
    return !StartsWith(data, size, "<?xml") || std::string_view(data, size).find("?>") != std::string_view::npos;
}

void CheckXmlInput(const std::string& name, const char* data, size_t size) {
    TextScan scan(name);
    scan.Scan(data, size, true);
    CheckXmlInput(name, data, size, scan);
}

void CheckXmlInput(const std::string& name, const char* data, size_t size, const TextScan& scanned) {
    if (!scanned.Complete()) {
        CheckXmlInput(name, data, size);
        return;
    }
    // The walk also counts the depth; without it, CheckXmlDepth does once the tree is built.
    if (!scanned.OnlyPlainReferences()) MarkupCheck(name, data, size).Run();
}

size_t CheckXmlDepth(const std::string& name, const pugi::xml_document& document, const char* data, size_t size,
                     std::optional<size_t> bound) {
    // Text under the deepest element is one deeper. Within the indenting range the document is
    // saved alike whatever its exact depth.
    if (bound && *bound <= static_cast<size_t>(kMaxIndentLevels)) return *bound + 1;
    pugi::xml_node deep;
    size_t deepest = DeepestNesting(document, kMaxXmlDepth, &deep);
    if (deep) {
        ptrdiff_t offset = deep.offset_debug();
        size_t at = offset > 0 ? static_cast<size_t>(offset - 1) : 0; // at its '<'
        Refuse(name, data, size, at,
               "elements nested more than " + std::to_string(kMaxXmlDepth) + " deep, far deeper than MusicXML goes");
    }
    return deepest;
}

} // namespace beatclone::cli
