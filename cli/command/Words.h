// Counts in words, as the reports and messages say them: "1 attack", "3 attacks".
#pragma once

#include <string>

namespace beatclone::cli {

inline std::string Counted(long long n, const std::string& singular, const std::string& plural = "") {
    return std::to_string(n) + " " + (n == 1 ? singular : plural.empty() ? singular + "s" : plural);
}

// "1, 2 and 4" (or "1, 2 or 4")
template <typename List>
std::string ListInWords(const List& items, const char* last = " and ") {
    std::string out;
    size_t i = 0, n = items.size();
    for (const auto& item : items) {
        if (i > 0) out += i + 1 == n ? last : ", ";
        out += item;
        ++i;
    }
    return out;
}

} // namespace beatclone::cli
