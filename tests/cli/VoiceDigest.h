// The musical content of a score, voice by voice, as text lines that two readings of a score
// can be compared by: positions, lengths, pitches, ties, tuplets and articulations. Layout
// (beams, stems, positions on the page) is not part of it.
#pragma once

#include "cli/score/ScoreModel.h"

#include <map>
#include <string>
#include <vector>

namespace beatclone::cli::test {

// Key "P1 staff 1 voice 2 measure #3" (measure index from 0) to one line per event.
using VoiceDigest = std::map<std::string, std::vector<std::string>>;

VoiceDigest DigestOf(const Score& score);

// As above, but with every tie that a note's previous entry starts on its pitch counted as
// ending there, notated or not: the tool writes such ties out in full.
VoiceDigest DigestWithTiesCompleted(const Score& score);

// One line per event of one voice in one measure.
std::vector<std::string> DigestOf(const VoiceMeasure& voice);

// The keys whose lines differ, each with both versions, for a failure message.
std::string DescribeDifferences(const VoiceDigest& expected, const VoiceDigest& actual, size_t limit = 5);

} // namespace beatclone::cli::test
