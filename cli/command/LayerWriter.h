// Writes layers that the transfer rebuilt back into the score's XML: for each measure of each
// rebuilt layer, the voice's old notes give way to the host's entries.
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
};

// Rewrites the measures of every layer given from `document`. Answers, per layer in the
// order given, what the removed notes carried that the new ones do not ("lyric" -> 2, ...).
// The score's model no longer matches its XML afterwards; only the XML is to be used.
std::vector<std::map<std::string, int>> WriteRebuiltLayers(MusicXmlScore& score, const HostMapping& mapping,
                                                           const simhost::Document& document,
                                                           const std::vector<RebuiltLayer>& layers);

} // namespace beatclone::cli
