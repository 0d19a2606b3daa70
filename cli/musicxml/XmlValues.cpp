#include "cli/musicxml/XmlValues.h"

namespace beatclone::cli {
namespace {

constexpr int kMaxDigits = 12;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

std::string_view TrimmedText(pugi::xml_node node) {
    std::string_view text = node.child_value();
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<Rational> ParseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int64_t numerator = 0, denominator = 1;
    int digits = 0;
    bool point = false, any = false;
    for (char c : text) {
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        if (++digits > kMaxDigits) return std::nullopt;
        any = true;
        numerator = numerator * 10 + (c - '0');
        if (point) denominator *= 10;
    }
    if (!any) return std::nullopt;
    return Rational(negative ? -numerator : numerator, denominator);
}

std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max) {
    std::optional<Rational> value = ParseDecimal(text);
    if (!value || !value->IsInteger() || value->Num() < min || value->Num() > max) return std::nullopt;
    return value->Num();
}

} // namespace beatclone::cli
