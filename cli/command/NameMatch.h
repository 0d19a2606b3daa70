// Names as people type them: part names compared without regard to case, accents,
// punctuation or spacing ("Vln I" finds "Vln. I", "flute a bec" finds "FLÛTE À BEC"), and
// the near misses a "did you mean" can offer.
#pragma once

#include <string>
#include <string_view>

namespace beatclone::cli {

// The letters and digits of `text` (UTF-8), lower-cased and stripped of accents; everything
// else (spaces, punctuation, symbols) dropped. Letters outside Latin, Greek and Cyrillic are
// kept as they are.
std::string FoldedName(std::string_view text);

// How many single-byte edits turn `a` into `b` (Levenshtein distance).
size_t EditDistance(std::string_view a, std::string_view b);

// Whether a folded name is close enough to a folded key to be offered as "did you mean".
bool NearMiss(std::string_view key, std::string_view name);

} // namespace beatclone::cli
