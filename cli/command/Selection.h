// Selections as a musician types them: staves by part name or id, optionally with a staff
// number, and a range of measure numbers as printed in the score.
//
//   SELECTION := STAVES ":" RANGE
//   STAVES    := STAFF ("," STAFF)*
//   STAFF     := PART | PART "/" N      (N: staff number within the part, from 1)
//   PART      := a part id ("P1"), name ("Trumpet 1") or abbreviation ("Tpt. 1"), any case
//   RANGE     := M | M "-" M            (printed measure numbers; a pickup is usually "0")
//
// A part of several staves named without a staff number stands for all of its staves.
#pragma once

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
    std::string text; // as given

    size_t MeasureCount() const { return lastMeasure - firstMeasure + 1; }
};

// Throws CliError(BadSelection) naming what the score does not have.
Selection ParseSelection(const Score& score, const std::string& text);

// "Trumpet 1, measures 5-8" for messages and reports.
std::string DescribeMeasures(const Score& score, const Selection& selection);

} // namespace beatclone::cli
