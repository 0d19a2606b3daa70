// A score read from MusicXML: the tool's model of it and, beside the model, the file it was
// read from with the element of every measure, so that whatever the tool does not rebuild is
// written back untouched.
#pragma once

#include "cli/musicxml/ScoreFile.h"
#include "cli/score/ScoreModel.h"

#include <pugixml.hpp>

#include <vector>

namespace beatclone::cli {

struct MusicXmlScore {
    Score score;
    ScoreFile file;
    // measureNodes[p][m]: the <measure> element of measure m of part p.
    std::vector<std::vector<pugi::xml_node>> measureNodes;

    pugi::xml_node MeasureNode(size_t part, size_t measure) const { return measureNodes[part][measure]; }
};

} // namespace beatclone::cli
