// Writes layers that the transfer rebuilt back into the score's XML: for each measure of each
// rebuilt layer, the voice's old notes give way to the host's entries, and everything that
// sat on the old notes (lyrics, slurs, fermatas, fingerings, noteheads, ids ...) goes to the
// new notes of the same attack, with the directions that sat at their onsets.
#pragma once

#include "cli/hostmap/HostMapping.h"
#include "cli/musicxml/MusicXmlScore.h"
#include "simhost/SimHost.h"

#include <map>
#include <string>
#include <vector>

namespace beatclone::cli {

struct RebuiltLayer {
    int16_t slot = 0;
    int16_t layer = 0;       // layer index, 0 = the staff's first voice
    size_t firstMeasure = 0; // measure indices, from 0, inclusive
    size_t lastMeasure = 0;
    // The source the layer took its rhythm from (slot 0: none known): the rebuilt notes take
    // its beams and its exact silences, and a layer whose rhythm it already was is left as it is.
    int16_t sourceSlot = 0;
    size_t sourceFirstMeasure = 0;
};

struct LayerWritten {
    // What the old notes carried that the new ones do not, by kind ("lyric" -> 2, ...).
    std::map<std::string, int> dropped;
    int restsFilled = 0;                 // rests written where the source is shorter than the measure
    std::vector<std::string> tiesClosed; // "measure 9: F3": a tie out of the layer given its stop
    std::vector<std::string> tiesRemoved;
    bool alreadyHadRhythm = false; // written back as it was: its rhythm was the source's
};

// Rewrites the measures of every layer given from `document`. Answers, per layer in the
// order given, what happened to it. The score's model no longer matches its XML afterwards;
// only the XML is to be used.
std::vector<LayerWritten> WriteRebuiltLayers(MusicXmlScore& score, const HostMapping& mapping,
                                             const simhost::Document& document,
                                             const std::vector<RebuiltLayer>& layers);

} // namespace beatclone::cli
