#include "cli/hostmap/HostLayerReader.h"

#include "cli/hostmap/ArticulationIds.h"
#include "cli/hostmap/Tuplets.h"
#include "simhost/SimFormat.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace beatclone::cli {
namespace {

bool IsNoteEntry(const EntryRecord& entry) { return (entry.entryFlags & NoteEntryFlag) != 0; }

// The pitches a note entry holds, leaving out the placeholder the host gives emptied entries.
std::vector<NoteHead> HeadsOf(const EntryRecord& entry) {
    std::vector<NoteHead> heads;
    for (int k = 0; k < NoteCountOf(entry); ++k) {
        const NoteRecord& note = entry.notes[k];
        uint32_t flags = note.noteFlags;
        if (flags & PlaceholderNoteFlag) continue;
        simhost::Pitch p = simhost::GetPitch(note);
        NoteHead head;
        head.pitch.step = static_cast<uint8_t>(p.step % 7);
        head.pitch.alter = p.alter;
        head.pitch.octave = p.octave;
        head.pitch.unpitched = (p.extra & simhost::kPitchUnpitched) != 0;
        head.tieStart = (flags & TieForwardFlag) != 0;
        head.tieStop = (p.extra & simhost::kPitchTieStopNotated) != 0;
        heads.push_back(head);
    }
    return heads;
}

// A note ends a tie when the entry before it in the layer ties the same pitch forward.
void MarkTieStops(std::vector<NoteHead>& heads, const EntryRecord* previous) {
    if (previous == nullptr || !IsNoteEntry(*previous)) return;
    for (const NoteHead& before : HeadsOf(*previous)) {
        if (!before.tieStart) continue;
        for (NoteHead& head : heads)
            if (head.pitch == before.pitch) head.tieStop = true;
    }
}

EntryTuplets TupletsOf(const simhost::Document& document, uint32_t number) {
    EntryTuplets tuplets;
    for (uint16_t k = 0; k < std::numeric_limits<uint16_t>::max(); ++k) {
        const std::vector<uint8_t>* record = document.FindEData(simhost::kTupletTag, number, k);
        if (record == nullptr || record->size() < sizeof(simhost::TupletDefinition)) break;
        simhost::TupletDefinition d;
        std::memcpy(&d, record->data(), sizeof d);
        tuplets.push_back(d);
    }
    return tuplets;
}

std::vector<ArticulationMark> ArticulationsOf(const simhost::Document& document, uint32_t number) {
    std::vector<ArticulationMark> marks;
    const auto& store = document.EData();
    auto it = store.lower_bound(simhost::EDataAddress{simhost::kArticulationTag, number, 0});
    for (; it != store.end() && it->first.tag == simhost::kArticulationTag && it->first.number == number; ++it) {
        if (it->second.size() < sizeof(simhost::ArticulationRecord)) continue;
        simhost::ArticulationRecord record;
        std::memcpy(&record, it->second.data(), sizeof record);
        ArticulationMark mark{ArticulationKindOfHostId(record.articulationId), record.placement};
        if (mark.kind != ArticulationKind::None && std::find(marks.begin(), marks.end(), mark) == marks.end())
            marks.push_back(mark);
    }
    return marks;
}

} // namespace

Rational SoundingLength(uint32_t notated, int tmActual, int tmNormal) {
    return Rational(notated, 1024) * Rational(tmNormal, tmActual);
}

std::vector<Event> ReadHostLayer(const simhost::Document& document, int16_t instrument, int16_t measure,
                                 int16_t layer) {
    const std::vector<EntryRecord>& entries = document.Entries(instrument, measure, layer);
    const EntryRecord* previous = nullptr;
    if (measure > 1) {
        const std::vector<EntryRecord>& before = document.Entries(instrument, static_cast<int16_t>(measure - 1), layer);
        if (!before.empty()) previous = &before.back();
    }

    std::vector<Event> events;
    std::vector<EntryTuplets> tuplets;
    events.reserve(entries.size());
    for (const EntryRecord& entry : entries) {
        Event e;
        uint32_t flags = entry.entryFlags;
        e.kind = (flags & simhost::GapFlag) ? EventKind::Gap : IsNoteEntry(entry) ? EventKind::Note : EventKind::Rest;
        e.notated = simhost::GetDuration(entry);
        e.grace = (flags & simhost::GraceFlag) != 0;
        e.graceSlash = e.grace && (flags & simhost::GraceSlashFlag) != 0;
        e.cue = (flags & simhost::CueFlag) != 0;
        e.measureRest = e.kind == EventKind::Rest && (flags & simhost::MeasureRestFlag) != 0;
        if (e.kind == EventKind::Note) {
            e.notes = HeadsOf(entry);
            MarkTieStops(e.notes, previous);
            // A note entry left without pitches can only be written as a rest.
            if (e.notes.empty()) e.kind = EventKind::Rest;
        }
        uint32_t number = entry.entryNumber;
        if (flags & ArticulationFlag) e.articulations = ArticulationsOf(document, number);
        tuplets.push_back((flags & TupletFlag) ? TupletsOf(document, number) : EntryTuplets{});
        events.push_back(std::move(e));
        previous = &entry;
    }
    LayOutTuplets(events, tuplets);

    Rational at(0);
    for (Event& e : events) {
        e.onset = at;
        e.duration = (e.grace || e.notated == 0) ? Rational(0) : SoundingLength(e.notated, e.tmActual, e.tmNormal);
        if (e.kind == EventKind::Gap) e.duration = Rational(e.notated, 1024);
        at += e.duration;
    }
    return events;
}

} // namespace beatclone::cli
