#include "cli/musicxml/ScoreReader.h"

#include "cli/musicxml/Articulations.h"
#include "cli/CliError.h"
#include "cli/musicxml/MeasureWalker.h"
#include "cli/score/NoteValues.h"
#include "cli/musicxml/XmlValues.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace beatclone::cli {
namespace {

// The host numbers measures with signed 16 bits.
constexpr size_t kMaxMeasures = 32767;
constexpr int kMaxTupletNumber = 1000;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw CliError(ExitCode::BadInput, where + ": " + what);
}

// Inside a measure the walker names the place, made only when a message needs it.
[[noreturn]] void Fail(const MeasureWalker& where, const std::string& what) { Fail(where.Where(), what); }

int StepIndex(std::string_view step) {
    static constexpr const char* kSteps = "CDEFGAB";
    if (step.size() != 1) return -1;
    const char* p = std::strchr(kSteps, step[0]);
    return (p == nullptr || step[0] == '\0') ? -1 : static_cast<int>(p - kSteps);
}

PitchValue ReadPitch(const NoteFields& note, const MeasureWalker& where) {
    PitchValue pitch;
    pugi::xml_node p = note.pitch;
    const char* stepName = "step";
    const char* octaveName = "octave";
    if (!p) {
        p = note.unpitched;
        pitch.unpitched = true;
        stepName = "display-step";
        octaveName = "display-octave";
        // A percussion note without a display position sits on the middle line.
        if (!p.child(stepName)) {
            pitch.step = 6;
            pitch.octave = 4;
            return pitch;
        }
    }
    int step = StepIndex(TrimmedText(p.child(stepName)));
    if (step < 0)
        Fail(where, "bad <" + std::string(stepName) + "> \"" + std::string(TrimmedText(p.child(stepName))) + "\"");
    std::optional<int64_t> octave = ParseInteger(TrimmedText(p.child(octaveName)), 0, 9);
    if (!octave)
        Fail(where, "bad <" + std::string(octaveName) + "> \"" + std::string(TrimmedText(p.child(octaveName))) + "\"");
    pitch.step = static_cast<uint8_t>(step);
    pitch.octave = static_cast<int8_t>(*octave);
    if (pugi::xml_node alter = p.child("alter")) {
        std::optional<Rational> a = ParseDecimal(TrimmedText(alter));
        if (!a) Fail(where, "bad <alter> \"" + std::string(TrimmedText(alter)) + "\"");
        if (!a->IsInteger() || a->Num() < -2 || a->Num() > 2)
            Fail(where, "<alter> " + std::string(TrimmedText(alter)) +
                            ": only whole alterations from -2 to 2 semitones can be carried");
        pitch.alter = static_cast<int8_t>(a->Num());
    }
    return pitch;
}

void ReadTies(pugi::xml_node note, NoteHead& head) {
    for (pugi::xml_node tie : note.children("tie")) {
        std::string_view type = tie.attribute("type").as_string();
        if (type == "start") head.tieStart = true;
        if (type == "stop") head.tieStop = true;
    }
    for (pugi::xml_node notations : note.children("notations"))
        for (pugi::xml_node tied : notations.children("tied")) {
            std::string_view type = tied.attribute("type").as_string();
            if (type == "start" || type == "continue") head.tieStart = true;
            if (type == "stop" || type == "continue") head.tieStop = true;
        }
}

int16_t PlacementOf(pugi::xml_node element) {
    std::string_view placement = element.attribute("placement").as_string();
    if (placement == "above") return 1;
    if (placement == "below") return -1;
    return 0;
}

void AddArticulation(Event& event, ArticulationMark mark) {
    if (std::find(event.articulations.begin(), event.articulations.end(), mark) == event.articulations.end())
        event.articulations.push_back(mark);
}

void ReadNotations(pugi::xml_node note, Event& event, const MeasureWalker& where) {
    for (pugi::xml_node notations : note.children("notations")) {
        for (pugi::xml_node child : notations.children()) {
            std::string_view name = child.name();
            if (name == "articulations") {
                for (pugi::xml_node a : child.children()) {
                    if (a.type() != pugi::node_element) continue;
                    if (ArticulationKind kind = ArticulationKindOf(a.name()); kind != ArticulationKind::None)
                        AddArticulation(event, {kind, PlacementOf(a)});
                }
            } else if (name == "fermata") {
                std::string_view type = child.attribute("type").as_string();
                AddArticulation(event, {ArticulationKind::Fermata, static_cast<int16_t>(type == "inverted" ? -1 : 0)});
            } else if (name == "tuplet") {
                TupletMark mark;
                std::string_view type = child.attribute("type").as_string();
                if (type != "start" && type != "stop") continue;
                mark.start = type == "start";
                mark.number = child.attribute("number").as_int(1);
                if (mark.number < 1 || mark.number > kMaxTupletNumber) Fail(where, "bad tuplet number");
                std::optional<int64_t> actual =
                    ParseInteger(TrimmedText(child.child("tuplet-actual").child("tuplet-number")), 1, 1000);
                std::optional<int64_t> normal =
                    ParseInteger(TrimmedText(child.child("tuplet-normal").child("tuplet-number")), 1, 1000);
                if (actual && normal) {
                    mark.actual = static_cast<int>(*actual);
                    mark.normal = static_cast<int>(*normal);
                }
                std::string_view show = child.attribute("show-number").as_string();
                mark.showNumber = show == "none" ? 0 : show == "both" ? 2 : 1;
                mark.bracket = std::string_view(child.attribute("bracket").as_string("yes")) != "no";
                bool seen = false;
                for (const TupletMark& m : event.tupletMarks) seen |= m.start == mark.start && m.number == mark.number;
                if (!seen) event.tupletMarks.push_back(mark);
            }
        }
    }
}

// The notated value: the <type> and dots when they agree with the <duration> to within one
// division (exporters round), else the value the duration gives.
uint32_t NotatedValue(const NoteFields& note, const Event& event, Rational divisions, const MeasureWalker& where) {
    std::string_view typeText = TrimmedText(note.type);
    uint32_t typed = typeText.empty() ? 0 : DottedValue(typeText, note.dots);
    if (!typeText.empty() && typed == 0) Fail(where, "bad <type> \"" + std::string(typeText) + "\"");
    if (event.grace) return typed != 0 ? typed : 512;

    Rational scale(1024LL * event.tmActual, event.tmNormal);
    Rational fromDuration = event.duration * scale;
    if (typed != 0 && !event.measureRest) {
        Rational difference = Rational(typed) - fromDuration;
        if (difference < Rational(0)) difference = Rational(0) - difference;
        if (difference <= scale / divisions) return typed;
    }
    int64_t rounded = fromDuration.Round();
    if (rounded < 1 || rounded > 0x7FFFFFFF) Fail(where, "a note length the host cannot hold");
    return static_cast<uint32_t>(rounded);
}

void ReadTimeModification(const NoteFields& note, Event& event, const MeasureWalker& where) {
    pugi::xml_node tm = note.timeModification;
    if (!tm) return;
    std::optional<int64_t> actual = ParseInteger(TrimmedText(tm.child("actual-notes")), 1, 1000);
    std::optional<int64_t> normal = ParseInteger(TrimmedText(tm.child("normal-notes")), 1, 1000);
    if (!actual || !normal) Fail(where, "bad <time-modification>");
    event.tmActual = static_cast<int>(*actual);
    event.tmNormal = static_cast<int>(*normal);
}

struct VoiceSlot {
    size_t voice;
    size_t event;
};

class PartReader {
public:
    PartReader(const Score& score, Part& part) : score_(score), part_(part) {}

    // The outline of every measure of the part, from its <measure> elements in order: its
    // divisions, and the part's staves and voices. The part list gave the measures' numbers.
    void Outline(const std::vector<pugi::xml_node>& nodes) {
        Rational divisions(0);
        // Notes come voice after voice: the count of the voice and staff before is most often
        // the next note's too.
        int* notesOnStaff = nullptr;
        int countedStaff = 0;
        std::string countedVoice;
        for (size_t i = 0; i < nodes.size(); ++i) {
            pugi::xml_node m = nodes[i];
            Measure& measure = part_.measures[i];
            measure.divisionsAtStart = divisions;
            try {
                MeasureWalker walker(
                    m, divisions, [this, &measure] { return Where(measure); }, false);
                WalkStep step;
                while (walker.Next(step)) {
                    NoteStaves(step, walker);
                    if (step.type != StepType::Note || (step.chord && step.note.rest)) continue;
                    if (notesOnStaff == nullptr || step.staff != countedStaff || step.voice != countedVoice) {
                        AddVoiceName(step.staff, step.voice);
                        notesOnStaff = &notesOn_[step.voice][step.staff];
                        countedStaff = step.staff;
                        countedVoice = step.voice;
                    }
                    *notesOnStaff += step.grace ? 0 : 1;
                }
                measure.divisionsAtEnd = divisions = walker.Divisions();
            } catch (const TimeOverflow& e) {
                Fail(Where(measure), e.what());
            }
        }
        FindCrossingVoices(nodes);
        AssignLayers();
        part_.outlined = true;
    }

    // The events of every voice in one measure, read from its <measure> element.
    void Detail(Measure& measure, pugi::xml_node measureNode) {
        if (measure.detailed) return;
        try {
            ReadEvents(measure, measureNode);
        } catch (const TimeOverflow& e) {
            Fail(Where(measure), e.what());
        }
        measure.detailed = true;
    }

private:
    void ReadEvents(Measure& measure, pugi::xml_node measureNode) {
        MeasureWalker walker(measureNode, measure.divisionsAtStart, [this, &measure] { return Where(measure); });
        WalkStep step;
        std::vector<VoiceSlot> chord; // the events the current chord has made, one per staff
        // Notes come voice after voice: the reach looked up last is most often the next one's.
        Rational* reach = nullptr;
        int reachStaff = 0;
        std::string reachVoice;
        while (walker.Next(step)) {
            if (step.type == StepType::Forward || step.type == StepType::Note) {
                if (reach == nullptr || step.staff != reachStaff || step.voice != reachVoice) {
                    reach = &measure.voiceReach[{part_.LayerStaff(step.staff, step.voice), step.voice}];
                    reachStaff = step.staff;
                    reachVoice = step.voice;
                }
                *reach = std::max(*reach, step.type == StepType::Note ? step.start + step.duration : walker.Cursor());
            }
            if (step.type != StepType::Note) continue;
            ReadNote(measure, step, chord, walker.Divisions(), walker);
        }
        measure.length = walker.Furthest();
        for (const VoiceSlot& slot : untypedRests_) {
            VoiceMeasure& vm = measure.voices[slot.voice];
            Event& rest = vm.events[slot.event];
            if (vm.events.size() == 1 && rest.duration == measure.length) rest.measureRest = true;
        }
        untypedRests_.clear();
        // A grace note leads its note, on whichever staff of a crossing voice each one is.
        auto earlier = [](const Event& a, const Event& b) {
            return a.onset != b.onset ? a.onset < b.onset : a.grace && !b.grace;
        };
        for (VoiceMeasure& v : measure.voices) {
            if (!std::is_sorted(v.events.begin(), v.events.end(), earlier))
                std::stable_sort(v.events.begin(), v.events.end(), earlier);
            if (part_.homeStaff.count(v.voice) != 0) JoinChordsAcrossStaves(v);
        }
    }

    std::string Where(const Measure& measure) const {
        return score_.path + ": part " + part_.id + ", measure " + (measure.number.empty() ? "?" : measure.number);
    }

    void NoteStaves(const WalkStep& step, const MeasureWalker& where) {
        if (step.type == StepType::Forward || step.type == StepType::Note)
            part_.staffCount = std::max(part_.staffCount, step.staff);
        if (step.type == StepType::Other && std::strcmp(step.node.name(), "attributes") == 0) {
            if (pugi::xml_node staves = step.node.child("staves")) {
                std::optional<int64_t> n = ParseInteger(TrimmedText(staves), 1, kMaxStavesPerPart);
                if (!n) Fail(where, "bad <staves>");
                part_.staffCount = std::max(part_.staffCount, static_cast<int>(*n));
            }
        }
    }

    // A voice whose name appears on several staves of the part is one voice crossing between
    // them when, in every measure, its notes on different staves either sound as one chord
    // (same start, same length) or follow each other; else the name was merely reused, and each
    // staff keeps its own voice of that name. A crossing voice lives on its home staff: the
    // staff most of its notes and rests in the whole part are on (grace notes aside: they take
    // no time), the lower-numbered on a tie.
    void FindCrossingVoices(const std::vector<pugi::xml_node>& nodes) {
        std::map<std::string, bool> candidates;
        for (const auto& [voice, staves] : notesOn_)
            if (staves.size() > 1) candidates[voice] = true;
        if (candidates.empty()) return;
        struct Sounding {
            int staff;
            Rational start, end;
            bool rest;
        };
        try {
            // Names merely reused show soon; the walk stops once none is left to settle.
            auto open = [&candidates] {
                return std::any_of(candidates.begin(), candidates.end(), [](const auto& c) { return c.second; });
            };
            for (size_t m = 0; m < nodes.size() && open(); ++m) {
                Measure& measure = part_.measures[m];
                MeasureWalker walker(nodes[m], measure.divisionsAtStart, [this, &measure] { return Where(measure); });
                std::map<std::string, std::vector<Sounding>> heard;
                WalkStep step;
                while (walker.Next(step)) {
                    if (step.type != StepType::Note || candidates.count(step.voice) == 0) continue;
                    Sounding now{step.staff, step.start, step.start + step.duration, static_cast<bool>(step.note.rest)};
                    for (const Sounding& was : heard[step.voice]) {
                        // A grace note takes no time, but must not fall inside a note.
                        bool meet = now.start == now.end || was.start == was.end
                                        ? was.start < now.end && now.start < was.end && now.start != was.start
                                        : was.start < now.end && now.start < was.end;
                        if (was.staff == now.staff || !meet) continue;
                        if (!was.rest && !now.rest && was.start == now.start && was.end == now.end) continue;
                        candidates[step.voice] = false;
                    }
                    heard[step.voice].push_back(now);
                }
            }
        } catch (const CliError&) {
            // A measure that cannot be timed is refused when it is read; until then the voices
            // stay as their staves have them.
            return;
        } catch (const std::overflow_error&) {
            return;
        }
        for (const auto& [voice, crossing] : candidates) {
            if (!crossing) continue;
            int home = 0, most = -1;
            for (const auto& [staff, count] : notesOn_[voice])
                if (count > most) {
                    home = staff;
                    most = count;
                }
            part_.homeStaff[voice] = home;
        }
    }

    // Notes of a crossing voice that sound together on different staves are one chord.
    static void JoinChordsAcrossStaves(VoiceMeasure& v) {
        std::vector<Event> joined;
        for (Event& e : v.events) {
            if (!joined.empty()) {
                Event& last = joined.back();
                if (e.kind == EventKind::Note && last.kind == EventKind::Note && !e.grace && !last.grace &&
                    e.onset == last.onset && e.duration == last.duration &&
                    last.notes.size() + e.notes.size() <= kMaxNotesPerChord) {
                    last.notes.insert(last.notes.end(), e.notes.begin(), e.notes.end());
                    last.elements.insert(last.elements.end(), e.elements.begin(), e.elements.end());
                    for (const ArticulationMark& mark : e.articulations) AddArticulation(last, mark);
                    continue;
                }
            }
            joined.push_back(std::move(e));
        }
        v.events = std::move(joined);
    }

    void AddVoiceName(int staff, const std::string& voice) {
        if (voiceNames_.size() < static_cast<size_t>(staff)) voiceNames_.resize(static_cast<size_t>(staff));
        auto& names = voiceNames_[static_cast<size_t>(staff - 1)];
        if (std::find(names.begin(), names.end(), voice) == names.end()) names.push_back(voice);
    }

    size_t VoiceIndex(Measure& measure, int staff, const std::string& voice) {
        for (size_t i = 0; i < measure.voices.size(); ++i)
            if (measure.voices[i].staff == staff && measure.voices[i].voice == voice) return i;
        measure.voices.push_back(VoiceMeasure{staff, voice, {}});
        return measure.voices.size() - 1;
    }

    void ReadNote(Measure& measure, const WalkStep& step, std::vector<VoiceSlot>& chord, Rational divisions,
                  const MeasureWalker& where) {
        pugi::xml_node node = step.node;
        const NoteFields& fields = step.note;
        bool rest = static_cast<bool>(fields.rest);
        if (step.chord && !chord.empty()) {
            if (rest) return; // a rest inside a chord adds nothing
            for (const VoiceSlot& slot : chord) {
                VoiceMeasure& vm = measure.voices[slot.voice];
                if (vm.staff != part_.LayerStaff(step.staff, step.voice) || vm.voice != step.voice) continue;
                Event& event = vm.events[slot.event];
                if (event.kind != EventKind::Note) Fail(where, "a chord joins notes to a rest");
                AddHead(event, step, where);
                event.elements.push_back(node.internal_object());
                if (fields.notations) ReadNotations(node, event, where);
                return;
            }
            // Part of the chord on another staff or voice: an entry of its own there.
        } else {
            chord.clear();
        }
        size_t vi = VoiceIndex(measure, part_.LayerStaff(step.staff, step.voice), step.voice);
        Event event;
        event.kind = rest ? EventKind::Rest : EventKind::Note;
        event.onset = step.start;
        event.duration = step.duration;
        event.grace = step.grace;
        event.graceSlash = step.grace && std::string_view(fields.grace.attribute("slash").as_string()) == "yes";
        event.cue = static_cast<bool>(fields.cue);
        event.measureRest = rest && std::string_view(fields.rest.attribute("measure").as_string()) == "yes";
        // A rest without <type> from the start of the measure is a whole-measure rest if it
        // fills the measure; Detail settles that once the measure's length is known.
        bool untypedRest = rest && !event.measureRest && !fields.type && step.start.IsZero() && !step.grace;
        if (!event.grace && event.duration.IsZero()) Fail(where, "a note with zero duration");
        ReadTimeModification(fields, event, where);
        event.notated = NotatedValue(fields, event, divisions, where);
        if (!rest) AddHead(event, step, where);
        event.elements.push_back(node.internal_object());
        if (fields.notations) ReadNotations(node, event, where);
        measure.voices[vi].events.push_back(std::move(event));
        chord.push_back({vi, measure.voices[vi].events.size() - 1});
        if (untypedRest) untypedRests_.push_back(chord.back());
    }

    static void AddHead(Event& event, const WalkStep& step, const MeasureWalker& where) {
        if (event.notes.size() >= kMaxNotesPerChord)
            Fail(where, "a chord of more than 12 notes; one host entry holds at most 12");
        NoteHead head;
        head.pitch = ReadPitch(step.note, where);
        if (step.note.ties || step.note.notations) ReadTies(step.node, head);
        head.staff = step.staff;
        event.notes.push_back(head);
    }

    // Each staff's voices, in order of their numbers, become its layers.
    void AssignLayers() {
        voiceNames_.resize(static_cast<size_t>(part_.staffCount));
        for (size_t s = 0; s < voiceNames_.size(); ++s) {
            auto& names = voiceNames_[s];
            names.erase(std::remove_if(names.begin(), names.end(),
                                       [this, s](const std::string& v) {
                                           return part_.LayerStaff(static_cast<int>(s) + 1, v) !=
                                                  static_cast<int>(s) + 1;
                                       }),
                        names.end());
        }
        part_.voicesByStaff = std::move(voiceNames_);
        for (size_t s = 0; s < part_.voicesByStaff.size(); ++s) {
            auto& names = part_.voicesByStaff[s];
            std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
                std::optional<int64_t> na = ParseInteger(a, 0, 1'000'000'000), nb = ParseInteger(b, 0, 1'000'000'000);
                if (na && nb) return *na < *nb;
                if (na || nb) return na.has_value();
                return a < b;
            });
            if (names.size() > kMaxVoicesPerStaff) {
                std::string list;
                for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
                Fail(score_.path + ": part " + part_.id + " (" + part_.StaffLabel(static_cast<int>(s) + 1) + ")",
                     "staff " + std::to_string(s + 1) + " uses " + std::to_string(names.size()) + " voices (" + list +
                         "); the host has 4 layers per staff");
            }
        }
    }

    const Score& score_;
    Part& part_;
    std::vector<std::vector<std::string>> voiceNames_;
    // Per voice, per staff: its notes and rests that take time (a staff with grace notes only: 0).
    std::map<std::string, std::map<int, int>> notesOn_;
    std::vector<VoiceSlot> untypedRests_;
};

// The children of each node, taken a step in every node in turn: each step is a load from
// far away in the tree, and steps along different nodes need not wait for one another.
std::vector<std::vector<pugi::xml_node>> ChildrenOfEach(const std::vector<pugi::xml_node>& nodes) {
    std::vector<std::vector<pugi::xml_node>> children(nodes.size());
    std::vector<pugi::xml_node> at(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) at[i] = nodes[i].first_child();
    for (bool more = true; more;) {
        more = false;
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (!at[i]) continue;
            children[i].push_back(at[i]);
            at[i] = at[i].next_sibling();
            more = true;
        }
    }
    return children;
}

// How many measures ahead their tags are fetched.
constexpr size_t kLookAhead = 16;

std::string CollapsedText(pugi::xml_node node) {
    std::string out;
    bool space = false;
    for (char c : std::string_view(node.child_value())) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

} // namespace

void ReadPartList(MusicXmlScore& xml) {
    Score& score = xml.score;
    const std::string& where = score.path;
    pugi::xml_node root = xml.file.document.document_element();
    std::string_view rootName = root.name();
    if (rootName == "score-timewise")
        Fail(where, "a timewise MusicXML score; only partwise scores (<score-partwise>) can be read");
    if (rootName != "score-partwise")
        Fail(where, rootName.empty() ? "not a MusicXML score (no root element)"
                                     : "not a MusicXML score (the root element is <" + std::string(rootName) + ">)");

    std::map<std::string, pugi::xml_node> scoreParts;
    for (pugi::xml_node sp : root.child("part-list").children("score-part"))
        scoreParts[sp.attribute("id").as_string()] = sp;

    const std::vector<pugi::xml_node> partNodes(root.children("part").begin(), root.children("part").end());
    const std::vector<std::vector<pugi::xml_node>> children = ChildrenOfEach(partNodes);
    for (size_t i = 0; i < partNodes.size(); ++i) {
        pugi::xml_node p = partNodes[i];
        Part part;
        part.id = p.attribute("id").as_string();
        auto found = scoreParts.find(part.id);
        if (part.id.empty() || found == scoreParts.end())
            Fail(where, "part \"" + part.id + "\" is not listed in <part-list>");
        part.name = CollapsedText(found->second.child("part-name"));
        part.abbreviation = CollapsedText(found->second.child("part-abbreviation"));
        std::vector<pugi::xml_node> nodes;
        nodes.reserve(std::min(children[i].size(), kMaxMeasures));
        part.measures.reserve(nodes.capacity());
        for (size_t c = 0; c < children[i].size(); ++c) {
            // Each measure lies far from the one before, in the tree and in the text: its node,
            // then its name and number, are asked for well ahead.
            if (c + 2 * kLookAhead < children[i].size()) {
                const auto node = reinterpret_cast<uintptr_t>(children[i][c + 2 * kLookAhead].internal_object());
                __builtin_prefetch(reinterpret_cast<void*>(node));
                __builtin_prefetch(reinterpret_cast<void*>(node + 64)); // its attributes follow it
            }
            if (c + kLookAhead < children[i].size()) __builtin_prefetch(children[i][c + kLookAhead].name());
            pugi::xml_node m = children[i][c];
            if (m.type() != pugi::node_element || std::strcmp(m.name(), "measure") != 0) continue;
            if (nodes.size() == kMaxMeasures)
                Fail(where + ": part " + part.id, "more than 32767 measures; the host cannot hold them");
            nodes.push_back(m);
            part.measures.emplace_back().number = m.attribute("number").as_string();
        }
        score.parts.push_back(std::move(part));
        xml.measureNodes.push_back(std::move(nodes));
    }
    if (score.parts.empty()) Fail(where, "the score has no parts");
    size_t measures = score.parts.front().measures.size();
    if (measures == 0) Fail(where, "the score has no measures");
    for (const Part& part : score.parts)
        if (part.measures.size() != measures)
            Fail(where, "part " + part.id + " has " + std::to_string(part.measures.size()) + " measures, part " +
                            score.parts.front().id + " has " + std::to_string(measures));
}

void OutlinePart(MusicXmlScore& xml, size_t p) {
    Score& score = xml.score;
    if (score.parts[p].outlined) return;
    try {
        PartReader(score, score.parts[p]).Outline(xml.measureNodes[p]);
    } catch (const std::overflow_error&) {
        Fail(score.path, "time values too large to work with");
    }
}

void BuildScoreOutline(MusicXmlScore& xml) {
    ReadPartList(xml);
    for (size_t p = 0; p < xml.score.parts.size(); ++p) OutlinePart(xml, p);
}

void DetailMeasures(MusicXmlScore& xml, const std::vector<size_t>& parts, size_t first, size_t last) {
    Score& score = xml.score;
    try {
        for (size_t p : parts) {
            OutlinePart(xml, p); // the measures' divisions come from the outline
            Part& part = score.parts[p];
            for (size_t m = first; m <= last && m < part.measures.size(); ++m)
                PartReader(score, part).Detail(part.measures[m], xml.MeasureNode(p, m));
        }
    } catch (const std::overflow_error&) {
        Fail(score.path, "time values too large to work with");
    }
}

void DetailMeasures(MusicXmlScore& xml, size_t first, size_t last) {
    std::vector<size_t> every(xml.score.parts.size());
    for (size_t p = 0; p < every.size(); ++p) every[p] = p;
    DetailMeasures(xml, every, first, last);
}

void ReadScoreOutline(const std::string& path, MusicXmlScore& score) {
    score.score.path = path;
    LoadScoreFile(path, score.file);
    BuildScoreOutline(score);
}

void ReadScore(const std::string& path, MusicXmlScore& score) {
    ReadScoreOutline(path, score);
    DetailMeasures(score, 0, score.score.MeasureCount() - 1);
}

} // namespace beatclone::cli
