#include "cli/command/JsonText.h"

#include <cctype>
#include <cstdio>

namespace beatclone::cli {
namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0 when it is not one.
size_t Utf8Length(const std::string& s, size_t at) {
    unsigned char c = static_cast<unsigned char>(s[at]);
    size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > s.size()) return 0;
    unsigned char second = static_cast<unsigned char>(s[at + 1]);
    unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if ((static_cast<unsigned char>(s[at + k]) & 0xC0) != 0x80) return 0;
    return length;
}

} // namespace

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (size_t at = 0; at < s.size(); ++at) {
        unsigned char c = static_cast<unsigned char>(s[at]);
        if (c >= 0x80) {
            // Names come from the score: bytes that are not UTF-8 would make the whole report unreadable.
            size_t length = Utf8Length(s, at);
            if (length == 0) {
                out += "\\ufffd";
            } else {
                out.append(s, at, length);
                at += length - 1;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string JsonStringOrNull(const std::string& s) { return s.empty() ? "null" : JsonString(s); }

std::string JsonMeasureNumber(const std::string& printed) {
    size_t start = printed.size() > 1 && printed[0] == '-' ? 1 : 0;
    if (printed.size() == start || printed.size() - start > 9) return "null";
    for (size_t i = start; i < printed.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(printed[i]))) return "null";
    if (printed.size() - start > 1 && printed[start] == '0') return "null";
    return printed;
}

} // namespace beatclone::cli
