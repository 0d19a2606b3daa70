// Steps through the children of one <measure> the way a MusicXML reader keeps time: notes move
// the cursor on (chord notes and grace notes do not), <backup> and <forward> move it back and
// on, <attributes> may change the divisions. Both the reader and the writer walk measures this
// way, so they agree on where every element sits.
#pragma once

#include "cli/score/Rational.h"

#include <pugixml.hpp>

#include <functional>
#include <string>

namespace beatclone::cli {

enum class StepType { Note, Backup, Forward, Other };

// The children of a <note> that matter here, found in one pass over it.
struct NoteFields {
    pugi::xml_node grace, chord, cue, rest, pitch, unpitched, duration, voice, staff, type, timeModification;
    int dots = 0;
    bool ties = false;      // has <tie> elements
    bool notations = false; // has <notations> elements
};

// MeasureWalker::Reset resets every field here one by one: a new field needs resetting there too.
struct WalkStep {
    pugi::xml_node node;
    StepType type = StepType::Other;
    Rational cursorBefore; // the cursor when the element is reached, in quarters
    Rational start;        // a note: where it begins (a chord note: where its chord begins)
    Rational duration;     // a note, backup or forward: its length in quarters (grace: 0)
    bool chord = false;
    bool grace = false;
    int staff = 1;
    std::string voice; // a note's <voice>, "1" when absent
    NoteFields note;   // for a note
};

class MeasureWalker {
public:
    // `where` names the measure in error messages ("part P1, measure 5"). Untimed, the walk
    // reads no durations: positions and lengths stay 0, which is all a look at the measure's
    // staves and voices needs.
    MeasureWalker(pugi::xml_node measure, Rational divisionsAtStart, std::string where, bool timed = true);
    // The same, with the name made only when an error message needs it.
    MeasureWalker(pugi::xml_node measure, Rational divisionsAtStart, std::function<std::string()> makeWhere,
                  bool timed = true);

    // The next element child; false at the end. Throws CliError(BadInput) on content that
    // cannot be timed (a missing or bad duration, a backup past the start of the measure).
    bool Next(WalkStep& step);

    Rational Divisions() const { return divisions_; }
    Rational Cursor() const { return cursor_; }
    // The furthest the cursor has been.
    Rational Furthest() const { return furthest_; }
    const std::string& Where() const;

private:
    Rational Duration(pugi::xml_node element, pugi::xml_node duration) const;
    void ReadStaffAndVoice(pugi::xml_node staff, pugi::xml_node voice, WalkStep& step) const;
    // The steps of Next: the step made fresh, then filled in by the kind of element.
    void Reset(WalkStep& step, pugi::xml_node node) const;
    void StepNote(WalkStep& step);
    void StepBackup(WalkStep& step);
    void StepForward(WalkStep& step);
    void StepOther(WalkStep& step);
    [[noreturn]] void Fail(const std::string& what) const;

    pugi::xml_node next_;
    Rational divisions_;
    Rational cursor_;
    Rational furthest_;
    Rational lastNoteStart_;
    bool haveNote_ = false;
    std::string lastVoice_;
    int lastStaff_ = 1;
    mutable std::string where_;
    mutable std::function<std::string()> makeWhere_; // empty once where_ is made
    bool timed_ = true;
};

// Staves a part may declare or use.
inline constexpr int kMaxStavesPerPart = 64;

} // namespace beatclone::cli
