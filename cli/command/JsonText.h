// JSON text for the reports: strings escaped, measure numbers as numbers where they are.
#pragma once

#include <string>

namespace beatclone::cli {

// `s` (UTF-8) as a JSON string literal.
std::string JsonString(const std::string& s);

// A JSON string, or null for an empty `s`.
std::string JsonStringOrNull(const std::string& s);

// A measure number as printed ("12") as a JSON number, or null when it is not a plain integer
// ("12a", "X1").
std::string JsonMeasureNumber(const std::string& printed);

// The version of the report and listing formats; raised when a field changes meaning or goes.
inline constexpr int kJsonSchemaVersion = 1;

} // namespace beatclone::cli
