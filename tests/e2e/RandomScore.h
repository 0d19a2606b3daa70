// Generated layers for property tests, in the text form of tests/support/TestScore.h, and the
// expected outcome of a transfer worked out on that text.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace randomscore {

// A layer over `measures` measures with exactly `groups` attack groups: notes and chords,
// ties (into chords too), rests between and after tie chains, triplets and articulations.
std::string Layer(std::mt19937& rng, int groups, int measures);

// The number of attack groups of a layer written as text.
int CountGroups(const std::string& text);

// `source`'s rhythm, tuplets and articulations with `destination`'s pitches, attack by attack:
// what a rebuilt layer must read as.
std::string Rebuilt(const std::string& source, const std::string& destination);

} // namespace randomscore
