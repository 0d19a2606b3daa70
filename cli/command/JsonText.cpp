#include "cli/command/JsonText.h"

#include <cctype>
#include <cstdio>

namespace beatclone::cli {

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
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
