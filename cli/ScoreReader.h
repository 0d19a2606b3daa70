// Reads a partwise MusicXML score into the tool's model.
#pragma once

#include "cli/ScoreModel.h"

#include <string>

namespace beatclone::cli {

// Most voices one staff may use: the host has four layers.
inline constexpr size_t kMaxVoicesPerStaff = 4;

// Loads the file at `path` (.musicxml, .xml or .mxl) and builds the whole model.
// Throws CliError(BadInput) with one message naming the problem.
void ReadScore(const std::string& path, Score& score);

// Loads the file and builds the model's outline: parts, staves, measures and the voices of
// each staff, but no events. Large scores are read this way and only the measures a transfer
// involves are read in detail.
void ReadScoreOutline(const std::string& path, Score& score);

// Builds the outline from the document already in score.file.
void BuildScoreModel(Score& score);

// Reads the events of measures [first, last] (indices from 0) of every part, where not read
// yet.
void DetailMeasures(Score& score, size_t first, size_t last);

} // namespace beatclone::cli
