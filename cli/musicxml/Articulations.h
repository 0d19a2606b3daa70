// MusicXML articulation elements against the score's articulation kinds.
#pragma once

#include "cli/score/ArticulationKind.h"

#include <string>

namespace beatclone::cli {

// The kind for an element inside <articulations> ("staccato", "accent", ...) or for
// "fermata", else ArticulationKind::None.
ArticulationKind ArticulationKindOf(const std::string& elementName);

// The element name of a kind, or nullptr for ArticulationKind::None or an unknown kind.
const char* ArticulationElementName(ArticulationKind kind);

} // namespace beatclone::cli
