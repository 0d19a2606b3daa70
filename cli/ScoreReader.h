// Reads a partwise MusicXML score into the tool's model.
#pragma once

#include "cli/ScoreModel.h"

#include <string>

namespace beatclone::cli {

// Most voices one staff may use: the host has four layers.
inline constexpr size_t kMaxVoicesPerStaff = 4;

// Loads the file at `path` (.musicxml, .xml or .mxl) and builds the model.
// Throws CliError(BadInput) with one message naming the problem.
void ReadScore(const std::string& path, Score& score);

// Builds the model from the document already in score.file.
void BuildScoreModel(Score& score);

} // namespace beatclone::cli
