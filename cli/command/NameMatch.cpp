#include "cli/command/NameMatch.h"

#include "host/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace beatclone::cli {
namespace {

// Base letters of U+00C0..U+00FF; '*' marks the two-letter ones, '-' a sign (x, ÷).
constexpr std::string_view kLatin1 = "aaaaaa*ceeeeiiiidnooooo-ouuuuy**aaaaaa*ceeeeiiiidnooooo-ouuuuy*y";
// Base letters of U+0100..U+017F (Latin Extended-A), in code point order.
constexpr std::string_view kLatinA =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkkllllllllllnnnnnnnnnoooooo"
    "oorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";

// The next code point of `text` from `at`, which moves past it; a byte that is not valid
// UTF-8 counts as itself.
char32_t NextCodePoint(std::string_view text, size_t& at) {
    unsigned char c = static_cast<unsigned char>(text[at]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size()) {
        ++at;
        return c;
    }
    char32_t cp = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return c;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    at += length;
    return cp;
}

// A Greek or Cyrillic letter (all in the 16-bit range) as UTF-8.
void AppendLetter(std::string& out, char32_t cp) { out += Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(cp))); }

const char* TwoLetters(char32_t cp) {
    switch (cp) {
        case 0xC6:
        case 0xE6:
            return "ae";
        case 0xDE:
        case 0xFE:
            return "th";
        case 0xDF:
            return "ss";
        case 0x132:
        case 0x133:
            return "ij";
        case 0x152:
        case 0x153:
            return "oe";
        default:
            return nullptr;
    }
}

// Greek with tonos or dialytika, and final sigma, as the plain lower-case letter.
char32_t PlainGreek(char32_t cp) {
    switch (cp) {
        case 0x386:
        case 0x3AC:
            return 0x3B1;
        case 0x388:
        case 0x3AD:
            return 0x3B5;
        case 0x389:
        case 0x3AE:
            return 0x3B7;
        case 0x38A:
        case 0x3AF:
        case 0x3AA:
        case 0x3CA:
        case 0x390:
            return 0x3B9;
        case 0x38C:
        case 0x3CC:
            return 0x3BF;
        case 0x38E:
        case 0x3CD:
        case 0x3AB:
        case 0x3CB:
        case 0x3B0:
            return 0x3C5;
        case 0x38F:
        case 0x3CE:
            return 0x3C9;
        case 0x3C2:
            return 0x3C3;
        default:
            return cp >= 0x391 && cp <= 0x3A9 ? cp + 0x20 : cp;
    }
}

char32_t PlainCyrillic(char32_t cp) {
    if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;
    if (cp == 0x401 || cp == 0x451) return 0x435; // Ё, ё as е
    if (cp >= 0x400 && cp <= 0x40F) return cp + 0x50;
    return cp;
}

bool IsSignOrSpace(char32_t cp) {
    return (cp >= 0x80 && cp <= 0xBF) || (cp >= 0x300 && cp <= 0x36F)          // Latin-1 signs, combining accents
           || (cp >= 0x2000 && cp <= 0x206F) || (cp >= 0x20A0 && cp <= 0x20CF) // punctuation, currency
           || cp == 0x3000 || (cp >= 0xFE00 && cp <= 0xFE0F) || cp == 0xFEFF;
}

} // namespace

std::string FoldedName(std::string_view text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t start = at;
        char32_t cp = NextCodePoint(text, at);
        if (cp < 0x80) {
            char c = static_cast<char>(cp);
            if (c >= 'A' && c <= 'Z')
                out += static_cast<char>(c - 'A' + 'a');
            else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                out += c;
        } else if (const char* pair = TwoLetters(cp)) {
            out += pair;
        } else if (cp >= 0xC0 && cp <= 0xFF) {
            char base = kLatin1[cp - 0xC0];
            if (base != '-') out += base;
        } else if (cp >= 0x100 && cp <= 0x17F) {
            out += kLatinA[cp - 0x100];
        } else if (cp >= 0x370 && cp <= 0x3FF) {
            AppendLetter(out, PlainGreek(cp));
        } else if (cp >= 0x400 && cp <= 0x4FF) {
            AppendLetter(out, PlainCyrillic(cp));
        } else if (!IsSignOrSpace(cp)) {
            out += text.substr(start, at - start);
        }
    }
    return out;
}

size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool NearMiss(std::string_view key, std::string_view name) {
    if (key.empty() || name.empty()) return false;
    // "violin" for "Violin 1" and "Violin 2"; "tpt" for "Tpt. 1".
    if (key.size() >= 3 && name.substr(0, key.size()) == key) return true;
    size_t distance = EditDistance(key, name);
    return distance <= 2 && distance * 3 <= std::max(key.size(), name.size());
}

} // namespace beatclone::cli
