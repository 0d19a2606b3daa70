// Walks every tie, slur, wedge and other spanner of a written score and names each one that
// is broken: a start without its stop, a stop without a start, a slur started twice, a tie
// into a note of another pitch.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <vector>

namespace beatclone::cli::test {

std::vector<std::string> BrokenSpanners(const pugi::xml_document& score);

// The broken spanners of `after` that `before` (the input) did not have already, one a line.
std::string NewBrokenSpanners(const pugi::xml_document& before, const pugi::xml_document& after);

} // namespace beatclone::cli::test
