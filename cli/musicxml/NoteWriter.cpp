#include "cli/musicxml/NoteWriter.h"

#include "cli/musicxml/Articulations.h"
#include "cli/score/NoteValues.h"

namespace beatclone::cli {
namespace {

constexpr const char* kStepNames[] = {"C", "D", "E", "F", "G", "A", "B"};

void AddText(pugi::xml_node parent, const char* name, const std::string& text) {
    parent.append_child(name).text().set(text.c_str());
}

void AddNumber(pugi::xml_node parent, const char* name, int64_t value) {
    parent.append_child(name).text().set(static_cast<long long>(value));
}

void WritePitch(pugi::xml_node note, const PitchValue& pitch) {
    if (pitch.unpitched) {
        pugi::xml_node u = note.append_child("unpitched");
        AddText(u, "display-step", kStepNames[pitch.step % 7]);
        AddNumber(u, "display-octave", pitch.octave);
        return;
    }
    pugi::xml_node p = note.append_child("pitch");
    AddText(p, "step", kStepNames[pitch.step % 7]);
    if (pitch.alter != 0) AddNumber(p, "alter", pitch.alter);
    AddNumber(p, "octave", pitch.octave);
}

void WriteTupletMark(pugi::xml_node notations, const TupletMark& mark) {
    pugi::xml_node t = notations.append_child("tuplet");
    t.append_attribute("type") = mark.start ? "start" : "stop";
    t.append_attribute("number") = mark.number;
    if (!mark.start) return;
    t.append_attribute("bracket") = mark.bracket ? "yes" : "no";
    t.append_attribute("show-number") = mark.showNumber == 0 ? "none" : mark.showNumber == 2 ? "both" : "actual";
    if (mark.actual > 0 && mark.normal > 0) {
        t.append_child("tuplet-actual").append_child("tuplet-number").text().set(mark.actual);
        t.append_child("tuplet-normal").append_child("tuplet-number").text().set(mark.normal);
    }
}

// What one written note takes over from the notes it replaces.
struct Carried {
    const std::vector<pugi::xml_node>* from = nullptr; // empty: nothing
    pugi::xml_node beamsFrom;
    std::map<std::string, int>* dropped = nullptr;
};

bool HasFermata(const Event& e) {
    for (const ArticulationMark& a : e.articulations)
        if (a.kind == ArticulationKind::Fermata) return true;
    return false;
}

// The notations of the rhythm: the first note of a chord carries the tuplet marks and
// articulations, every note its own ties.
void WriteOwnNotations(pugi::xml_node notations, const Event& e, const NoteHead* head, bool first) {
    if (head != nullptr && head->tieStop) notations.append_child("tied").append_attribute("type") = "stop";
    if (head != nullptr && head->tieStart) notations.append_child("tied").append_attribute("type") = "start";
    if (!first) return;
    for (const TupletMark& mark : e.tupletMarks)
        if (!mark.start) WriteTupletMark(notations, mark);
    for (const TupletMark& mark : e.tupletMarks)
        if (mark.start) WriteTupletMark(notations, mark);
    pugi::xml_node articulations;
    for (const ArticulationMark& a : e.articulations) {
        const char* name = ArticulationElementName(a.kind);
        if (name == nullptr) continue;
        if (a.kind == ArticulationKind::Fermata) {
            pugi::xml_node f = notations.append_child("fermata");
            if (a.placement < 0) f.append_attribute("type") = "inverted";
            continue;
        }
        if (!articulations) articulations = notations.append_child("articulations");
        pugi::xml_node mark = articulations.append_child(name);
        if (a.placement != 0) mark.append_attribute("placement") = a.placement > 0 ? "above" : "below";
    }
}

// The <notations> of one note of the event: the rhythm's and the carried ones.
void WriteNotations(pugi::xml_node note, const Event& e, const NoteHead* head, bool first, const Carried& carried,
                    std::map<std::string, int>& dropped) {
    bool tied = head != nullptr && (head->tieStart || head->tieStop);
    bool marks = first && (!e.tupletMarks.empty() || !e.articulations.empty());
    bool carries = carried.from != nullptr && HasCarriedNotations(*carried.from);
    if (!tied && !marks && !carries) return;
    pugi::xml_node notations = note.append_child("notations");
    WriteOwnNotations(notations, e, head, first);
    if (carries) CarryNotations(notations, *carried.from, first && HasFermata(e), dropped);
    if (!notations.first_child()) note.remove_child(notations);
}

pugi::xml_node WriteOneNote(const XmlInsertPoint& at, const Event& e, const NoteHead* head, bool first,
                            const NotePlacement& placement, const Carried& carried) {
    pugi::xml_node note = at.Add("note");
    const bool carries = carried.from != nullptr && !carried.from->empty();
    std::map<std::string, int> unused;
    std::map<std::string, int>& dropped = carried.dropped != nullptr ? *carried.dropped : unused;
    if (carries) CarryAttributes(note, carried.from->front());
    if (e.grace) {
        pugi::xml_node grace = note.append_child("grace");
        if (e.graceSlash) grace.append_attribute("slash") = "yes";
    }
    // The schema allows <cue/> on a grace note only without ties; those stay full-size.
    bool cue = e.cue && !(e.grace && head != nullptr && (head->tieStart || head->tieStop));
    if (cue) note.append_child("cue");
    if (!first) note.append_child("chord");
    if (head == nullptr) {
        pugi::xml_node rest = note.append_child("rest");
        if (e.measureRest) rest.append_attribute("measure") = "yes";
    } else {
        WritePitch(note, head->pitch);
    }
    if (!e.grace) AddNumber(note, "duration", placement.duration);
    // <tie> is for playback; a cue note does not sound, and the schema gives it none.
    if (head != nullptr && !cue) {
        if (head->tieStop) note.append_child("tie").append_attribute("type") = "stop";
        if (head->tieStart) note.append_child("tie").append_attribute("type") = "start";
    }
    if (carries) CarryChildren(note, *carried.from, {"instrument", "footnote", "level"}, dropped);
    AddText(note, "voice", placement.voice);
    if (!e.measureRest) {
        if (std::optional<TypeAndDots> value = NotateValue(e.notated)) {
            AddText(note, "type", value->type);
            for (int d = 0; d < value->dots; ++d) note.append_child("dot");
        }
    }
    if (carries) CarryChildren(note, *carried.from, {"accidental"}, dropped);
    if (e.tmActual != e.tmNormal) {
        pugi::xml_node tm = note.append_child("time-modification");
        AddNumber(tm, "actual-notes", e.tmActual);
        AddNumber(tm, "normal-notes", e.tmNormal);
    }
    if (carries) CarryChildren(note, *carried.from, {"stem", "notehead", "notehead-text"}, dropped);
    if (placement.staff > 0) AddNumber(note, "staff", placement.staff);
    if (carried.beamsFrom && !e.grace)
        for (pugi::xml_node beam : carried.beamsFrom.children("beam")) note.append_copy(beam);
    WriteNotations(note, e, head, first, carried, dropped);
    if (carries) CarryChildren(note, *carried.from, {"lyric", "play", "listen"}, dropped);
    return note;
}

} // namespace

std::string DecimalText(const Rational& value) {
    if (value.IsInteger()) return std::to_string(value.Num());
    // Denominators here come from decimals, so a few digits always end the expansion.
    std::string text = std::to_string(value.Num() / value.Den()) + ".";
    int64_t remainder = (value.Num() % value.Den()) * (value.Num() < 0 ? -1 : 1);
    for (int digits = 0; remainder != 0 && digits < 12; ++digits) {
        remainder *= 10;
        text += static_cast<char>('0' + remainder / value.Den());
        remainder %= value.Den();
    }
    return text;
}

pugi::xml_node WriteEvent(const XmlInsertPoint& at, const Event& event, const NotePlacement& placement,
                          const CarriedMarks* marks, std::map<std::string, int>* dropped, bool joinsChord) {
    Carried carried;
    carried.dropped = dropped;
    if (marks != nullptr) carried.beamsFrom = marks->beamsFrom;
    auto forHead = [&](size_t k) {
        Carried c = carried;
        if (marks != nullptr && k < marks->onHead.size()) c.from = &marks->onHead[k];
        return c;
    };
    if (event.kind != EventKind::Note || event.notes.empty())
        return WriteOneNote(at, event, nullptr, true, placement, forHead(0));
    pugi::xml_node first;
    for (size_t k = 0; k < event.notes.size(); ++k) {
        // A voice crossing between the staves writes each note on the staff it was on.
        NotePlacement onStaff = placement;
        if (placement.staff > 0 && event.notes[k].staff > 0) onStaff.staff = event.notes[k].staff;
        pugi::xml_node note = WriteOneNote(at, event, &event.notes[k], k == 0 && !joinsChord, onStaff, forHead(k));
        if (k == 0) first = note;
    }
    return first;
}

void WriteMove(const XmlInsertPoint& at, bool forward, int64_t duration, const NotePlacement* owner) {
    pugi::xml_node move = at.Add(forward ? "forward" : "backup");
    AddNumber(move, "duration", duration);
    if (forward && owner != nullptr) {
        AddText(move, "voice", owner->voice);
        if (owner->staff > 0) AddNumber(move, "staff", owner->staff);
    }
}

} // namespace beatclone::cli
