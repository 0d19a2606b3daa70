// Reading numbers and words out of MusicXML element text, strictly: a value that does not
// parse is reported, never guessed.
#pragma once

#include "cli/score/Rational.h"

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace beatclone::cli {

// The element's text without surrounding white space.
std::string_view TrimmedText(pugi::xml_node node);

// A decimal such as "12", "0.5" or "-1" (at most 12 digits), exactly.
std::optional<Rational> ParseDecimal(std::string_view text);

// A whole number in [min, max].
std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max);

} // namespace beatclone::cli
