// Tuplets between MusicXML and the host. MusicXML gives every note its combined
// <time-modification> and marks brackets with <tuplet> start/stop; the host stores one
// definition per tuplet on its first entry and finds the tuplet's end by adding up notated
// values. Planning turns the first into the second; laying out turns it back.
#pragma once

#include "cli/score/ScoreModel.h"
#include "simhost/SimFormat.h"

#include <vector>

namespace beatclone::cli {

// One tuplet to store: its definition, on the entry at `first`.
struct PlannedTuplet {
    size_t first = 0;
    size_t depth = 0; // 0 = outermost; definitions on one entry are stored outermost first
    simhost::TupletDefinition definition{};
};

// The tuplets of one voice in one measure. Grace notes never belong to a tuplet, and a gap
// ends every open one. Every non-grace event's time-modification equals the product of the
// ratios of the tuplets that cover it; where the marks do not say enough, tuplets are inferred.
std::vector<PlannedTuplet> PlanTuplets(const std::vector<Event>& events);

// The tuplets stored on one entry, outermost first.
using EntryTuplets = std::vector<simhost::TupletDefinition>;

// Fills in, for events made from host entries (notated values set, no tuplet information yet),
// each event's combined time-modification and its <tuplet> start/stop marks, numbered by depth
// from 1. `tuplets[i]` holds the definitions stored on entry i.
void LayOutTuplets(std::vector<Event>& events, const std::vector<EntryTuplets>& tuplets);

} // namespace beatclone::cli
