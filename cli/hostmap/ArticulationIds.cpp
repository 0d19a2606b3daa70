#include "cli/hostmap/ArticulationIds.h"

#include "simhost/SimFormat.h"

#include <array>
#include <utility>

namespace beatclone::cli {
namespace {

constexpr std::array<std::pair<ArticulationKind, uint16_t>, 17> kIds = {{
    {ArticulationKind::Staccato, simhost::kArtStaccato},
    {ArticulationKind::Accent, simhost::kArtAccent},
    {ArticulationKind::Tenuto, simhost::kArtTenuto},
    {ArticulationKind::StrongAccent, simhost::kArtStrongAccent},
    {ArticulationKind::Staccatissimo, simhost::kArtStaccatissimo},
    {ArticulationKind::Spiccato, simhost::kArtSpiccato},
    {ArticulationKind::DetachedLegato, simhost::kArtDetachedLegato},
    {ArticulationKind::Stress, simhost::kArtStress},
    {ArticulationKind::Unstress, simhost::kArtUnstress},
    {ArticulationKind::SoftAccent, simhost::kArtSoftAccent},
    {ArticulationKind::BreathMark, simhost::kArtBreathMark},
    {ArticulationKind::Caesura, simhost::kArtCaesura},
    {ArticulationKind::Fermata, simhost::kArtFermata},
    {ArticulationKind::Scoop, simhost::kArtScoop},
    {ArticulationKind::Plop, simhost::kArtPlop},
    {ArticulationKind::Doit, simhost::kArtDoit},
    {ArticulationKind::Falloff, simhost::kArtFalloff},
}};

} // namespace

uint16_t HostArticulationId(ArticulationKind kind) {
    for (const auto& [k, id] : kIds)
        if (k == kind) return id;
    return simhost::kArtNone;
}

ArticulationKind ArticulationKindOfHostId(uint16_t id) {
    for (const auto& [k, hostId] : kIds)
        if (hostId == id) return k;
    return ArticulationKind::None;
}

} // namespace beatclone::cli
