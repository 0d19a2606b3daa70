#include "cli/MeasureWalker.h"

#include "cli/CliError.h"
#include "cli/XmlValues.h"

#include <cstring>

namespace beatclone::cli {
namespace {

// Durations beyond this many divisions are refused: no real score comes near it, and it keeps
// every time value far from overflow.
constexpr int64_t kMaxDurationDivisions = 1'000'000'000;
constexpr int64_t kMaxDivisions = 1'000'000'000;

} // namespace

MeasureWalker::MeasureWalker(pugi::xml_node measure, Rational divisionsAtStart, std::string where, bool timed)
    : next_(measure.first_child()), divisions_(divisionsAtStart), where_(std::move(where)), timed_(timed) {}

void MeasureWalker::Fail(const std::string& what) const { throw CliError(ExitCode::BadInput, where_ + ": " + what); }

void MeasureWalker::ReadStaffAndVoice(pugi::xml_node staff, pugi::xml_node voice, WalkStep& step) const {
    if (staff) {
        std::optional<int64_t> s = ParseInteger(TrimmedText(staff), 1, kMaxStavesPerPart);
        if (!s) Fail("bad <staff> \"" + std::string(TrimmedText(staff)) + "\"");
        step.staff = static_cast<int>(*s);
    }
    std::string_view text = TrimmedText(voice);
    step.voice = text.empty() ? "1" : std::string(text);
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

void ScanNote(pugi::xml_node note, NoteFields& f) {
    for (pugi::xml_node c = note.first_child(); c; c = c.next_sibling()) {
        const char* name = c.name();
        switch (name[0]) {
        case 'c':
            if (std::strcmp(name, "chord") == 0) f.chord = c;
            else if (std::strcmp(name, "cue") == 0) f.cue = c;
            break;
        case 'd':
            if (std::strcmp(name, "duration") == 0) f.duration = c;
            else if (std::strcmp(name, "dot") == 0) ++f.dots;
            break;
        case 'g':
            if (std::strcmp(name, "grace") == 0) f.grace = c;
            break;
        case 'n':
            if (std::strcmp(name, "notations") == 0) f.notations = true;
            break;
        case 'p':
            if (std::strcmp(name, "pitch") == 0) f.pitch = c;
            break;
        case 'r':
            if (std::strcmp(name, "rest") == 0) f.rest = c;
            break;
        case 's':
            if (std::strcmp(name, "staff") == 0) f.staff = c;
            break;
        case 't':
            if (std::strcmp(name, "type") == 0) f.type = c;
            else if (std::strcmp(name, "tie") == 0) f.ties = true;
            else if (std::strcmp(name, "time-modification") == 0) f.timeModification = c;
            break;
        case 'u':
            if (std::strcmp(name, "unpitched") == 0) f.unpitched = c;
            break;
        case 'v':
            if (std::strcmp(name, "voice") == 0) f.voice = c;
            break;
        default:
            break;
        }
    }
}

} // namespace

bool MeasureWalker::Next(WalkStep& step) {
    while (next_ && next_.type() != pugi::node_element) next_ = next_.next_sibling();
    if (!next_) return false;
    pugi::xml_node node = next_;
    next_ = next_.next_sibling();

    step = WalkStep{};
    step.node = node;
    step.cursorBefore = cursor_;
    const char* name = node.name();

    if (std::strcmp(name, "note") == 0) {
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
        lastVoice_ = step.voice;
        lastStaff_ = step.staff;
        if (step.chord && haveNote_) {
            step.start = lastNoteStart_;
        } else {
            step.start = cursor_;
            lastNoteStart_ = cursor_;
            cursor_ += step.duration;
        }
        haveNote_ = true;
    } else if (std::strcmp(name, "backup") == 0) {
        step.type = StepType::Backup;
        if (timed_) step.duration = Duration(node, node.child("duration"));
        if (step.duration > cursor_) Fail("<backup> goes back past the start of the measure");
        cursor_ -= step.duration;
    } else if (std::strcmp(name, "forward") == 0) {
        step.type = StepType::Forward;
        if (timed_) step.duration = Duration(node, node.child("duration"));
        ReadStaffAndVoice(node.child("staff"), node.child("voice"), step);
        cursor_ += step.duration;
    } else {
        if (std::strcmp(name, "attributes") == 0) {
            if (pugi::xml_node d = node.child("divisions")) {
                std::optional<Rational> value = ParseDecimal(TrimmedText(d));
                if (!value || *value <= Rational(0) || *value > Rational(kMaxDivisions))
                    Fail("bad <divisions> \"" + std::string(TrimmedText(d)) + "\"");
                divisions_ = *value;
            }
        }
    }
    if (cursor_ > furthest_) furthest_ = cursor_;
    return true;
}

} // namespace beatclone::cli
