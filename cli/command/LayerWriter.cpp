#include "cli/command/LayerWriter.h"

#include "cli/CliError.h"
#include "cli/hostmap/HostLayerReader.h"
#include "cli/musicxml/CarriedMarks.h"
#include "cli/musicxml/MeasureRewriter.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace beatclone::cli {
namespace {

// The voice a layer holds; a layer past the staff's voices gets the next free number.
std::string VoiceOfLayer(const Part& part, int staff, int16_t layer) {
    const std::vector<std::string>& voices = part.voicesByStaff[static_cast<size_t>(staff - 1)];
    if (static_cast<size_t>(layer) < voices.size()) return voices[static_cast<size_t>(layer)];
    int next = 1;
    for (const auto& staffVoices : part.voicesByStaff)
        for (const std::string& v : staffVoices) next = std::max(next, std::atoi(v.c_str()) + 1);
    return std::to_string(next + layer);
}

bool TiedOn(const Event& e) {
    return e.kind == EventKind::Note &&
           std::any_of(e.notes.begin(), e.notes.end(), [](const NoteHead& n) { return n.tieStart; });
}

std::string PitchName(const PitchValue& p) {
    std::string name(1, "CDEFGAB"[p.step % 7]);
    name +=
        p.alter > 0 ? std::string(static_cast<size_t>(p.alter), '#') : std::string(static_cast<size_t>(-p.alter), 'b');
    return name + std::to_string(p.octave);
}

// The layer as the host holds it after the transfer; a time value too large to compute is
// refused with the place named.
std::vector<Event> ReadRebuilt(const simhost::Document& document, const HostStaff& staff, const Part& part, size_t m,
                               int16_t layer) {
    try {
        return ReadHostLayer(document, staff.instrument, HostMeasure(m), layer);
    } catch (const TimeOverflow& e) {
        throw CliError(ExitCode::BadInput,
                       "part " + part.id + ", measure " + part.measures[m].number + ": " + e.what());
    }
}

// The events of one voice in one measure as the host holds them, gaps included.
std::vector<Event> VoiceEvents(const Part& part, size_t m, int staff, const std::string& voice) {
    if (m >= part.measures.size()) return {};
    const VoiceMeasure* v = part.measures[m].Find(staff, voice);
    if (v == nullptr) return {};
    return WithGaps(*v, "part " + part.id + ", measure " + part.measures[m].number);
}

// Where an event stands among the attacks of a run of measures: (attack, 0) for the struck
// entry, (attack, k) for its k-th tied continuation; nothing for a rest or gap.
using AttackPlace = std::optional<std::pair<size_t, size_t>>;

std::vector<std::vector<AttackPlace>> NumberAttacks(const std::vector<std::vector<Event>>& measures) {
    std::vector<std::vector<AttackPlace>> places(measures.size());
    bool tied = false;
    size_t attacks = 0, continuation = 0;
    for (size_t i = 0; i < measures.size(); ++i)
        for (const Event& e : measures[i]) {
            if (e.kind != EventKind::Note) {
                tied = false;
                places[i].push_back(std::nullopt);
                continue;
            }
            if (tied) {
                ++continuation;
            } else {
                ++attacks;
                continuation = 0;
            }
            places[i].push_back(std::make_pair(attacks - 1, continuation));
            tied = TiedOn(e);
        }
    return places;
}

std::vector<ArticulationMark> SortedMarks(std::vector<ArticulationMark> marks) {
    std::sort(marks.begin(), marks.end(), [](const ArticulationMark& a, const ArticulationMark& b) {
        return std::make_pair(a.kind, a.placement) < std::make_pair(b.kind, b.placement);
    });
    return marks;
}

// Whether two entries have one rhythm: length, value, tuplet, ties and articulations.
bool SameRhythm(const Event& a, const Event& b) {
    return a.kind == b.kind && a.notated == b.notated && a.grace == b.grace && a.onset == b.onset &&
           a.duration == b.duration && a.measureRest == b.measureRest &&
           Rational(a.tmActual, a.tmNormal) == Rational(b.tmActual, b.tmNormal) && TiedOn(a) == TiedOn(b) &&
           SortedMarks(a.articulations) == SortedMarks(b.articulations);
}

bool SameRhythm(const std::vector<Event>& a, const std::vector<Event>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameRhythm(a[i], b[i])) return false;
    return true;
}

// Whether the host's entries are the source's one for one, so that the source's exact times
// and beams belong to them.
bool Aligned(const std::vector<Event>& fresh, const std::vector<Event>& source) {
    if (fresh.size() != source.size()) return false;
    for (size_t i = 0; i < fresh.size(); ++i)
        if ((fresh[i].kind == EventKind::Gap) != (source[i].kind == EventKind::Gap) ||
            fresh[i].notated != source[i].notated || fresh[i].grace != source[i].grace)
            return false;
    return true;
}

pugi::xml_node Node(pugi::xml_node_struct* element) { return pugi::xml_node(element); }

// Ties written on a note: <tie> for playback, <tied> for the eye.
void RemoveTie(pugi::xml_node note, std::string_view type) {
    for (pugi::xml_node tie = note.child("tie"); tie;) {
        pugi::xml_node next = tie.next_sibling("tie");
        if (tie.attribute("type").as_string() == type) note.remove_child(tie);
        tie = next;
    }
    for (pugi::xml_node notations : note.children("notations"))
        for (pugi::xml_node tied = notations.child("tied"); tied;) {
            pugi::xml_node next = tied.next_sibling("tied");
            std::string_view was = tied.attribute("type").as_string();
            if (was == type) notations.remove_child(tied);
            if (was == "continue") tied.attribute("type").set_value(type == "start" ? "stop" : "start");
            tied = next;
        }
}

void AddTieStop(pugi::xml_node note) {
    if (!note.child("cue")) {
        pugi::xml_node after = note.child("duration");
        if (!after) after = note.child("pitch") ? note.child("pitch") : note.child("unpitched");
        pugi::xml_node tie = after ? note.insert_child_after("tie", after) : note.prepend_child("tie");
        tie.append_attribute("type") = "stop";
    }
    pugi::xml_node notations = note.child("notations");
    if (!notations) {
        pugi::xml_node before;
        for (const char* name : {"lyric", "play", "listen"})
            if (!before) before = note.child(name);
        notations = before ? note.insert_child_before("notations", before) : note.append_child("notations");
    }
    notations.prepend_child("tied").append_attribute("type") = "stop";
}

int HeadWithPitch(const Event& e, const PitchValue& pitch) {
    for (size_t k = 0; k < e.notes.size(); ++k)
        if (e.notes[k].pitch == pitch) return static_cast<int>(k);
    return -1;
}

// One rebuilt layer, planned before any measure is rewritten: the old notes it replaces are
// copied aside first, since rewriting removes them.
struct LayerPlan {
    size_t part = 0;
    int staff = 1;
    std::string voice;
    size_t first = 0;
    std::vector<std::vector<Event>> fresh;        // per measure: the host's entries
    std::vector<std::vector<CarriedMarks>> marks; // per measure, per entry
    std::vector<std::vector<AttackPlace>> places;
    std::vector<std::vector<std::pair<Rational, size_t>>> attackOnsets; // per measure: the old attacks
    std::vector<Rational> restsFrom;
    std::vector<bool> written;               // per measure: whether it is rewritten
    std::vector<pugi::xml_node> attackNotes; // per attack: its first new <note>
    LayerWritten out;
};

class LayerPlanner {
public:
    LayerPlanner(const Score& score, const HostMapping& mapping, const simhost::Document& document,
                 pugi::xml_node scratch)
        : score_(score), mapping_(mapping), document_(document), scratch_(scratch) {}

    // Plans one layer; false when it is not to be written at all.
    bool Plan(const RebuiltLayer& l, LayerPlan& plan) {
        const HostStaff* staff = mapping_.FindSlot(l.slot);
        if (staff == nullptr) return false;
        const Part& part = score_.parts[staff->part];
        plan.part = staff->part;
        plan.staff = staff->staff;
        plan.voice = VoiceOfLayer(part, staff->staff, l.layer);
        plan.first = l.firstMeasure;
        size_t last = std::min(l.lastMeasure, part.measures.size() - 1);
        std::vector<std::vector<Event>> old;
        for (size_t m = l.firstMeasure; m <= last; ++m) {
            plan.fresh.push_back(ReadRebuilt(document_, *staff, part, m, l.layer));
            old.push_back(VoiceEvents(part, m, plan.staff, plan.voice));
            plan.written.push_back(!plan.fresh.back().empty() || !old.back().empty());
            plan.restsFrom.push_back(part.measures[m].length);
        }
        plan.marks.resize(plan.fresh.size());
        plan.attackOnsets.resize(plan.fresh.size());
        if (!TakeFromSource(l, plan, old)) {
            plan.out.alreadyHadRhythm = true;
            return false;
        }
        plan.places = NumberAttacks(plan.fresh);
        std::vector<std::vector<AttackPlace>> oldPlaces = NumberAttacks(old);
        CarryMarks(plan, old, oldPlaces);
        CloseEdges(part, l, last, plan);
        return true;
    }

private:
    // Source times and beams onto the host's entries. False when the layer already had the
    // source's rhythm and is to be left as it is.
    bool TakeFromSource(const RebuiltLayer& l, LayerPlan& plan, const std::vector<std::vector<Event>>& old) {
        const HostStaff* source = l.sourceSlot != 0 ? mapping_.FindSlot(l.sourceSlot) : nullptr;
        if (source == nullptr) return true;
        const Part& sourcePart = score_.parts[source->part];
        const auto& voices = sourcePart.voicesByStaff[static_cast<size_t>(source->staff - 1)];
        bool same = true;
        for (size_t i = 0; i < plan.fresh.size(); ++i) {
            size_t sm = l.sourceFirstMeasure + i;
            if (sm >= sourcePart.measures.size() || voices.empty()) break;
            std::vector<Event> from = VoiceEvents(sourcePart, sm, source->staff, voices.front());
            plan.restsFrom[i] = sourcePart.measures[sm].length;
            std::vector<Event>& fresh = plan.fresh[i];
            plan.marks[i].resize(fresh.size());
            if (Aligned(fresh, from))
                for (size_t j = 0; j < fresh.size(); ++j) {
                    fresh[j].onset = from[j].onset;
                    fresh[j].duration = from[j].duration;
                    if (from[j].elements.empty() || !Node(from[j].elements.front()).child("beam")) continue;
                    pugi::xml_node beams = scratch_.append_child("note");
                    for (pugi::xml_node beam : Node(from[j].elements.front()).children("beam")) beams.append_copy(beam);
                    plan.marks[i][j].beamsFrom = beams;
                }
            same = same && SameRhythm(fresh, old[i]);
        }
        return !same;
    }

    pugi::xml_node Copy(pugi::xml_node_struct* element) {
        auto found = copies_.find(element);
        if (found != copies_.end()) return found->second;
        return copies_[element] = scratch_.append_copy(Node(element));
    }

    // Each new entry takes the markings of the old entry at its place in the same attack; an
    // old continuation the new rhythm does not have gives them to the attack.
    void CarryMarks(LayerPlan& plan, const std::vector<std::vector<Event>>& old,
                    const std::vector<std::vector<AttackPlace>>& oldPlaces) {
        std::vector<std::vector<const Event*>> oldGroups;
        for (size_t i = 0; i < old.size(); ++i)
            for (size_t j = 0; j < old[i].size(); ++j) {
                const Event& e = old[i][j];
                if (!oldPlaces[i][j]) {
                    for (pugi::xml_node_struct* element : e.elements) CountMarkings(Node(element), plan.out.dropped);
                    continue;
                }
                auto [attack, continuation] = *oldPlaces[i][j];
                if (continuation == 0) plan.attackOnsets[i].push_back({e.onset, attack});
                if (oldGroups.size() <= attack) oldGroups.resize(attack + 1);
                oldGroups[attack].push_back(&e);
            }
        std::vector<size_t> newLength;
        for (const auto& measure : plan.places)
            for (const AttackPlace& place : measure)
                if (place) {
                    if (newLength.size() <= place->first) newLength.resize(place->first + 1);
                    newLength[place->first] = std::max(newLength[place->first], place->second + 1);
                }
        plan.attackNotes.resize(newLength.size());
        if (newLength.size() != oldGroups.size()) {
            // Not the same attacks after all: nothing can be matched.
            for (const auto& group : oldGroups)
                for (const Event* e : group)
                    for (pugi::xml_node_struct* element : e->elements) CountMarkings(Node(element), plan.out.dropped);
            return;
        }
        for (size_t i = 0; i < plan.fresh.size(); ++i) {
            plan.marks[i].resize(plan.fresh[i].size());
            for (size_t j = 0; j < plan.fresh[i].size(); ++j) {
                if (!plan.places[i][j]) continue;
                auto [attack, continuation] = *plan.places[i][j];
                const std::vector<const Event*>& group = oldGroups[attack];
                std::vector<const Event*> from;
                if (continuation < group.size()) from.push_back(group[continuation]);
                if (continuation == 0)
                    for (size_t k = newLength[attack]; k < group.size(); ++k) from.push_back(group[k]);
                Event& e = plan.fresh[i][j];
                CarriedMarks& marks = plan.marks[i][j];
                marks.onHead.resize(e.notes.size());
                if (!group.empty()) TakeStaves(e, *group.front());
                for (const Event* was : from) {
                    std::vector<bool> used(was->elements.size());
                    for (size_t k = 0; k < e.notes.size(); ++k) {
                        int match = HeadWithPitch(*was, e.notes[k].pitch);
                        if (match < 0 || used[static_cast<size_t>(match)]) match = static_cast<int>(k);
                        if (static_cast<size_t>(match) >= was->elements.size() || used[static_cast<size_t>(match)])
                            continue;
                        used[static_cast<size_t>(match)] = true;
                        marks.onHead[k].push_back(Copy(was->elements[static_cast<size_t>(match)]));
                    }
                    for (size_t k = 0; k < used.size(); ++k)
                        if (!used[k]) CountMarkings(Node(was->elements[k]), plan.out.dropped);
                }
            }
        }
    }

    // Each note of a voice that crosses between the staves goes on the staff its attack's
    // note of that pitch was on (else the one in its place, else the attack's first).
    static void TakeStaves(Event& e, const Event& attack) {
        if (attack.notes.empty()) return;
        for (size_t k = 0; k < e.notes.size(); ++k) {
            int match = HeadWithPitch(attack, e.notes[k].pitch);
            size_t from = match >= 0 ? static_cast<size_t>(match) : std::min(k, attack.notes.size() - 1);
            e.notes[k].staff = attack.notes[from].staff;
        }
    }

    // Ties across the first and last barline of the layer: each one whole, or gone.
    void CloseEdges(const Part& part, const RebuiltLayer& l, size_t last, LayerPlan& plan) {
        std::vector<Event> before =
            l.firstMeasure > 0 ? VoiceEvents(part, l.firstMeasure - 1, plan.staff, plan.voice) : std::vector<Event>{};
        std::vector<Event> after = VoiceEvents(part, last + 1, plan.staff, plan.voice);
        std::vector<Event*> fresh;
        for (auto& measure : plan.fresh)
            for (Event& e : measure) fresh.push_back(&e);
        // Into the first entry from the bar before: kept where the pitch goes on.
        Event* previous = before.empty() ? nullptr : &before.back();
        std::vector<PitchValue> tiedFromBefore;
        if (previous != nullptr && previous->kind == EventKind::Note)
            for (const NoteHead& head : previous->notes)
                if (head.tieStart) tiedFromBefore.push_back(head.pitch);
        if (previous != nullptr && previous->kind == EventKind::Note) {
            Event* next = fresh.empty() ? nullptr : fresh.front();
            for (size_t k = 0; k < previous->notes.size(); ++k) {
                NoteHead& head = previous->notes[k];
                if (!head.tieStart) continue;
                if (next != nullptr && next->kind == EventKind::Note && HeadWithPitch(*next, head.pitch) >= 0) continue;
                head.tieStart = false;
                if (k < previous->elements.size()) RemoveTie(Node(previous->elements[k]), "start");
                plan.out.tiesRemoved.push_back("measure " + part.measures[l.firstMeasure - 1].number + ": " +
                                               PitchName(head.pitch));
            }
        }
        // Within the layer, a tie ends wherever the entry before ties the same pitch on. A stop
        // written without one (a tie from another voice) stays with its attack, but not the
        // first attack's stop of a tie from the bar before, which only the first entry can end.
        size_t at = 0;
        for (size_t i = 0; i < plan.places.size(); ++i)
            for (size_t j = 0; j < plan.places[i].size(); ++j, ++at) {
                Event* e = fresh[at];
                bool firstAttack = plan.places[i][j] && plan.places[i][j]->first == 0;
                if (e->kind == EventKind::Note)
                    for (NoteHead& head : e->notes) {
                        int k = previous != nullptr && previous->kind == EventKind::Note
                                    ? HeadWithPitch(*previous, head.pitch)
                                    : -1;
                        bool tiedOn = k >= 0 && previous->notes[static_cast<size_t>(k)].tieStart;
                        bool fromBefore = firstAttack && std::find(tiedFromBefore.begin(), tiedFromBefore.end(),
                                                                   head.pitch) != tiedFromBefore.end();
                        head.tieStop = tiedOn || (head.tieStop && !fromBefore);
                    }
                previous = e;
            }
        // Out of the last entry into the bar after: kept where the next note has the pitch.
        Event* next = !after.empty() && after.front().onset == Rational(0) ? &after.front() : nullptr;
        Event* lastNew = fresh.empty() ? nullptr : fresh.back();
        std::string lastNumber = part.measures[last].number;
        if (lastNew != nullptr && lastNew->kind == EventKind::Note)
            for (NoteHead& head : lastNew->notes) {
                if (!head.tieStart) continue;
                int k = next != nullptr && next->kind == EventKind::Note ? HeadWithPitch(*next, head.pitch) : -1;
                if (k < 0) {
                    head.tieStart = false;
                    plan.out.tiesRemoved.push_back("measure " + lastNumber + ": " + PitchName(head.pitch));
                    continue;
                }
                NoteHead& stop = next->notes[static_cast<size_t>(k)];
                if (!stop.tieStop && static_cast<size_t>(k) < next->elements.size()) {
                    AddTieStop(Node(next->elements[static_cast<size_t>(k)]));
                    plan.out.tiesClosed.push_back("measure " + lastNumber + ": " + PitchName(head.pitch));
                }
                stop.tieStop = true;
            }
        // A stop in the bar after that no tie leads to any more.
        if (next != nullptr && next->kind == EventKind::Note)
            for (size_t k = 0; k < next->notes.size(); ++k) {
                NoteHead& head = next->notes[k];
                if (!head.tieStop) continue;
                int from =
                    lastNew != nullptr && lastNew->kind == EventKind::Note ? HeadWithPitch(*lastNew, head.pitch) : -1;
                if (from >= 0 && lastNew->notes[static_cast<size_t>(from)].tieStart) continue;
                if (k < next->elements.size()) RemoveTie(Node(next->elements[k]), "stop");
                plan.out.tiesRemoved.push_back("measure " + part.measures[last + 1].number + ": " +
                                               PitchName(head.pitch) + " (its tie from the bar before)");
            }
    }

    const Score& score_;
    const HostMapping& mapping_;
    const simhost::Document& document_;
    pugi::xml_node scratch_;
    std::map<pugi::xml_node_struct*, pugi::xml_node> copies_;
};

struct Work {
    size_t plan;
    size_t index; // into the plan's measures
};

} // namespace

std::vector<LayerWritten> WriteRebuiltLayers(MusicXmlScore& xml, const HostMapping& mapping,
                                             const simhost::Document& document,
                                             const std::vector<RebuiltLayer>& layers) {
    Score& score = xml.score;
    pugi::xml_document scratch; // the replaced notes and lifted directions, while they travel
    pugi::xml_node root = scratch.append_child("scratch");
    LayerPlanner planner(score, mapping, document, root);
    std::vector<LayerPlan> plans(layers.size());
    std::vector<bool> planned(layers.size());
    for (size_t i = 0; i < layers.size(); ++i) planned[i] = planner.Plan(layers[i], plans[i]);

    // (part, measure) -> the voices rebuilt there.
    std::map<std::pair<size_t, size_t>, std::vector<Work>> byMeasure;
    for (size_t i = 0; i < plans.size(); ++i)
        if (planned[i])
            for (size_t k = 0; k < plans[i].fresh.size(); ++k)
                if (plans[i].written[k]) byMeasure[{plans[i].part, plans[i].first + k}].push_back({i, k});

    std::vector<std::pair<size_t, LiftedDirection>> lifted; // with the plan each belongs to
    for (auto& [where, work] : byMeasure) {
        Part& part = score.parts[where.first];
        Measure& measure = part.measures[where.second];
        std::vector<RebuiltVoice> voices;
        for (const Work& w : work) {
            LayerPlan& plan = plans[w.plan];
            voices.push_back({plan.staff, plan.voice, std::move(plan.fresh[w.index]), plan.marks[w.index],
                              plan.attackOnsets[w.index], plan.restsFrom[w.index]});
        }
        RewriteResult result = RewriteMeasure(part, measure, xml.MeasureNode(where.first, where.second), voices, root);
        for (size_t v = 0; v < work.size(); ++v) {
            LayerPlan& plan = plans[work[v].plan];
            for (const auto& [kind, count] : result.dropped[v]) plan.out.dropped[kind] += count;
            plan.out.restsFilled += result.restsFilled[v];
            const std::vector<AttackPlace>& places = plan.places[work[v].index];
            for (size_t j = 0; j < result.written[v].size() && j < places.size(); ++j)
                if (places[j] && places[j]->second == 0 && places[j]->first < plan.attackNotes.size())
                    plan.attackNotes[places[j]->first] = result.written[v][j];
        }
        for (const LiftedDirection& d : result.lifted) lifted.push_back({work[d.voice].plan, d});
        if (result.divisionsChanged && where.second + 1 < part.measures.size())
            EnsureDivisionsAtStart(xml.MeasureNode(where.first, where.second + 1), result.divisionsForNext);
    }
    // Directions that sat on an attack go before its new first note, wherever it now is.
    for (auto& [p, d] : lifted) {
        LayerPlan& plan = plans[p];
        pugi::xml_node note = d.attack < plan.attackNotes.size() ? plan.attackNotes[d.attack] : pugi::xml_node();
        if (note)
            note.parent().insert_copy_before(d.copy, note);
        else
            ++plan.out.dropped["direction"];
    }
    std::vector<LayerWritten> out;
    for (LayerPlan& plan : plans) out.push_back(std::move(plan.out));
    return out;
}

} // namespace beatclone::cli
