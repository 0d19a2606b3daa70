#include "cli/hostmap/HostMapping.h"

#include "cli/CliError.h"
#include "cli/hostmap/ArticulationIds.h"
#include "cli/hostmap/Tuplets.h"
#include "simhost/SimFormat.h"

#include <algorithm>
#include <functional>

namespace beatclone::cli {
namespace {

static_assert(kMaxNotesPerChord == static_cast<size_t>(kMaxNotesPerEntry), "a chord fills one host entry");
static_assert(kMaxVoicesPerStaff == 4, "each voice of a staff is one of the host's four layers");

// Instruments are numbered apart from slots, as the host does, so that a mix-up shows.
constexpr int kInstrumentOffset = 100;
constexpr size_t kMaxStaves = 32767 - kInstrumentOffset;
constexpr size_t kMaxEntriesPerMeasure = 32767;

EntryRecord EntryFor(const Event& e) {
    EntryRecord entry{};
    simhost::SetDuration(entry, e.notated);
    if (e.kind == EventKind::Note) entry.entryFlags |= NoteEntryFlag;
    if (e.kind == EventKind::Gap) entry.entryFlags |= simhost::GapFlag;
    if (e.grace) entry.entryFlags |= simhost::GraceFlag;
    if (e.graceSlash) entry.entryFlags |= simhost::GraceSlashFlag;
    if (e.cue) entry.entryFlags |= simhost::CueFlag;
    if (e.measureRest) entry.entryFlags |= simhost::MeasureRestFlag;
    if (!e.articulations.empty()) entry.entryFlags |= ArticulationFlag;
    entry.noteCount = static_cast<int16_t>(e.notes.size());
    for (size_t k = 0; k < e.notes.size(); ++k) {
        const NoteHead& head = e.notes[k];
        NoteRecord& note = entry.notes[k];
        note.noteId = static_cast<int16_t>(k + 1);
        note.noteFlags = head.tieStart ? TieForwardFlag : 0;
        simhost::Pitch pitch{head.pitch.step, head.pitch.alter, head.pitch.octave, 0};
        if (head.tieStop) pitch.extra |= simhost::kPitchTieStopNotated;
        if (head.pitch.unpitched) pitch.extra |= simhost::kPitchUnpitched;
        simhost::SetPitch(note, pitch);
    }
    return entry;
}

void StoreDetails(simhost::Document& document, uint32_t number, const Event& e,
                  const std::vector<const PlannedTuplet*>& tuplets) {
    for (size_t k = 0; k < tuplets.size(); ++k)
        document.PutEData(simhost::kTupletTag, number, static_cast<uint16_t>(k), &tuplets[k]->definition,
                          sizeof(simhost::TupletDefinition));
    for (size_t k = 0; k < e.articulations.size(); ++k) {
        simhost::ArticulationRecord record{};
        record.articulationId = HostArticulationId(e.articulations[k].kind);
        record.placement = e.articulations[k].placement;
        document.PutEData(simhost::kArticulationTag, number, static_cast<uint16_t>(k), &record, sizeof record);
    }
}

// Runs `step`; a time value too large to compute becomes a refusal naming the place.
template <typename Where, typename Step>
auto NamingThePlace(const Where& where, const Step& step) -> decltype(step()) {
    try {
        return step();
    } catch (const TimeOverflow& e) {
        throw CliError(ExitCode::BadInput, where() + ": " + e.what());
    }
}

} // namespace

const HostStaff* HostMapping::Find(size_t part, int staff) const {
    for (const HostStaff& s : staves)
        if (s.part == part && s.staff == staff) return &s;
    return nullptr;
}

const HostStaff* HostMapping::FindSlot(int16_t slot) const {
    if (slot < 1 || static_cast<size_t>(slot) > staves.size()) return nullptr;
    return &staves[static_cast<size_t>(slot - 1)];
}

std::vector<Event> WithGaps(const VoiceMeasure& voice, const std::string& where) {
    return WithGaps(voice, [&where] { return where; });
}

namespace {

// The EDUs of a gap from `reached` to `onset`; WithGaps writes none of 0.
int64_t GapEdus(const Rational& reached, const Rational& onset) { return ((onset - reached) * Rational(1024)).Round(); }

// Whether WithGaps would give back the voice's events as they are: nothing overlaps, no gap.
bool PlaysThrough(const VoiceMeasure& voice) {
    Rational reached(0);
    for (const Event& e : voice.events) {
        if (e.onset < reached || (e.onset > reached && GapEdus(reached, e.onset) > 0)) return false;
        reached = std::max(reached, e.End());
    }
    return true;
}

} // namespace

std::vector<Event> WithGaps(const VoiceMeasure& voice, const std::function<std::string()>& where) {
    std::vector<Event> out;
    out.reserve(voice.events.size());
    Rational reached(0);
    for (const Event& e : voice.events) {
        if (e.onset < reached)
            throw CliError(ExitCode::BadInput, where() + ": voice " + voice.voice + " on staff " +
                                                   std::to_string(voice.staff) +
                                                   " overlaps itself; a layer plays one thing at a time");
        if (e.onset > reached) {
            Event gap;
            gap.kind = EventKind::Gap;
            gap.onset = reached;
            gap.duration = e.onset - reached;
            int64_t edus = GapEdus(reached, e.onset);
            if (edus > 0) {
                gap.notated = static_cast<uint32_t>(std::min<int64_t>(edus, 0x7FFFFFFF));
                out.push_back(gap);
            }
        }
        out.push_back(e);
        reached = std::max(reached, e.End());
    }
    return out;
}

HostMapping LoadIntoHost(const Score& score, simhost::Document& document) {
    HostMapping mapping;
    for (size_t p = 0; p < score.parts.size(); ++p)
        for (int s = 1; s <= score.parts[p].staffCount; ++s) {
            if (mapping.staves.size() >= kMaxStaves)
                throw CliError(ExitCode::BadInput, score.path + ": more staves than the host can hold");
            HostStaff staff;
            staff.part = p;
            staff.staff = s;
            staff.instrument = static_cast<int16_t>(mapping.staves.size() + 1 + kInstrumentOffset);
            staff.slot = document.AddStaff(staff.instrument);
            mapping.staves.push_back(staff);
        }
    document.SetMeasureCount(static_cast<int16_t>(score.MeasureCount()));

    for (const HostStaff& staff : mapping.staves) {
        const Part& part = score.parts[staff.part];
        if (!part.outlined) continue; // a part no selection names: a staff that holds nothing
        const std::vector<std::string>& layers = part.voicesByStaff[static_cast<size_t>(staff.staff - 1)];
        for (size_t m = 0; m < part.measures.size(); ++m) {
            const Measure& measure = part.measures[m];
            if (!measure.detailed) continue; // nothing read: nothing to load
            for (size_t layer = 0; layer < layers.size(); ++layer) {
                const VoiceMeasure* voice = measure.Find(staff.staff, layers[layer]);
                if (voice == nullptr) continue;
                // Only an error message needs the place spelt out.
                auto where = [&] { return score.path + ": part " + part.id + ", measure " + measure.number; };
                // Most voices play through without a gap; their events need no copy.
                const bool through = NamingThePlace(where, [&] { return PlaysThrough(*voice); });
                std::vector<Event> withGaps;
                if (!through) withGaps = NamingThePlace(where, [&] { return WithGaps(*voice, std::ref(where)); });
                const std::vector<Event>& events = through ? voice->events : withGaps;
                if (events.size() > kMaxEntriesPerMeasure)
                    throw CliError(ExitCode::BadInput, where() + ": more entries in one voice than the host can hold");
                std::vector<PlannedTuplet> tuplets = NamingThePlace(where, [&] { return PlanTuplets(events); });
                std::vector<EntryRecord> entries;
                entries.reserve(events.size());
                for (const Event& e : events) entries.push_back(EntryFor(e));
                for (const PlannedTuplet& t : tuplets) entries[t.first].entryFlags |= TupletFlag;

                int16_t layerIndex = static_cast<int16_t>(layer);
                document.SetEntries(staff.instrument, HostMeasure(m), layerIndex, std::move(entries));
                const std::vector<EntryRecord>& stored = document.Entries(staff.instrument, HostMeasure(m), layerIndex);
                size_t next = 0;
                for (size_t i = 0; i < stored.size(); ++i) {
                    std::vector<const PlannedTuplet*> onEntry;
                    while (next < tuplets.size() && tuplets[next].first == i) onEntry.push_back(&tuplets[next++]);
                    if (!onEntry.empty() || !events[i].articulations.empty())
                        StoreDetails(document, stored[i].entryNumber, events[i], onEntry);
                }
            }
        }
    }
    return mapping;
}

} // namespace beatclone::cli
