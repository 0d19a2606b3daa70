// Selections as a musician types them: staves by part name or id, optionally with a staff
// number, and a range of measure numbers as printed in the score.
//
//   SELECTION := STAVES ":" RANGE
//   STAVES    := "all" | STAFF ("," STAFF)*
//   STAFF     := PART | PART "/" N      (N: staff number within the part, from 1)
//   PART      := NAME | "@" ID
//   RANGE     := M | M "-" M
//   M         := NUMBER | NUMBER "#" K  (the K-th measure printed NUMBER: a later movement)
//
// A NAME is a part's name or abbreviation, compared without regard to case, accents,
// punctuation or spacing; failing those, a part's id in any case. "@P2" is the part whose id
// is exactly P2, whatever the names say. A part of several staves named without a staff
// number stands for all of its staves. A measure number printed more than once must say
// which one it means ("5#2"); a range's end is the first of its number from the start on.
#pragma once

#include "cli/musicxml/MusicXmlScore.h"
#include "cli/score/ScoreModel.h"

#include <string>
#include <vector>

namespace beatclone::cli {

struct StaffRef {
    size_t part = 0;
    int staff = 1;
    bool operator==(const StaffRef&) const = default;
};

struct Selection {
    std::vector<StaffRef> staves; // in the order named, without repeats
    size_t firstMeasure = 0;      // measure indices from 0, inclusive
    size_t lastMeasure = 0;
    std::string text;                  // as given
    std::vector<std::string> warnings; // how a word that could mean two parts was taken

    size_t MeasureCount() const { return lastMeasure - firstMeasure + 1; }
};

// Resolves `text` against the part list, reading the outline of each part it names (and of
// no other) before its staves are looked at.
// Throws CliError(BadSelection) naming what the score does not have and what to type, or
// CliError(BadInput) when a part named cannot be read.
Selection ParseSelection(MusicXmlScore& score, const std::string& text);
// The same on a score whose parts are all outlined.
Selection ParseSelection(const Score& score, const std::string& text);

// The text that selects measure index `m` of `part`: its number, with "#K" when the number
// is printed more than once before it.
std::string MeasureName(const Part& part, size_t m);

// How often the number of measure index `m` is printed in the part, and which of those it is.
struct Occurrence {
    size_t index = 1; // from 1
    size_t count = 1;
};
Occurrence OccurrenceOf(const Part& part, size_t m);

// "measure 5" or "measures 5-8", as the selection texts name them.
std::string DescribeMeasures(const Score& score, const Selection& selection);

} // namespace beatclone::cli
