// Rewrites one measure of one part with some of its voices rebuilt. Every other element of
// the measure (the other voices' notes, directions, harmony, attributes, barlines) stays as
// it was, at the same point in time: the old <backup> and <forward> elements give way to new
// ones placed wherever the removed notes leave the cursor elsewhere. The rebuilt voices follow,
// each from the start of the measure, as clean MusicXML.
#pragma once

#include "cli/score/ScoreModel.h"

#include <pugixml.hpp>

#include <map>
#include <string>
#include <vector>

namespace beatclone::cli {

struct RebuiltVoice {
    int staff = 1;
    std::string voice;
    std::vector<Event> events; // timed from the start of the measure, as ReadHostLayer gives them
};

struct RewriteResult {
    // What sat on the removed notes and cannot travel with the new ones, by kind ("lyric",
    // "slur", ...), counted per rebuilt voice in the order given.
    std::vector<std::map<std::string, int>> dropped;
    // The slur ends on the removed notes, per rebuilt voice, in order: (starts?, number). A
    // slur is counted once whether one end or both sat on rebuilt notes.
    std::vector<std::vector<std::pair<bool, int>>> slurEnds;
    // Set when the measure's divisions had to be multiplied to hold the new rhythm: the
    // divisions the next measure must start with again.
    bool divisionsChanged = false;
    Rational divisionsForNext;
};

// Rewrites `measureNode`, the <measure> element that `measure` was read from.
RewriteResult RewriteMeasure(const Part& part, const Measure& measure, pugi::xml_node measureNode,
                             const std::vector<RebuiltVoice>& voices);

// Makes `measure` begin by setting the divisions to `divisions`, unless it already does.
void EnsureDivisionsAtStart(pugi::xml_node measure, Rational divisions);

} // namespace beatclone::cli
