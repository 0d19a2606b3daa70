// The articulations a score's notes can carry and the tool can move with a rhythm.
#pragma once

#include <cstdint>

namespace beatclone::cli {

enum class ArticulationKind : uint16_t {
    None = 0,
    Staccato,
    Accent,
    Tenuto,
    StrongAccent,
    Staccatissimo,
    Spiccato,
    DetachedLegato,
    Stress,
    Unstress,
    SoftAccent,
    BreathMark,
    Caesura,
    Fermata,
    Scoop,
    Plop,
    Doit,
    Falloff,
};

} // namespace beatclone::cli
