// The rhythmic attacks of a layer, counted as the module counts them.
#pragma once

#include "simhost/SimHost.h"

#include <cstddef>
#include <cstdint>

namespace beatclone::cli {

// The attacks of a layer over measures (indices from 0): every note entry that the entry
// before it does not tie into. Rests and skipped time break ties.
int CountAttacks(const simhost::Document& document, int16_t instrument, int16_t layer, size_t firstMeasure,
                 size_t lastMeasure);

} // namespace beatclone::cli
