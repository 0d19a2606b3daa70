// The score as the tool sees it: parts, their staves and measures, and in each measure the
// events of every voice of every staff, placed in time. Plain data: the reader keeps the file a
// score was read from beside it (MusicXmlScore).
#pragma once

#include "cli/score/ArticulationKind.h"
#include "cli/score/Rational.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pugi {
struct xml_node_struct;
}

namespace beatclone::cli {

// Most notes one chord may hold: one host entry holds at most 12.
inline constexpr size_t kMaxNotesPerChord = 12;
// Most voices one staff may use: the host has four layers.
inline constexpr size_t kMaxVoicesPerStaff = 4;

struct PitchValue {
    uint8_t step = 0;       // 0..6 for C D E F G A B
    int8_t alter = 0;       // semitones
    int8_t octave = 4;      // 4 holds middle C
    bool unpitched = false; // a percussion note: step and octave give its place on the staff
    bool operator==(const PitchValue&) const = default;
};

struct NoteHead {
    PitchValue pitch;
    bool tieStart = false;
    bool tieStop = false;
    // The staff the note is written on when its voice crosses between the staves (0: the
    // staff of its voice's layer).
    int staff = 0;
};

// A <tuplet> element on a note.
struct TupletMark {
    bool start = true;
    int number = 1;
    int actual = 0;     // from <tuplet-actual>, 0 when not stated
    int normal = 0;     // from <tuplet-normal>
    int showNumber = 1; // 0 none, 1 actual, 2 both
    bool bracket = true;
};

struct ArticulationMark {
    ArticulationKind kind = ArticulationKind::None;
    int16_t placement = 0; // 0 default, 1 above, -1 below
    bool operator==(const ArticulationMark&) const = default;
};

enum class EventKind : uint8_t {
    Note, // a note or a chord
    Rest,
    Gap, // time a voice skips (a <forward>): an invisible rest
};

// One entry of one voice: a note, chord, rest or gap.
struct Event {
    EventKind kind = EventKind::Note;
    Rational onset;       // quarter notes from the start of the measure
    Rational duration;    // sounding length in quarter notes; 0 for a grace note
    uint32_t notated = 0; // notated value in EDUs (quarter = 1024), dots included, before tuplets
    bool grace = false;
    bool graceSlash = false;
    bool cue = false;
    bool measureRest = false;
    int tmActual = 1; // <time-modification>: tmActual notes in the time of tmNormal
    int tmNormal = 1;
    std::vector<TupletMark> tupletMarks;
    std::vector<NoteHead> notes; // a rest or gap has none
    std::vector<ArticulationMark> articulations;
    // The <note> elements the event was read from, one per head (a rest: its one; a gap or an
    // event made from host entries: none). Valid while the score's XML is unchanged.
    std::vector<pugi::xml_node_struct*> elements;

    Rational End() const { return onset + duration; }
};

// The events of one voice on one staff in one measure, in time order.
struct VoiceMeasure {
    int staff = 1;     // 1-based within the part
    std::string voice; // the <voice> text
    std::vector<Event> events;
};

struct Measure {
    bool detailed = false;     // whether the events below (and length, voiceReach) were read
    std::string number;        // as printed ("0" for a pickup)
    Rational length;           // how far the furthest voice or <forward> reaches, in quarters
    Rational divisionsAtStart; // divisions per quarter in force when the measure begins
    Rational divisionsAtEnd;
    std::vector<VoiceMeasure> voices;
    // How far each voice (staff, voice) gets, its <forward>s included.
    std::map<std::pair<int, std::string>, Rational> voiceReach;

    const VoiceMeasure* Find(int staff, const std::string& voice) const {
        for (const VoiceMeasure& v : voices)
            if (v.staff == staff && v.voice == voice) return &v;
        return nullptr;
    }
};

struct Part {
    std::string id;
    std::string name;
    std::string abbreviation;
    bool outlined = false; // whether staffCount, voicesByStaff and the measures' divisions were read
    int staffCount = 1;
    // For each staff (index 0 = staff 1) its voices in layer order: voicesByStaff[s][j] is the
    // voice that layer j of that staff holds.
    std::vector<std::vector<std::string>> voicesByStaff;
    // The voices whose notes cross between the staves, each held whole as a layer of its home
    // staff (the staff most of its notes and rests are on, grace notes aside).
    std::map<std::string, int> homeStaff;
    std::vector<Measure> measures;

    // The staff whose layer holds the notes of `voice` written on `staff`.
    int LayerStaff(int staff, const std::string& voice) const {
        auto found = homeStaff.find(voice);
        return found == homeStaff.end() ? staff : found->second;
    }

    // "Trumpet 1" or, for a part of several staves, "Piano/2".
    std::string StaffLabel(int staff) const {
        std::string label = name.empty() ? id : name;
        return staffCount > 1 ? label + "/" + std::to_string(staff) : label;
    }
};

struct Score {
    std::string path; // where it was read from, for messages
    std::vector<Part> parts;

    size_t MeasureCount() const { return parts.empty() ? 0 : parts.front().measures.size(); }
};

} // namespace beatclone::cli
