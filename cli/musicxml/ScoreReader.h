// Reads a partwise MusicXML score into the tool's model.
#pragma once

#include "cli/musicxml/MusicXmlScore.h"

#include <string>

namespace beatclone::cli {

// Loads the file at `path` (.musicxml, .xml or .mxl) and builds the whole model.
// Throws CliError(BadInput) with one message naming the problem.
void ReadScore(const std::string& path, MusicXmlScore& score);

// Loads the file and builds the model's outline: parts, staves, measures and the voices of
// each staff, but no events. Large scores are read this way and only the measures a transfer
// involves are read in detail.
void ReadScoreOutline(const std::string& path, MusicXmlScore& score);

// Builds the outline from the document already in score.file.
void BuildScoreOutline(MusicXmlScore& score);

// Reads the events of measures [first, last] (indices from 0) of every part, where not read
// yet.
void DetailMeasures(MusicXmlScore& score, size_t first, size_t last);

} // namespace beatclone::cli
