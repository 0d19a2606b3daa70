#include "cli/musicxml/MeasureRewriter.h"

#include "cli/CliError.h"
#include "cli/musicxml/MeasureWalker.h"
#include "cli/musicxml/NoteWriter.h"
#include "cli/musicxml/XmlValues.h"

#include <cstring>
#include <numeric>

namespace beatclone::cli {
namespace {

// Divisions are multiplied at most up to this; beyond it durations are rounded instead.
constexpr int64_t kMaxDivisions = 1'000'000'000;

// An element that stays, with the time it must be reached at.
struct Kept {
    pugi::xml_node node;
    Rational target;
    Rational advance;           // how far the element moves the cursor on
    bool placed = true;         // false for a chord note that follows its chord's first note
    bool dropChordMark = false; // a chord note whose chord's first note is removed
    bool setsDivisions = false;
    Rational divisionsAfter;
};

const char* DroppedKind(std::string_view name) {
    if (name == "dynamics") return "dynamics";
    if (name == "ornaments") return "ornament";
    if (name == "technical") return "technical mark";
    if (name == "glissando") return "glissando";
    if (name == "slide") return "slide";
    if (name == "arpeggiate" || name == "non-arpeggiate") return "arpeggio";
    if (name == "accidental-mark") return "accidental mark";
    if (name == "other-notation") return "other notation";
    if (name == "articulations" || name == "fermata") return "own articulation";
    return nullptr;
}

void CollectDropped(pugi::xml_node note, std::map<std::string, int>& dropped,
                    std::vector<std::pair<bool, int>>& slurEnds) {
    for (pugi::xml_node child : note.children()) {
        std::string_view name = child.name();
        if (name == "lyric") ++dropped["lyric"];
        if (name == "notehead") ++dropped["notehead"];
        if (name == "play") ++dropped["playback setting"];
        if (name != "notations") continue;
        for (pugi::xml_node n : child.children()) {
            if (const char* kind = DroppedKind(n.name())) ++dropped[kind];
            std::string_view type = n.attribute("type").as_string();
            if (std::strcmp(n.name(), "slur") == 0 && (type == "start" || type == "stop"))
                slurEnds.push_back({type == "start", n.attribute("number").as_int(1)});
        }
    }
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

// Lays the measure out: the kept elements in their order, each at its time, and the rebuilt
// voices before any closing barlines. With `apply` off it only learns which denominators the
// chosen divisions would have to absorb.
class Layout {
public:
    Layout(const Measure& measure, pugi::xml_node measureNode, const std::vector<Kept>& kept, size_t blockAt,
           const std::vector<RebuiltVoice>& voices, int staffCountOfPart)
        : measure_(measure),
          measureNode_(measureNode),
          kept_(kept),
          blockAt_(blockAt),
          voices_(voices),
          multiStaff_(staffCountOfPart > 1) {}

    // The least factor that makes every written duration whole.
    int64_t NeededFactor() {
        factor_ = 1;
        apply_ = false;
        needed_ = 1;
        Run();
        return needed_;
    }

    // Writes the moves and the rebuilt voices, with the measure's divisions multiplied by
    // `factor` (the kept elements already scaled by it).
    void Apply(int64_t factor) {
        factor_ = 1;
        apply_ = true;
        startDivisions_ = measure_.divisionsAtStart * Rational(factor);
        Run();
    }

private:
    int64_t Divs(Rational quarters) {
        Rational scaled = quarters * divisions_ * Rational(factor_);
        if (!apply_) needed_ = LeastCommonMultiple(needed_, scaled.Den());
        return scaled.Round();
    }

    void Move(Rational to, pugi::xml_node before) {
        if (to == cursor_) return;
        bool forward = to > cursor_;
        int64_t amount = forward ? Divs(to) - Divs(cursor_) : Divs(cursor_) - Divs(to);
        if (apply_ && amount > 0) WriteMove({measureNode_, before}, forward, amount);
        cursor_ = to;
    }

    void Block(pugi::xml_node before) {
        for (const RebuiltVoice& v : voices_) {
            NotePlacement placement{v.voice, multiStaff_ ? v.staff : 0, 0};
            Move(Rational(0), before);
            for (const Event& e : v.events) {
                Rational end = e.End();
                int64_t length = Divs(end) - Divs(cursor_);
                if (e.kind == EventKind::Gap) {
                    if (apply_ && length > 0) WriteMove({measureNode_, before}, true, length, &placement);
                } else if (apply_) {
                    placement.duration = std::max<int64_t>(length, 1);
                    WriteEvent({measureNode_, before}, e, placement);
                }
                cursor_ = end;
            }
            if (cursor_ < measure_.length) {
                int64_t length = Divs(measure_.length) - Divs(cursor_);
                if (apply_ && length > 0) WriteMove({measureNode_, before}, true, length, &placement);
                cursor_ = measure_.length;
            }
        }
    }

    void Run() {
        cursor_ = Rational(0);
        divisions_ = apply_ ? startDivisions_ : measure_.divisionsAtStart;
        for (size_t i = 0; i <= kept_.size(); ++i) {
            pugi::xml_node node = i < kept_.size() ? kept_[i].node : pugi::xml_node();
            if (i == blockAt_) Block(node);
            if (i == kept_.size()) break;
            const Kept& k = kept_[i];
            if (k.placed) Move(k.target, node);
            cursor_ += k.advance;
            if (k.setsDivisions) divisions_ = k.divisionsAfter;
        }
    }

    const Measure& measure_;
    pugi::xml_node measureNode_;
    const std::vector<Kept>& kept_;
    size_t blockAt_;
    const std::vector<RebuiltVoice>& voices_;
    bool multiStaff_;
    bool apply_ = false;
    int64_t factor_ = 1;
    int64_t needed_ = 1;
    Rational cursor_;
    Rational divisions_;
    Rational startDivisions_;
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

SortedElements SortElements(const Part& part, const Measure& measure, pugi::xml_node measureNode,
                            const std::vector<RebuiltVoice>& voices, RewriteResult& result) {
    SortedElements sorted;
    MeasureWalker walker(measureNode, measure.divisionsAtStart, "part " + part.id + ", measure " + measure.number);
    bool chordLeaderKept = true; // whether the current chord has a note placed in time
    WalkStep step;
    while (walker.Next(step)) {
        if (step.type == StepType::Backup || step.type == StepType::Forward) {
            sorted.removed.push_back(step.node);
            continue;
        }
        Kept k;
        k.node = step.node;
        k.target = step.cursorBefore;
        if (step.type == StepType::Note) {
            int index = RebuiltIndex(voices, step.staff, step.voice);
            if (!step.chord) chordLeaderKept = index < 0;
            if (index >= 0) {
                sorted.removed.push_back(step.node);
                CollectDropped(step.node, result.dropped[static_cast<size_t>(index)],
                               result.slurEnds[static_cast<size_t>(index)]);
                continue;
            }
            if (step.chord && chordLeaderKept) {
                k.placed = false;
            } else {
                k.dropChordMark = step.chord;
                chordLeaderKept = true;
                k.target = step.start;
                k.advance = step.duration;
            }
        } else if (std::strcmp(step.node.name(), "attributes") == 0 && step.node.child("divisions")) {
            k.setsDivisions = true;
            k.divisionsAfter = walker.Divisions();
        }
        sorted.kept.push_back(k);
    }
    sorted.divisionsAtEnd = walker.Divisions();
    return sorted;
}

// The rebuilt voices go before the barlines that close the measure.
size_t RebuiltVoicesPosition(const std::vector<Kept>& kept) {
    size_t at = kept.size();
    while (at > 0 && std::strcmp(kept[at - 1].node.name(), "barline") == 0) --at;
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
    if (first && std::strcmp(first.name(), "attributes") == 0) {
        if (first.child("divisions")) return;
        // <divisions> follows the editorial elements and precedes everything else.
        pugi::xml_node after = first.first_child();
        while (after && (std::strcmp(after.name(), "footnote") == 0 || std::strcmp(after.name(), "level") == 0))
            after = after.next_sibling();
        pugi::xml_node d = after ? first.insert_child_before("divisions", after) : first.append_child("divisions");
        d.text().set(DecimalText(divisions).c_str());
        return;
    }
    pugi::xml_node attributes =
        first ? measure.insert_child_before("attributes", first) : measure.append_child("attributes");
    attributes.append_child("divisions").text().set(DecimalText(divisions).c_str());
}

RewriteResult RewriteMeasure(const Part& part, const Measure& measure, pugi::xml_node measureNode,
                             const std::vector<RebuiltVoice>& voices) try {
    RewriteResult result;
    result.dropped.resize(voices.size());
    result.slurEnds.resize(voices.size());
    SortedElements sorted = SortElements(part, measure, measureNode, voices, result);
    size_t blockAt = RebuiltVoicesPosition(sorted.kept);
    RemoveElements(measureNode, sorted);

    Layout layout(measure, measureNode, sorted.kept, blockAt, voices, part.staffCount);
    int64_t factor = DivisionsFactor(layout, measure, sorted);
    if (factor > 1) ScaleKeptElements(sorted.kept, factor);
    layout.Apply(factor);
    if (factor > 1) {
        EnsureDivisionsAtStart(measureNode, measure.divisionsAtStart * Rational(factor));
        result.divisionsChanged = true;
        result.divisionsForNext = sorted.divisionsAtEnd;
    }
    return result;
} catch (const TimeOverflow& e) {
    throw CliError(ExitCode::BadInput, "part " + part.id + ", measure " + measure.number + ": " + e.what());
}

} // namespace beatclone::cli
