#include "cli/musicxml/Articulations.h"

#include <array>

namespace beatclone::cli {
namespace {

struct Element {
    ArticulationKind kind;
    const char* name;
};

constexpr std::array<Element, 17> kElements = {{
    {ArticulationKind::Staccato, "staccato"},
    {ArticulationKind::Accent, "accent"},
    {ArticulationKind::Tenuto, "tenuto"},
    {ArticulationKind::StrongAccent, "strong-accent"},
    {ArticulationKind::Staccatissimo, "staccatissimo"},
    {ArticulationKind::Spiccato, "spiccato"},
    {ArticulationKind::DetachedLegato, "detached-legato"},
    {ArticulationKind::Stress, "stress"},
    {ArticulationKind::Unstress, "unstress"},
    {ArticulationKind::SoftAccent, "soft-accent"},
    {ArticulationKind::BreathMark, "breath-mark"},
    {ArticulationKind::Caesura, "caesura"},
    {ArticulationKind::Fermata, "fermata"},
    {ArticulationKind::Scoop, "scoop"},
    {ArticulationKind::Plop, "plop"},
    {ArticulationKind::Doit, "doit"},
    {ArticulationKind::Falloff, "falloff"},
}};

} // namespace

ArticulationKind ArticulationKindOf(const std::string& elementName) {
    for (const Element& e : kElements)
        if (elementName == e.name) return e.kind;
    return ArticulationKind::None;
}

const char* ArticulationElementName(ArticulationKind kind) {
    for (const Element& e : kElements)
        if (kind == e.kind) return e.name;
    return nullptr;
}

} // namespace beatclone::cli
