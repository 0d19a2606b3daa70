// MusicXML articulation elements against the stand-in host's articulation kinds.
#pragma once

#include <cstdint>
#include <string>

namespace beatclone::cli {

// The kind for an element inside <articulations> ("staccato", "accent", ...) or for
// "fermata", else 0.
uint16_t ArticulationKindOf(const std::string& elementName);

// The element name of a kind, or nullptr for an unknown kind.
const char* ArticulationElementName(uint16_t kind);

// A mark for compact listings: "." staccato, ">" accent, "-" tenuto, "^" marcato ...
std::string ArticulationSymbol(uint16_t kind);

} // namespace beatclone::cli
