#include "cli/Articulations.h"

#include "simhost/SimFormat.h"

#include <array>

namespace beatclone::cli {
namespace {

struct Kind {
    uint16_t kind;
    const char* element;
    const char* symbol;
};

constexpr std::array<Kind, 17> kKinds = {{
    {simhost::kArtStaccato, "staccato", "."},
    {simhost::kArtAccent, "accent", ">"},
    {simhost::kArtTenuto, "tenuto", "-"},
    {simhost::kArtStrongAccent, "strong-accent", "^"},
    {simhost::kArtStaccatissimo, "staccatissimo", "!"},
    {simhost::kArtSpiccato, "spiccato", "'"},
    {simhost::kArtDetachedLegato, "detached-legato", "-."},
    {simhost::kArtStress, "stress", "(stress)"},
    {simhost::kArtUnstress, "unstress", "(unstress)"},
    {simhost::kArtSoftAccent, "soft-accent", "<>"},
    {simhost::kArtBreathMark, "breath-mark", ","},
    {simhost::kArtCaesura, "caesura", "//"},
    {simhost::kArtFermata, "fermata", "U"},
    {simhost::kArtScoop, "scoop", "(scoop)"},
    {simhost::kArtPlop, "plop", "(plop)"},
    {simhost::kArtDoit, "doit", "(doit)"},
    {simhost::kArtFalloff, "falloff", "(falloff)"},
}};

} // namespace

uint16_t ArticulationKindOf(const std::string& elementName) {
    for (const Kind& k : kKinds)
        if (elementName == k.element) return k.kind;
    return 0;
}

const char* ArticulationElementName(uint16_t kind) {
    for (const Kind& k : kKinds)
        if (kind == k.kind) return k.element;
    return nullptr;
}

std::string ArticulationSymbol(uint16_t kind) {
    for (const Kind& k : kKinds)
        if (kind == k.kind) return k.symbol;
    return "(" + std::to_string(kind) + ")";
}

} // namespace beatclone::cli
