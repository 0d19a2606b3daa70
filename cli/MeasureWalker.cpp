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

MeasureWalker::MeasureWalker(pugi::xml_node measure, Rational divisionsAtStart, std::string where)
    : next_(measure.first_child()), divisions_(divisionsAtStart), where_(std::move(where)) {}

void MeasureWalker::Fail(const std::string& what) const { throw CliError(ExitCode::BadInput, where_ + ": " + what); }

void MeasureWalker::ReadStaffAndVoice(pugi::xml_node element, WalkStep& step) const {
    if (pugi::xml_node staff = element.child("staff")) {
        std::optional<int64_t> s = ParseInteger(TrimmedText(staff), 1, kMaxStavesPerPart);
        if (!s) Fail("bad <staff> \"" + std::string(TrimmedText(staff)) + "\"");
        step.staff = static_cast<int>(*s);
    }
    std::string_view voice = TrimmedText(element.child("voice"));
    step.voice = voice.empty() ? "1" : std::string(voice);
}

Rational MeasureWalker::Duration(pugi::xml_node element, bool required) const {
    pugi::xml_node d = element.child("duration");
    if (!d) {
        if (required) Fail(std::string("<") + element.name() + "> without <duration>");
        return Rational(0);
    }
    std::optional<Rational> value = ParseDecimal(TrimmedText(d));
    if (!value || *value < Rational(0) || *value > Rational(kMaxDurationDivisions))
        Fail("bad <duration> \"" + std::string(TrimmedText(d)) + "\"");
    if (divisions_.IsZero()) Fail(std::string("<") + element.name() + "> before any <divisions>");
    return *value / divisions_;
}

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
        step.grace = static_cast<bool>(node.child("grace"));
        step.chord = static_cast<bool>(node.child("chord"));
        step.duration = step.grace ? Rational(0) : Duration(node, true);
        ReadStaffAndVoice(node, step);
        // Some exporters leave <voice> and <staff> off the later notes of a chord.
        if (step.chord && haveNote_) {
            if (!node.child("voice")) step.voice = lastVoice_;
            if (!node.child("staff")) step.staff = lastStaff_;
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
        step.duration = Duration(node, true);
        if (step.duration > cursor_) Fail("<backup> goes back past the start of the measure");
        cursor_ -= step.duration;
    } else if (std::strcmp(name, "forward") == 0) {
        step.type = StepType::Forward;
        step.duration = Duration(node, true);
        ReadStaffAndVoice(node, step);
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
