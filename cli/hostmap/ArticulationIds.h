// The score's articulation kinds against the ids the stand-in host stores in its articulation
// detail records.
#pragma once

#include "cli/score/ArticulationKind.h"

#include <cstdint>

namespace beatclone::cli {

// The host's id of a kind; 0 for ArticulationKind::None.
uint16_t HostArticulationId(ArticulationKind kind);

// The kind of a host id; ArticulationKind::None for an id the score has no kind for.
ArticulationKind ArticulationKindOfHostId(uint16_t id);

} // namespace beatclone::cli
