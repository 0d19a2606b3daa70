#include "cli/musicxml/CarriedMarks.h"

#include "cli/musicxml/Articulations.h"

#include <cstring>
#include <set>
#include <string_view>

namespace beatclone::cli {
namespace {

bool Named(pugi::xml_node node, const char* name) { return std::strcmp(node.name(), name) == 0; }

// An articulation the host carries from the source; the destination's own give way to them.
bool CarriedByHost(pugi::xml_node articulation) {
    return ArticulationKindOf(articulation.name()) != ArticulationKind::None;
}

const char* KindOfNotation(std::string_view name) {
    if (name == "slur") return "slur";
    if (name == "dynamics") return "dynamics";
    if (name == "ornaments") return "ornament";
    if (name == "technical") return "technical mark";
    if (name == "glissando" || name == "slide") return "glissando";
    if (name == "arpeggiate" || name == "non-arpeggiate") return "arpeggio";
    if (name == "accidental-mark") return "accidental mark";
    if (name == "fermata") return "fermata";
    if (name == "other-notation") return "other notation";
    return nullptr;
}

} // namespace

void CarryChildren(pugi::xml_node note, const std::vector<pugi::xml_node>& from,
                   std::initializer_list<const char*> names, std::map<std::string, int>& dropped) {
    std::set<std::string> lyricNumbers;
    for (pugi::xml_node old : from)
        for (pugi::xml_node child : old.children()) {
            if (child.type() != pugi::node_element) continue;
            bool wanted = false;
            for (const char* name : names) wanted |= Named(child, name);
            if (!wanted) continue;
            // A note holds one of each but lyrics (one per verse); the own note's wins.
            if (Named(child, "lyric")) {
                std::string number = child.attribute("number").as_string("1");
                if (!lyricNumbers.insert(number).second) {
                    ++dropped["lyric"];
                    continue;
                }
            } else if (old != from.front() && note.child(child.name())) {
                continue;
            }
            note.append_copy(child);
        }
}

void CarryAttributes(pugi::xml_node note, pugi::xml_node from) {
    for (pugi::xml_attribute a : from.attributes()) {
        std::string_view name = a.name();
        // Places on the page belong to the old layout; dots are the rhythm's.
        if (name == "default-x" || name == "relative-x" || name == "print-dot") continue;
        if (!note.attribute(a.name())) note.append_copy(a);
    }
}

bool HasCarriedNotations(const std::vector<pugi::xml_node>& from) {
    for (pugi::xml_node old : from)
        for (pugi::xml_node notations : old.children("notations"))
            for (pugi::xml_node child : notations.children()) {
                if (child.type() != pugi::node_element || Named(child, "tied") || Named(child, "tuplet")) continue;
                if (!Named(child, "articulations")) return true;
                for (pugi::xml_node a : child.children())
                    if (a.type() == pugi::node_element && !CarriedByHost(a)) return true;
            }
    return false;
}

void CarryNotations(pugi::xml_node notations, const std::vector<pugi::xml_node>& from, bool haveFermata,
                    std::map<std::string, int>& dropped) {
    pugi::xml_node articulations = notations.child("articulations");
    // Slur ends by number, to catch one that would start and stop on this note.
    std::map<int, pugi::xml_node> starts, stops;
    for (pugi::xml_node old : from)
        for (pugi::xml_node source : old.children("notations"))
            for (pugi::xml_node child : source.children()) {
                if (child.type() != pugi::node_element || Named(child, "tied") || Named(child, "tuplet")) continue;
                if (Named(child, "articulations")) {
                    for (pugi::xml_node a : child.children()) {
                        if (a.type() != pugi::node_element || CarriedByHost(a)) continue;
                        if (!articulations) articulations = notations.append_child("articulations");
                        articulations.append_copy(a);
                    }
                    continue;
                }
                if (Named(child, "fermata")) {
                    if (haveFermata) continue;
                    haveFermata = true;
                }
                pugi::xml_node copy = notations.append_copy(child);
                if (!Named(child, "slur")) continue;
                std::string_view type = child.attribute("type").as_string();
                int number = child.attribute("number").as_int(1);
                if (type == "start") starts[number] = copy;
                if (type == "stop") stops[number] = copy;
            }
    for (auto [number, start] : starts) {
        auto stop = stops.find(number);
        if (stop == stops.end()) continue;
        notations.remove_child(start);
        notations.remove_child(stop->second);
        ++dropped["slur"];
    }
}

void CountMarkings(pugi::xml_node note, std::map<std::string, int>& dropped) {
    for (pugi::xml_node child : note.children()) {
        if (Named(child, "lyric")) ++dropped["lyric"];
        if (!Named(child, "notations")) continue;
        for (pugi::xml_node n : child.children()) {
            if (Named(n, "articulations")) {
                for (pugi::xml_node a : n.children())
                    if (a.type() == pugi::node_element && !CarriedByHost(a)) ++dropped["other articulation"];
                continue;
            }
            if (const char* kind = KindOfNotation(n.name())) ++dropped[kind];
        }
    }
}

} // namespace beatclone::cli
