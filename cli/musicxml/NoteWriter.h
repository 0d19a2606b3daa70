// Writes events as MusicXML: <note> elements in the order the schema wants their children,
// and <forward>/<backup> for moves of the cursor.
#pragma once

#include "cli/musicxml/CarriedMarks.h"
#include "cli/score/ScoreModel.h"

#include <pugixml.hpp>

#include <string>

namespace beatclone::cli {

// Where new elements go: before `before`, or at the end of `parent` when `before` is empty.
struct XmlInsertPoint {
    pugi::xml_node parent;
    pugi::xml_node before;
    pugi::xml_node Add(const char* name) const {
        pugi::xml_node p = parent; // node handles are values; a const one cannot be changed through
        return before ? p.insert_child_before(name, before) : p.append_child(name);
    }
};

struct NotePlacement {
    std::string voice;
    int staff = 0;        // 0: the part has one staff and no <staff> element is written
    int64_t duration = 0; // in the divisions in force
};

// The <note> elements of one note, chord or rest (a gap is written with WriteMove), with the
// markings `marks` carries, if given; what cannot be carried is counted into `dropped`.
// Answers the first <note> written. With `joinsChord`, every note is a chord note of the note
// written before (the rest of a chord of one voice on another staff).
pugi::xml_node WriteEvent(const XmlInsertPoint& at, const Event& event, const NotePlacement& placement,
                          const CarriedMarks* marks = nullptr, std::map<std::string, int>* dropped = nullptr,
                          bool joinsChord = false);

// A <forward> (with the voice and staff it belongs to, if given) or a <backup>.
void WriteMove(const XmlInsertPoint& at, bool forward, int64_t duration, const NotePlacement* owner = nullptr);

// Writes a decimal number as MusicXML wants it ("12", "1.5").
std::string DecimalText(const Rational& value);

} // namespace beatclone::cli
