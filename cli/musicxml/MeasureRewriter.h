// Rewrites one measure of one part with some of its voices rebuilt. Every other element of
// the measure (the other voices' notes, attributes, barlines) stays as it was, at the same
// point in time: the old <backup> and <forward> elements give way to new ones placed wherever
// the removed notes leave the cursor elsewhere, each <forward> with the voice it skips for.
// The rebuilt voices follow, each from the start of the measure, as clean MusicXML, with the
// directions, harmonies and figures that belong to them between their notes at their times.
#pragma once

#include "cli/musicxml/CarriedMarks.h"
#include "cli/score/ScoreModel.h"

#include <pugixml.hpp>

#include <limits>
#include <map>
#include <string>
#include <vector>

namespace beatclone::cli {

struct RebuiltVoice {
    int staff = 1;
    std::string voice;
    std::vector<Event> events; // timed from the start of the measure, as ReadHostLayer gives them
    // Parallel to `events` when not empty: the markings each event takes over.
    std::vector<CarriedMarks> marks;
    // The onsets, in this measure, of the attacks the voice had before: a direction that sat
    // at one moves with its attack (to the attack's index given here).
    std::vector<std::pair<Rational, size_t>> attackOnsets;
    // Past the voice's last event the measure is filled with rests from here on (before it,
    // with a <forward>: the source's own silence).
    Rational restsFrom;
};

// A direction taken out of the measure because it sat on an attack that moved.
struct LiftedDirection {
    size_t voice = 0;  // index into the voices given
    size_t attack = 0; // from RebuiltVoice::attackOnsets
    pugi::xml_node copy;
};

struct RewriteResult {
    // Per rebuilt voice, per event: its first <note> (empty for a gap).
    std::vector<std::vector<pugi::xml_node>> written;
    std::vector<LiftedDirection> lifted;
    // Per rebuilt voice: the rests written to fill the measure, and what carried markings
    // could not be written.
    std::vector<int> restsFilled;
    std::vector<std::map<std::string, int>> dropped;
    // Set when the measure's divisions had to be multiplied to hold the new rhythm: the
    // divisions the next measure must start with again.
    bool divisionsChanged = false;
    Rational divisionsForNext;
};

// Rewrites `measureNode`, the <measure> element that `measure` was read from. With `scratch`
// given, directions on moved attacks are copied into it and taken out of the measure.
RewriteResult RewriteMeasure(const Part& part, const Measure& measure, pugi::xml_node measureNode,
                             const std::vector<RebuiltVoice>& voices, pugi::xml_node scratch = {});

// Makes `measure` begin by setting the divisions to `divisions`, unless it already does.
void EnsureDivisionsAtStart(pugi::xml_node measure, Rational divisions);

} // namespace beatclone::cli
