// Reads a partwise MusicXML score into the tool's model.
#pragma once

#include "cli/musicxml/MusicXmlScore.h"

#include <string>
#include <vector>

namespace beatclone::cli {

// Loads the file at `path` (.musicxml, .xml or .mxl) and builds the whole model.
// Throws CliError(BadInput) with one message naming the problem.
void ReadScore(const std::string& path, MusicXmlScore& score);

// Loads the file and builds the model's outline: parts, staves, measures and the voices of
// each staff, but no events. Large scores are read this way and only the measures a transfer
// involves are read in detail.
void ReadScoreOutline(const std::string& path, MusicXmlScore& score);

// Reads the part list from the document already in score.file: each part's id, names and
// measures (their elements and numbers), none of what the measures hold. Saving the score
// needs no more, and a transfer outlines only the parts it names.
void ReadPartList(MusicXmlScore& score);

// Reads the outline of part `p` of the part list: its staves, the voices of each, and the
// divisions of its measures; nothing when read already.
void OutlinePart(MusicXmlScore& score, size_t p);

// The part list and the outline of every part.
void BuildScoreOutline(MusicXmlScore& score);

// Reads the events of measures [first, last] (indices from 0) of the given parts (outlining
// them first), or of every part, where not read yet.
void DetailMeasures(MusicXmlScore& score, const std::vector<size_t>& parts, size_t first, size_t last);
void DetailMeasures(MusicXmlScore& score, size_t first, size_t last);

} // namespace beatclone::cli
