#include "cli/command/CompactView.h"

#include "cli/hostmap/HostLayerReader.h"
#include "cli/hostmap/HostMapping.h"
#include "cli/score/NoteValues.h"

#include <array>
#include <utility>

namespace beatclone::cli {
namespace {

constexpr std::array<std::pair<ArticulationKind, const char*>, 17> kSymbols = {{
    {ArticulationKind::Staccato, "."},
    {ArticulationKind::Accent, ">"},
    {ArticulationKind::Tenuto, "-"},
    {ArticulationKind::StrongAccent, "^"},
    {ArticulationKind::Staccatissimo, "!"},
    {ArticulationKind::Spiccato, "'"},
    {ArticulationKind::DetachedLegato, "-."},
    {ArticulationKind::Stress, "(stress)"},
    {ArticulationKind::Unstress, "(unstress)"},
    {ArticulationKind::SoftAccent, "<>"},
    {ArticulationKind::BreathMark, ","},
    {ArticulationKind::Caesura, "//"},
    {ArticulationKind::Fermata, "U"},
    {ArticulationKind::Scoop, "(scoop)"},
    {ArticulationKind::Plop, "(plop)"},
    {ArticulationKind::Doit, "(doit)"},
    {ArticulationKind::Falloff, "(falloff)"},
}};

// Appends the mark of an articulation: "." staccato, ">" accent, "-" tenuto, "^" marcato ...
void AppendArticulationSymbol(std::string& text, ArticulationKind kind) {
    for (const auto& [k, symbol] : kSymbols)
        if (k == kind) {
            text += symbol;
            return;
        }
    text += '(';
    text += std::to_string(static_cast<unsigned>(kind));
    text += ')';
}

std::string PitchName(const PitchValue& p) {
    std::string name(1, "CDEFGAB"[p.step % 7]);
    if (p.alter > 0) name.append(static_cast<size_t>(p.alter), '#');
    if (p.alter < 0) name.append(static_cast<size_t>(-p.alter), 'b');
    name += std::to_string(p.octave);
    return name;
}

void AppendNotes(std::string& text, const Event& e, const std::string& value) {
    bool tied = false;
    std::string pitches;
    for (const NoteHead& n : e.notes) {
        if (!pitches.empty()) pitches += ' ';
        pitches += PitchName(n.pitch);
        tied |= n.tieStart;
    }
    if (e.notes.size() > 1) {
        text += '[';
        text += pitches;
        text += ']';
    } else {
        text += pitches;
    }
    text += value;
    if (tied) text += '~';
}

std::string EventText(const Event& e) {
    // Built by appending only: GCC 12 takes assigning or prepending a literal to a string here
    // for an overlapping copy (a false -Wrestrict in optimised builds).
    std::string value = ShortValueName(e.notated);
    std::string text;
    if (e.kind == EventKind::Gap) {
        text += '_';
        text += value;
        return text;
    }
    if (e.grace) text += "g:";
    if (e.kind == EventKind::Rest) {
        text += e.measureRest ? "R" : "r";
        if (!e.measureRest) text += value;
    } else {
        AppendNotes(text, e, value);
    }
    if (!e.articulations.empty()) {
        text += '{';
        for (const ArticulationMark& a : e.articulations) AppendArticulationSymbol(text, a.kind);
        text += '}';
    }
    return text;
}

} // namespace

std::string CompactLayer(const simhost::Document& document, int16_t instrument, int16_t layer, size_t firstMeasure,
                         size_t lastMeasure) {
    std::string line;
    for (size_t m = firstMeasure; m <= lastMeasure; ++m) {
        if (m > firstMeasure) line += " |";
        for (const Event& e : ReadHostLayer(document, instrument, HostMeasure(m), layer)) {
            line += ' ';
            for (const TupletMark& t : e.tupletMarks)
                if (t.start) {
                    line += std::to_string(t.actual);
                    line += ':';
                    line += std::to_string(t.normal);
                    line += '[';
                }
            line += EventText(e);
            for (const TupletMark& t : e.tupletMarks)
                if (!t.start) line += ']';
        }
    }
    bool empty = line.find_first_not_of(" |") == std::string::npos;
    return empty ? "(empty)" : line.substr(1);
}

} // namespace beatclone::cli
