// Layers written as short text, for tests and demos.
//
// One entry per token, measures separated by "|":
//   q:C4        a quarter C4          h.:Bb3   a dotted half B-flat 3
//   e:C4+E4+G4  a chord               q:r      a quarter rest
//   q:C4~       tied into the next entry (per note: q:C4~+E4 ties only the C)
//   q:C4!2!1    articulations 2 and 1 (their ids), in that order
//   3/2e:C4     the first entry of a tuplet: 3 eighths in the time of 2
// Durations: w h q e s t (32nd), each with any number of dots.
#pragma once

#include "host/HostRecords.h"
#include "simhost/SimHost.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testscore {

// Stores `text` as layer index `layer` of `instrument` from `firstMeasure` on: entries,
// tuplet and articulation details. The document must have the measures.
void WriteLayer(simhost::Document& document, int16_t instrument, int16_t layer, int16_t firstMeasure,
                const std::string& text);

// The text form of measures [first, last] of a layer, as WriteLayer reads it.
std::string ReadLayer(const simhost::Document& document, int16_t instrument, int16_t layer, int16_t first,
                      int16_t last);

// The same layer's stored bytes: entries and their detail records, for byte-for-byte
// comparisons of layers that must not change.
std::string LayerBytes(const simhost::Document& document, int16_t instrument, int16_t layer, int16_t first,
                       int16_t last);

} // namespace testscore
