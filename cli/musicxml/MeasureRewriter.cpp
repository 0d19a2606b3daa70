#include "cli/musicxml/MeasureRewriter.h"

#include "cli/CliError.h"
#include "cli/musicxml/MeasureWalker.h"
#include "cli/musicxml/NoteWriter.h"
#include "cli/musicxml/XmlValues.h"
#include "cli/score/NoteValues.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace beatclone::cli {
namespace {

// Divisions are multiplied at most up to this; beyond it durations are rounded instead.
constexpr int64_t kMaxDivisions = 1'000'000'000;
constexpr int kNoOwner = -1;

bool Named(pugi::xml_node node, const char* name) { return std::strcmp(node.name(), name) == 0; }

// An element that stays, with the time it must be reached at.
struct Kept {
    pugi::xml_node node;
    Rational target;
    Rational advance;           // how far the element moves the cursor on
    bool placed = true;         // false for a chord note that follows its chord's first note
    bool dropChordMark = false; // a chord note whose chord's first note is removed
    bool setsDivisions = false;
    bool midMeasure = false; // set on one that follows notes or moves
    Rational divisionsAfter;
    // A note: its voice, for a <forward> that leads to it. A direction or the like that goes
    // between a rebuilt voice's notes: that voice (owner), else kNoOwner.
    int staff = 0;
    std::string voice;
    int owner = kNoOwner;
    bool anchorable = false;   // a direction that moves with an attack at its time
    bool pendingOwner = false; // its owner is chosen once the whole measure is sorted
};

// Elements without a length of their own that sit at a point in time of the measure.
bool IsTimedMark(pugi::xml_node node) {
    return Named(node, "direction") || Named(node, "harmony") || Named(node, "figured-bass") || Named(node, "sound");
}

// Directions that belong to a place in the piece rather than to a note stay where they are.
bool Anchorable(pugi::xml_node direction) {
    if (!Named(direction, "direction")) return false;
    for (pugi::xml_node type : direction.children("direction-type"))
        for (pugi::xml_node child : type.children())
            if (Named(child, "rehearsal") || Named(child, "segno") || Named(child, "coda") || Named(child, "metronome"))
                return false;
    return true;
}

std::string ChildText(pugi::xml_node node, const char* name) { return std::string(TrimmedText(node.child(name))); }

int StaffOf(pugi::xml_node node) {
    std::optional<int64_t> staff = ParseInteger(TrimmedText(node.child("staff")), 1, kMaxStavesPerPart);
    return staff ? static_cast<int>(*staff) : 1;
}

// The least common multiple of two positive numbers; 0 once it would overflow, and from then on.
int64_t LeastCommonMultiple(int64_t a, int64_t b) {
    int64_t product = 0;
    if (a == 0 || __builtin_mul_overflow(a / std::gcd(a, b), b, &product)) return 0;
    return product;
}

// Multiplies a decimal element's value, keeping its form.
void Scale(pugi::xml_node element, int64_t factor) {
    if (!element) return;
    std::optional<Rational> value = ParseDecimal(TrimmedText(element));
    if (value) element.text().set(DecimalText(*value * Rational(factor)).c_str());
}

void ScaleKept(pugi::xml_node node, int64_t factor) {
    std::string_view name = node.name();
    if (name == "note" || name == "figured-bass") Scale(node.child("duration"), factor);
    if (name == "attributes") Scale(node.child("divisions"), factor);
    if (name == "direction" || name == "harmony" || name == "figured-bass" || name == "sound")
        Scale(node.child("offset"), factor);
}

// Gives `mark` an <offset> of `divisions` more, where its element may hold one.
bool AddOffset(pugi::xml_node mark, int64_t divisions) {
    if (divisions == 0) return true;
    if (!Named(mark, "direction") && !Named(mark, "harmony") && !Named(mark, "sound")) return false;
    pugi::xml_node offset = mark.child("offset");
    Rational value(0);
    if (offset) {
        std::optional<Rational> old = ParseDecimal(TrimmedText(offset));
        if (old) value = *old;
    } else {
        // <offset> follows the direction types or chord of a direction or harmony, else leads.
        pugi::xml_node after;
        for (pugi::xml_node c : mark.children())
            if (Named(c, "direction-type") || Named(c, "root") || Named(c, "numeral") || Named(c, "function") ||
                Named(c, "kind") || Named(c, "inversion") || Named(c, "bass") || Named(c, "degree") ||
                Named(c, "frame"))
                after = c;
        offset = after ? mark.insert_child_after("offset", after) : mark.prepend_child("offset");
    }
    offset.text().set(DecimalText(value + Rational(divisions)).c_str());
    return true;
}

// The rests that fill `edus`, longest first; empty when no note value fits exactly.
std::vector<uint32_t> RestValues(int64_t edus) {
    std::vector<uint32_t> values;
    while (edus > 0) {
        uint32_t fit = 0;
        for (uint32_t v = 4096 * 2; v >= 16; v /= 2) {
            for (uint32_t dotted : {v + v / 2, v})
                if (dotted <= edus && NotateValue(dotted)) {
                    fit = dotted;
                    break;
                }
            if (fit != 0) break;
        }
        if (fit == 0) return {};
        values.push_back(fit);
        edus -= fit;
    }
    return values;
}

// Lays the measure out: the kept elements in their order, each at its time, and the rebuilt
// voices before any closing barlines, with the marks they own between their notes. With
// `apply` off it only learns which denominators the chosen divisions would have to absorb.
class Layout {
public:
    Layout(const Measure& measure, pugi::xml_node measureNode, std::vector<Kept>& kept, size_t blockAt,
           const std::vector<RebuiltVoice>& voices, int staffCountOfPart, pugi::xml_node scratch, RewriteResult& result)
        : measure_(measure),
          measureNode_(measureNode),
          kept_(kept),
          blockAt_(blockAt),
          voices_(voices),
          multiStaff_(staffCountOfPart > 1),
          scratch_(scratch),
          result_(result) {}

    // The least factor that makes every written duration whole.
    int64_t NeededFactor() {
        apply_ = false;
        needed_ = 1;
        Run();
        return needed_;
    }

    // Writes the moves and the rebuilt voices, with the measure's divisions multiplied by
    // `factor` (the kept elements already scaled by it).
    void Apply(int64_t factor) {
        apply_ = true;
        startDivisions_ = measure_.divisionsAtStart * Rational(factor);
        Run();
    }

private:
    int64_t Divs(Rational quarters) {
        Rational scaled = quarters * divisions_;
        if (!apply_) needed_ = LeastCommonMultiple(needed_, scaled.Den());
        return scaled.Round();
    }

    XmlInsertPoint At(pugi::xml_node before) const { return {measureNode_, before}; }

    // Moves the cursor to `to`: a <backup>, or a <forward> for `owner` when one is given.
    void Move(Rational to, pugi::xml_node before, const NotePlacement* owner = nullptr) {
        if (to == cursor_) return;
        bool forward = to > cursor_;
        int64_t amount = forward ? Divs(to) - Divs(cursor_) : Divs(cursor_) - Divs(to);
        if (apply_ && amount > 0) WriteMove(At(before), forward, amount, forward ? owner : nullptr);
        cursor_ = to;
    }

    // Puts kept mark `k` before `before`, the cursor standing at or before its time.
    void PlaceMark(size_t vi, Kept& k, pugi::xml_node before) {
        if (!apply_) {
            Divs(k.target);
            return;
        }
        const RebuiltVoice& v = voices_[vi];
        if (k.anchorable && scratch_) {
            for (const auto& [onset, attack] : v.attackOnsets)
                if (onset == k.target) {
                    pugi::xml_node scratch = scratch_;
                    result_.lifted.push_back({vi, attack, scratch.append_copy(k.node)});
                    measureNode_.remove_child(k.node);
                    return;
                }
        }
        if (before)
            measureNode_.insert_move_before(k.node, before);
        else
            measureNode_.append_move(k.node);
        // A mark inside a note keeps its time with an offset, where its element holds one.
        AddOffset(k.node, Divs(k.target) - Divs(cursor_));
    }

    // Skips to `end` with <forward>s of the voice, putting down the marks on the way.
    void Skip(size_t vi, Rational end, pugi::xml_node before, const NotePlacement& placement) {
        while (mark_ < marks_.size() && kept_[marks_[mark_]].target < end) {
            Move(std::max(cursor_, kept_[marks_[mark_]].target), before, &placement);
            PlaceMark(vi, kept_[marks_[mark_++]], before);
        }
        Move(end, before, &placement);
    }

    // One event of each voice in `members` (one voice on several staves): their notes as one
    // chord, else the first one's rest. `written` gets each member's first note.
    void EmitChord(const std::vector<std::pair<size_t, size_t>>& members, pugi::xml_node before,
                   std::vector<NotePlacement>& placements, const std::vector<size_t>& group) {
        size_t lead = members.front().first;
        const Event& e = voices_[lead].events[members.front().second];
        PlaceMarksWithin(lead, e, before);
        int64_t length = Divs(e.End()) - Divs(cursor_);
        bool anyNote = false;
        for (auto [vi, j] : members) anyNote |= voices_[vi].events[j].kind == EventKind::Note;
        bool chord = false;
        for (auto [vi, j] : members) {
            const RebuiltVoice& v = voices_[vi];
            const Event& member = v.events[j];
            if (member.kind != EventKind::Note && (anyNote || chord)) continue;
            size_t g = static_cast<size_t>(std::find(group.begin(), group.end(), vi) - group.begin());
            placements[g].duration = std::max<int64_t>(length, 1);
            if (apply_)
                result_.written[vi][j] =
                    WriteEvent(At(before), member, placements[g], j < v.marks.size() ? &v.marks[j] : nullptr,
                               &result_.dropped[vi], chord);
            chord = true;
        }
        cursor_ = e.End();
    }

    // The marks that fall within the event `e` about to be written, put down before it.
    void PlaceMarksWithin(size_t vi, const Event& e, pugi::xml_node before) {
        Rational end = e.End();
        while (mark_ < marks_.size() && (kept_[marks_[mark_]].target < end || kept_[marks_[mark_]].target == e.onset))
            PlaceMark(vi, kept_[marks_[mark_++]], before);
    }

    // A rest that fills the measure.
    void EmitRest(size_t vi, const Event& rest, pugi::xml_node before, NotePlacement& placement) {
        PlaceMarksWithin(vi, rest, before);
        placement.duration = std::max<int64_t>(Divs(rest.End()) - Divs(cursor_), 1);
        if (apply_) WriteEvent(At(before), rest, placement, nullptr, &result_.dropped[vi]);
        cursor_ = rest.End();
    }

    // The rest of the measure after the voice's last event: its own silence, then rests.
    void Fill(size_t vi, pugi::xml_node before, NotePlacement& placement) {
        const RebuiltVoice& v = voices_[vi];
        Rational length = measure_.length;
        Skip(vi, std::max(cursor_, std::min(v.restsFrom, length)), before, placement);
        if (cursor_ < length) {
            Rational edus = (length - cursor_) * Rational(1024);
            std::vector<uint32_t> values = edus.IsInteger() ? RestValues(edus.Num()) : std::vector<uint32_t>{};
            for (uint32_t value : values) {
                Event rest;
                rest.kind = EventKind::Rest;
                rest.onset = cursor_;
                rest.notated = value;
                rest.duration = Rational(value, 1024);
                EmitRest(vi, rest, before, placement);
                if (apply_) ++result_.restsFilled[vi];
            }
            Skip(vi, length, before, placement);
        }
        while (mark_ < marks_.size()) {
            Skip(vi, std::max(cursor_, kept_[marks_[mark_]].target), before, placement);
            PlaceMark(vi, kept_[marks_[mark_++]], before);
        }
    }

    // Voices written together: a voice on several staves is one voice, its notes at one time
    // one chord across the staves. A voice name taken otherwise (by a kept voice on another
    // staff, or by a rebuilt one whose notes overlap others) gets a fresh number.
    std::vector<std::vector<size_t>> Groups() {
        std::vector<std::vector<size_t>> groups;
        int fresh = 0;
        for (const Kept& k : kept_) fresh = std::max(fresh, std::atoi(k.voice.c_str()));
        for (const RebuiltVoice& v : voices_) fresh = std::max(fresh, std::atoi(v.voice.c_str()));
        names_.assign(voices_.size(), "");
        for (size_t vi = 0; vi < voices_.size(); ++vi) {
            const RebuiltVoice& v = voices_[vi];
            names_[vi] = v.voice;
            bool taken = false, joined = false;
            for (std::vector<size_t>& group : groups) {
                if (names_[group.front()] != v.voice) continue;
                bool fits = true;
                for (size_t g : group) fits = fits && Interlock(voices_[g].events, v.events);
                if (fits) group.push_back(vi);
                joined = fits;
                taken = !fits;
                break;
            }
            if (joined) continue;
            for (const Kept& k : kept_) taken = taken || (k.voice == v.voice && k.staff != v.staff);
            if (taken) names_[vi] = std::to_string(++fresh);
            groups.push_back({vi});
        }
        return groups;
    }

    // Whether two voices' notes either meet as one chord (same time, same length) or miss each other.
    static bool Interlock(const std::vector<Event>& a, const std::vector<Event>& b) {
        for (const Event& x : a)
            for (const Event& y : b) {
                if (x.kind == EventKind::Gap || y.kind == EventKind::Gap) continue;
                bool same = x.onset == y.onset && x.duration == y.duration && x.grace == y.grace;
                bool overlap = (x.onset < y.End() && y.onset < x.End()) || (x.onset == y.onset && x.grace && y.grace);
                if (overlap && !same) return false;
            }
        return true;
    }

    // The events of a group in time order, those that sound together as one.
    std::vector<std::vector<std::pair<size_t, size_t>>> Timeline(const std::vector<size_t>& group) const {
        std::vector<std::pair<size_t, size_t>> all;
        for (size_t vi : group)
            for (size_t j = 0; j < voices_[vi].events.size(); ++j)
                if (voices_[vi].events[j].kind != EventKind::Gap) all.push_back({vi, j});
        auto event = [this](std::pair<size_t, size_t> at) -> const Event& {
            return voices_[at.first].events[at.second];
        };
        std::stable_sort(all.begin(), all.end(), [&](auto a, auto b) {
            const Event &x = event(a), &y = event(b);
            return x.onset != y.onset ? x.onset < y.onset : x.grace && !y.grace;
        });
        std::vector<std::vector<std::pair<size_t, size_t>>> slots;
        for (auto at : all) {
            if (!slots.empty()) {
                const Event& last = event(slots.back().front());
                const Event& e = event(at);
                bool memberFree =
                    std::none_of(slots.back().begin(), slots.back().end(), [&](auto m) { return m.first == at.first; });
                if (memberFree && !(e.grace && last.grace) && e.onset == last.onset && e.duration == last.duration &&
                    e.grace == last.grace) {
                    slots.back().push_back(at);
                    continue;
                }
            }
            slots.push_back({at});
        }
        return slots;
    }

    void Block(pugi::xml_node before) {
        for (const std::vector<size_t>& group : Groups()) {
            size_t vi = group.front();
            std::vector<NotePlacement> placements;
            for (size_t g : group) placements.push_back({names_[g], multiStaff_ ? voices_[g].staff : 0, 0});
            Move(Rational(0), before);
            marks_.clear();
            mark_ = 0;
            for (size_t k = 0; k < kept_.size(); ++k)
                for (size_t g : group)
                    if (kept_[k].owner == static_cast<int>(g)) marks_.push_back(k);
            std::stable_sort(marks_.begin(), marks_.end(),
                             [this](size_t a, size_t b) { return kept_[a].target < kept_[b].target; });
            for (size_t g : group) result_.written[g].assign(voices_[g].events.size(), pugi::xml_node());
            for (const auto& slot : Timeline(group)) {
                const Event& e = voices_[slot.front().first].events[slot.front().second];
                // Between the notes, the skip belongs to the staff of the note it leads to.
                size_t g =
                    static_cast<size_t>(std::find(group.begin(), group.end(), slot.front().first) - group.begin());
                NotePlacement skip = placements[g];
                if (skip.staff > 0 && !e.notes.empty() && e.notes.front().staff > 0) skip.staff = e.notes.front().staff;
                Skip(vi, e.onset, before, skip);
                EmitChord(slot, before, placements, group);
            }
            Fill(vi, before, placements.front());
        }
    }

    void Run() {
        cursor_ = Rational(0);
        divisions_ = apply_ ? startDivisions_ : measure_.divisionsAtStart;
        reach_.clear();
        for (size_t i = 0; i <= kept_.size(); ++i) {
            pugi::xml_node node = i < kept_.size() ? kept_[i].node : pugi::xml_node();
            if (i == blockAt_) Block(node);
            if (i == kept_.size()) break;
            const Kept& k = kept_[i];
            if (k.owner != kNoOwner) continue;
            if (k.placed) {
                // A <forward> that leads to a note belongs to the note's voice, unless that
                // voice has got further already.
                NotePlacement owner{k.voice, multiStaff_ ? k.staff : 0, 0};
                auto reached = reach_.find({k.staff, k.voice});
                bool owned = !k.voice.empty() && (reached == reach_.end() || reached->second <= cursor_);
                Move(k.target, node, owned ? &owner : nullptr);
            }
            cursor_ += k.advance;
            if (!k.voice.empty()) {
                Rational& reach = reach_[{k.staff, k.voice}];
                reach = std::max(reach, cursor_);
            }
            if (k.setsDivisions) divisions_ = k.divisionsAfter;
        }
    }

    const Measure& measure_;
    pugi::xml_node measureNode_;
    std::vector<Kept>& kept_;
    size_t blockAt_;
    const std::vector<RebuiltVoice>& voices_;
    bool multiStaff_;
    pugi::xml_node scratch_;
    RewriteResult& result_;
    bool apply_ = false;
    int64_t needed_ = 1;
    Rational cursor_;
    Rational divisions_;
    Rational startDivisions_;
    std::map<std::pair<int, std::string>, Rational> reach_;
    std::vector<size_t> marks_; // the kept marks the voice being written owns, by time
    size_t mark_ = 0;
    std::vector<std::string> names_; // the voice each rebuilt voice is written as
};

// The measure's elements sorted for a rewrite: those that stay, each with its time, and those
// that go (the rebuilt voices' notes and every <backup> and <forward>).
struct SortedElements {
    std::vector<Kept> kept;
    std::vector<pugi::xml_node> removed;
    Rational divisionsAtEnd;
};

int RebuiltIndex(const std::vector<RebuiltVoice>& voices, int staff, const std::string& voice) {
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].staff == staff && voices[i].voice == voice) return static_cast<int>(i);
    return -1;
}

// Whether `time` is where an event of the voice begins, or at or past its end: a place
// between its notes.
bool BetweenNotes(const RebuiltVoice& voice, Rational time) {
    if (voice.events.empty() || time >= voice.events.back().End()) return true;
    for (const Event& e : voice.events)
        if (e.onset == time) return true;
    return false;
}

// The rebuilt voice a direction, harmony, sound or mid-measure attributes go with: the voice
// it names, else the first rebuilt voice of its staff, else the first rebuilt voice (its time
// is all that places it). It stays where it is (kNoOwner) when it names a voice that stays,
// or when it falls inside a rebuilt note where a kept note begins.
void ChooseOwner(Kept& k, const std::vector<RebuiltVoice>& voices, bool multiStaff,
                 const std::vector<Rational>& keptOnsets) {
    std::string voice = ChildText(k.node, "voice");
    int staff = multiStaff ? StaffOf(k.node) : 1;
    bool staffGiven = static_cast<bool>(k.node.child("staff"));
    int owner = kNoOwner;
    for (size_t i = 0; i < voices.size() && owner == kNoOwner; ++i) {
        bool staffFits = !multiStaff || voices[i].staff == staff;
        if (voice.empty() ? staffFits : voices[i].voice == voice && (staffFits || !staffGiven))
            owner = static_cast<int>(i);
    }
    if (owner == kNoOwner && voice.empty()) owner = 0;
    if (owner == kNoOwner) return;
    const RebuiltVoice& v = voices[static_cast<size_t>(owner)];
    bool anchorable = k.anchorable && Anchorable(k.node) && (!multiStaff || v.staff == staff);
    bool onAttack = false;
    for (const auto& onset : v.attackOnsets) onAttack |= onset.first == k.target;
    if (!(anchorable && onAttack) && !BetweenNotes(v, k.target) &&
        std::find(keptOnsets.begin(), keptOnsets.end(), k.target) != keptOnsets.end())
        return;
    k.owner = owner;
    k.anchorable = anchorable;
}

SortedElements SortElements(const Part& part, const Measure& measure, pugi::xml_node measureNode,
                            const std::vector<RebuiltVoice>& voices) {
    SortedElements sorted;
    MeasureWalker walker(measureNode, measure.divisionsAtStart, "part " + part.id + ", measure " + measure.number);
    bool multiStaff = part.staffCount > 1;
    bool chordLeaderKept = true; // whether the current chord has a note placed in time
    std::vector<size_t> figures; // figured bass waiting for the note it stands over
    bool timed = false;          // whether a note or move came before
    WalkStep step;
    while (walker.Next(step)) {
        if (step.type == StepType::Backup || step.type == StepType::Forward) {
            sorted.removed.push_back(step.node);
            timed = true;
            continue;
        }
        Kept k;
        k.node = step.node;
        k.target = step.cursorBefore;
        k.midMeasure = timed;
        timed |= step.type == StepType::Note;
        if (step.type == StepType::Note) {
            int index = RebuiltIndex(voices, part.LayerStaff(step.staff, step.voice), step.voice);
            for (size_t f : figures) {
                Kept& figure = sorted.kept[f];
                figure.owner = index >= 0 ? index : kNoOwner;
                figure.anchorable = index >= 0;
                figure.pendingOwner = false;
                // Figures go with the note after them, wherever the note now starts.
                if (index >= 0) figure.node.remove_child("offset");
            }
            figures.clear();
            if (!step.chord) chordLeaderKept = index < 0;
            if (index >= 0) {
                sorted.removed.push_back(step.node);
                continue;
            }
            k.staff = step.staff;
            k.voice = step.voice;
            if (step.chord && chordLeaderKept) {
                k.placed = false;
            } else {
                k.dropChordMark = step.chord;
                chordLeaderKept = true;
                k.target = step.start;
                k.advance = step.duration;
            }
        } else if (Named(step.node, "attributes") && step.node.child("divisions")) {
            k.setsDivisions = true;
            k.divisionsAfter = walker.Divisions();
        } else if (IsTimedMark(step.node) || (Named(step.node, "attributes") && step.cursorBefore > Rational(0))) {
            k.pendingOwner = true;
            k.anchorable = !Named(step.node, "attributes");
            if (Named(step.node, "figured-bass")) figures.push_back(sorted.kept.size());
        }
        sorted.kept.push_back(k);
    }
    std::vector<Rational> keptOnsets;
    for (const Kept& k : sorted.kept)
        if (!k.voice.empty() && k.placed) keptOnsets.push_back(k.target);
    for (Kept& k : sorted.kept)
        if (k.pendingOwner) ChooseOwner(k, voices, multiStaff, keptOnsets);
    sorted.divisionsAtEnd = walker.Divisions();
    return sorted;
}

// The rebuilt voices go before the barlines that close the measure.
size_t RebuiltVoicesPosition(const std::vector<Kept>& kept) {
    size_t at = kept.size();
    while (at > 0 && Named(kept[at - 1].node, "barline")) --at;
    return at;
}

void RemoveElements(pugi::xml_node measureNode, const SortedElements& sorted) {
    for (pugi::xml_node node : sorted.removed) measureNode.remove_child(node);
    for (const Kept& k : sorted.kept)
        if (k.dropChordMark) {
            pugi::xml_node note = k.node;
            note.remove_child("chord");
        }
}

// Rewritten, a measure keeps the divisions of its start throughout, in the least common
// multiple of those it had: readers time a voice written after a change of divisions inside
// the measure wrongly. Answers whether it had such a change; `start` then holds the new value.
bool UnifyDivisions(std::vector<Kept>& kept, Rational& start) {
    // Before the first <divisions> of a score none are in force (0).
    int64_t lcm = start.IsZero() ? 1 : start.IsInteger() ? start.Num() : 0;
    bool mid = false;
    for (const Kept& k : kept) {
        if (!k.setsDivisions) continue;
        mid |= k.midMeasure;
        if (!k.divisionsAfter.IsInteger() || lcm <= 0) return false;
        lcm = LeastCommonMultiple(lcm, k.divisionsAfter.Num());
        if (lcm <= 0 || lcm > kMaxDivisions) return false;
    }
    if (!mid) return false;
    Rational divisions = start;
    for (Kept& k : kept) {
        if (k.setsDivisions) {
            divisions = k.divisionsAfter;
            if (k.midMeasure)
                k.node.remove_child("divisions");
            else
                k.node.child("divisions").text().set(static_cast<long long>(lcm));
            k.setsDivisions = false;
        } else if (int64_t factor = divisions.IsZero() ? 1 : lcm / divisions.Num(); factor > 1) {
            ScaleKept(k.node, factor);
        }
    }
    start = Rational(lcm);
    return true;
}

// The factor the divisions must be multiplied by to hold the new rhythm exactly; 1 where that
// would take them past kMaxDivisions (durations are rounded then).
int64_t DivisionsFactor(Layout& layout, const Measure& measure, const SortedElements& sorted) {
    int64_t factor = layout.NeededFactor();
    Rational largest = std::max(measure.divisionsAtStart, sorted.divisionsAtEnd);
    for (const Kept& k : sorted.kept)
        if (k.setsDivisions) largest = std::max(largest, k.divisionsAfter);
    if (factor <= 0 || largest * Rational(factor) > Rational(kMaxDivisions)) return 1;
    return factor;
}

void ScaleKeptElements(std::vector<Kept>& kept, int64_t factor) {
    for (Kept& k : kept) {
        ScaleKept(k.node, factor);
        if (k.setsDivisions) k.divisionsAfter = k.divisionsAfter * Rational(factor);
    }
}

} // namespace

void EnsureDivisionsAtStart(pugi::xml_node measure, Rational divisions) {
    pugi::xml_node first = measure.first_child();
    while (first && first.type() != pugi::node_element) first = first.next_sibling();
    if (first && Named(first, "attributes")) {
        if (first.child("divisions")) return;
        // <divisions> follows the editorial elements and precedes everything else.
        pugi::xml_node after = first.first_child();
        while (after && (Named(after, "footnote") || Named(after, "level"))) after = after.next_sibling();
        pugi::xml_node d = after ? first.insert_child_before("divisions", after) : first.append_child("divisions");
        d.text().set(DecimalText(divisions).c_str());
        return;
    }
    pugi::xml_node attributes =
        first ? measure.insert_child_before("attributes", first) : measure.append_child("attributes");
    attributes.append_child("divisions").text().set(DecimalText(divisions).c_str());
}

RewriteResult RewriteMeasure(const Part& part, const Measure& measure, pugi::xml_node measureNode,
                             const std::vector<RebuiltVoice>& voices, pugi::xml_node scratch) try {
    RewriteResult result;
    result.written.resize(voices.size());
    result.restsFilled.resize(voices.size());
    result.dropped.resize(voices.size());
    SortedElements sorted = SortElements(part, measure, measureNode, voices);
    size_t blockAt = RebuiltVoicesPosition(sorted.kept);
    RemoveElements(measureNode, sorted);

    // What the layout needs of the measure, with the divisions it is written in.
    Measure shape;
    shape.number = measure.number;
    shape.length = measure.length;
    shape.divisionsAtStart = measure.divisionsAtStart;
    bool unified = UnifyDivisions(sorted.kept, shape.divisionsAtStart);
    Layout layout(shape, measureNode, sorted.kept, blockAt, voices, part.staffCount, scratch, result);
    int64_t factor = DivisionsFactor(layout, shape, sorted);
    if (factor > 1) ScaleKeptElements(sorted.kept, factor);
    layout.Apply(factor);
    if (factor > 1 || unified) {
        EnsureDivisionsAtStart(measureNode, shape.divisionsAtStart * Rational(factor));
        result.divisionsChanged = true;
        result.divisionsForNext = sorted.divisionsAtEnd;
    }
    return result;
} catch (const TimeOverflow& e) {
    throw CliError(ExitCode::BadInput, "part " + part.id + ", measure " + measure.number + ": " + e.what());
}

} // namespace beatclone::cli
