// The markings a rebuilt note takes over from the notes it replaces: lyrics, figures,
// fermatas, slurs, fingerings, ornaments, noteheads, its instrument, colour, velocity, id and
// the like. Only the rhythm is the source's: duration, type, dots, ties, tuplets, beams and the
// articulations the host carries.
#pragma once

#include <pugixml.hpp>

#include <map>
#include <string>
#include <vector>

namespace beatclone::cli {

struct CarriedMarks {
    // Per head of the event, the replaced <note> elements whose markings it takes; the first is
    // the head's own, whose attributes (colour, id, velocity ...) it takes too.
    std::vector<std::vector<pugi::xml_node>> onHead;
    // The source <note> whose <beam> elements the event takes; empty: no beams.
    pugi::xml_node beamsFrom;
};

// The markings of `from` that belong in `note` among the children named by `names`, appended
// in order; lyrics whose number is taken already are counted in `dropped` instead.
void CarryChildren(pugi::xml_node note, const std::vector<pugi::xml_node>& from,
                   std::initializer_list<const char*> names, std::map<std::string, int>& dropped);

// The attributes of `from` but its place on the page, set on `note`.
void CarryAttributes(pugi::xml_node note, pugi::xml_node from);

// Whether `from` has notations that travel with its attack.
bool HasCarriedNotations(const std::vector<pugi::xml_node>& from);

// The notations of `from` that travel with the attack, appended to `notations`: everything but
// ties, tuplets and the articulations the host carries (a fermata only when `haveFermata` is
// false). A slur that would start and end on this one note is left out and counted.
void CarryNotations(pugi::xml_node notations, const std::vector<pugi::xml_node>& from, bool haveFermata,
                    std::map<std::string, int>& dropped);

// The kind names, as the report gives them, of the markings on a <note> that does not travel
// (a replaced rest), counted into `dropped`.
void CountMarkings(pugi::xml_node note, std::map<std::string, int>& dropped);

} // namespace beatclone::cli
