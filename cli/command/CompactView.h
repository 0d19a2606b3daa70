// A one-line view of what a layer holds over some measures, for reports:
//   "C5q{>} D5q E5e F5e G5q~ | G5q 3:2[A5e G5e F5e] E5h"
// Values: w h q e s t (32nd) x (64th), dots after; "r" a rest, "_" skipped time, "R" a
// whole-measure rest; "~" a tie onward; "[...]" a chord; "g:" a grace note; articulations in
// braces ("{.}" staccato, "{>}" accent, "{-}" tenuto, "{^}" marcato, "{U}" fermata).
#pragma once

#include "simhost/SimHost.h"

#include <cstddef>
#include <string>

namespace beatclone::cli {

std::string CompactLayer(const simhost::Document& document, int16_t instrument, int16_t layer, size_t firstMeasure,
                         size_t lastMeasure);

} // namespace beatclone::cli
