// `beatclone SCORE --list`: what a selection can name in a score. The parts with their ids,
// names and abbreviations, each staff with its voices and the layer each voice is, and the
// measures as selections name them, with pickups, numbers printed more than once and numbers
// that are not numbers flagged.
#pragma once

#include "cli/musicxml/MusicXmlScore.h"

#include <ostream>

namespace beatclone::cli {

void PrintListing(std::ostream& out, const MusicXmlScore& score, const std::string& input);
void PrintListingJson(std::ostream& out, const MusicXmlScore& score, const std::string& input);

} // namespace beatclone::cli
