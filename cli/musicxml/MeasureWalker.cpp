#include "cli/musicxml/MeasureWalker.h"

#include "cli/CliError.h"
#include "cli/musicxml/XmlValues.h"

#include <utility>

namespace beatclone::cli {
namespace {

// Durations beyond this many divisions are refused: no real score comes near it, and it keeps
// every time value far from overflow.
constexpr int64_t kMaxDurationDivisions = 1'000'000'000;
constexpr int64_t kMaxDivisions = 1'000'000'000;

} // namespace

MeasureWalker::MeasureWalker(pugi::xml_node measure, Rational divisionsAtStart, std::string where, bool timed)
    : next_(measure.first_child()), divisions_(divisionsAtStart), where_(std::move(where)), timed_(timed) {}

MeasureWalker::MeasureWalker(pugi::xml_node measure, Rational divisionsAtStart, std::function<std::string()> makeWhere,
                             bool timed)
    : next_(measure.first_child()), divisions_(divisionsAtStart), makeWhere_(std::move(makeWhere)), timed_(timed) {}

const std::string& MeasureWalker::Where() const {
    if (makeWhere_) {
        where_ = makeWhere_();
        makeWhere_ = nullptr;
    }
    return where_;
}

void MeasureWalker::Fail(const std::string& what) const { throw CliError(ExitCode::BadInput, Where() + ": " + what); }

void MeasureWalker::ReadStaffAndVoice(pugi::xml_node staff, pugi::xml_node voice, WalkStep& step) const {
    if (staff) {
        std::optional<int64_t> s = ParseInteger(TrimmedText(staff), 1, kMaxStavesPerPart);
        if (!s) Fail("bad <staff> \"" + std::string(TrimmedText(staff)) + "\"");
        step.staff = static_cast<int>(*s);
    }
    std::string_view text = TrimmedText(voice);
    if (text.empty()) text = "1";
    // Most notes repeat the voice of the step before; that needs no copy.
    if (step.voice != text) step.voice.assign(text);
}

Rational MeasureWalker::Duration(pugi::xml_node element, pugi::xml_node duration) const {
    if (!duration) Fail(std::string("<") + element.name() + "> without <duration>");
    std::optional<Rational> value = ParseDecimal(TrimmedText(duration));
    if (!value || *value < Rational(0) || *value > Rational(kMaxDurationDivisions))
        Fail("bad <duration> \"" + std::string(TrimmedText(duration)) + "\"");
    if (divisions_.IsZero()) Fail(std::string("<") + element.name() + "> before any <divisions>");
    return *value / divisions_;
}

namespace {

// Whether the NUL-terminated `name` is `literal`; stops at the first difference, so it never
// reads past the end of a shorter name.
template <size_t N, size_t... I>
inline bool NameIs(const char* name, const char (&literal)[N], std::index_sequence<I...>) {
    return ((name[I] == literal[I]) && ...);
}

template <size_t N>
inline bool NameIs(const char* name, const char (&literal)[N]) {
    return NameIs(name, literal, std::make_index_sequence<N>{});
}

const NoteFields kNoFields{};

// The parser lays out an element's nodes, and its text, one after the other: the next
// element's are asked for from memory while this one is read, rather than one at a time as
// the walk reaches them.
void PrefetchAhead(pugi::xml_node next) {
    constexpr uintptr_t kNodeLines = 16, kTextLines = 8, kLine = 64;
    if (!next) return;
    // As addresses, not pointers: the lines ahead may lie past the node's own memory.
    const uintptr_t node = reinterpret_cast<uintptr_t>(next.internal_object());
    for (uintptr_t line = 0; line < kNodeLines; ++line)
        __builtin_prefetch(reinterpret_cast<void*>(node + kLine * line));
    const uintptr_t text = reinterpret_cast<uintptr_t>(next.name());
    for (uintptr_t line = 0; line < kTextLines; ++line)
        __builtin_prefetch(reinterpret_cast<void*>(text + kLine * line));
}

void ScanNote(pugi::xml_node note, NoteFields& f) {
    for (pugi::xml_node c = note.first_child(); c; c = c.next_sibling()) {
        const char* name = c.name();
        switch (name[0]) {
            case 'c':
                if (NameIs(name, "chord"))
                    f.chord = c;
                else if (NameIs(name, "cue"))
                    f.cue = c;
                break;
            case 'd':
                if (NameIs(name, "duration"))
                    f.duration = c;
                else if (NameIs(name, "dot"))
                    ++f.dots;
                break;
            case 'g':
                if (NameIs(name, "grace")) f.grace = c;
                break;
            case 'n':
                if (NameIs(name, "notations")) f.notations = true;
                break;
            case 'p':
                if (NameIs(name, "pitch")) f.pitch = c;
                break;
            case 'r':
                if (NameIs(name, "rest")) f.rest = c;
                break;
            case 's':
                if (NameIs(name, "staff")) f.staff = c;
                break;
            case 't':
                if (NameIs(name, "type"))
                    f.type = c;
                else if (NameIs(name, "tie"))
                    f.ties = true;
                else if (NameIs(name, "time-modification"))
                    f.timeModification = c;
                break;
            case 'u':
                if (NameIs(name, "unpitched")) f.unpitched = c;
                break;
            case 'v':
                if (NameIs(name, "voice")) f.voice = c;
                break;
            default:
                break;
        }
    }
}

} // namespace

void MeasureWalker::Reset(WalkStep& step, pugi::xml_node node) const {
    // Everything as in a fresh WalkStep, without building one. The voice is left to the
    // steps below: notes and forwards read one, the rest clear it.
    step.node = node;
    step.type = StepType::Other;
    step.cursorBefore = cursor_;
    step.start = Rational();
    step.duration = Rational();
    step.chord = false;
    step.grace = false;
    step.staff = 1;
    step.note = kNoFields;
}

void MeasureWalker::StepNote(WalkStep& step) {
    pugi::xml_node node = step.node;
    step.type = StepType::Note;
    ScanNote(node, step.note);
    step.grace = static_cast<bool>(step.note.grace);
    step.chord = static_cast<bool>(step.note.chord);
    step.duration = (step.grace || !timed_) ? Rational(0) : Duration(node, step.note.duration);
    ReadStaffAndVoice(step.note.staff, step.note.voice, step);
    // Some exporters leave <voice> and <staff> off the later notes of a chord.
    if (step.chord && haveNote_) {
        if (!step.note.voice) step.voice = lastVoice_;
        if (!step.note.staff) step.staff = lastStaff_;
    }
    if (lastVoice_ != step.voice) lastVoice_ = step.voice;
    lastStaff_ = step.staff;
    if (step.chord && haveNote_) {
        step.start = lastNoteStart_;
    } else {
        step.start = cursor_;
        lastNoteStart_ = cursor_;
        cursor_ += step.duration;
    }
    haveNote_ = true;
}

void MeasureWalker::StepBackup(WalkStep& step) {
    step.type = StepType::Backup;
    step.voice.clear();
    if (timed_) step.duration = Duration(step.node, step.node.child("duration"));
    if (step.duration > cursor_) Fail("<backup> goes back past the start of the measure");
    cursor_ -= step.duration;
}

void MeasureWalker::StepForward(WalkStep& step) {
    step.type = StepType::Forward;
    if (timed_) step.duration = Duration(step.node, step.node.child("duration"));
    ReadStaffAndVoice(step.node.child("staff"), step.node.child("voice"), step);
    cursor_ += step.duration;
}

void MeasureWalker::StepOther(WalkStep& step) {
    step.voice.clear();
    if (!NameIs(step.node.name(), "attributes")) return;
    if (pugi::xml_node d = step.node.child("divisions")) {
        std::optional<Rational> value = ParseDecimal(TrimmedText(d));
        if (!value || *value <= Rational(0) || *value > Rational(kMaxDivisions))
            Fail("bad <divisions> \"" + std::string(TrimmedText(d)) + "\"");
        divisions_ = *value;
    }
}

bool MeasureWalker::Next(WalkStep& step) {
    while (next_ && next_.type() != pugi::node_element) next_ = next_.next_sibling();
    if (!next_) return false;
    pugi::xml_node node = next_;
    next_ = next_.next_sibling();
    PrefetchAhead(next_);

    Reset(step, node);
    const char* name = node.name();
    if (NameIs(name, "note"))
        StepNote(step);
    else if (NameIs(name, "backup"))
        StepBackup(step);
    else if (NameIs(name, "forward"))
        StepForward(step);
    else
        StepOther(step);
    if (cursor_ > furthest_) furthest_ = cursor_;
    return true;
}

} // namespace beatclone::cli
