// The <software> entry a MusicXML writer adds to the score's <encoding>, as notation programs
// do, so that the file tells which program wrote it last.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace beatclone::cli {

// Adds <software>`software`</software> to <identification>/<encoding>, creating both where
// the score has none, in the places the MusicXML schema orders them; an entry this program
// left before (one starting with `program` and a space) is replaced.
void StampSoftware(pugi::xml_document& document, const std::string& program, const std::string& software);

} // namespace beatclone::cli
