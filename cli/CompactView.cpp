#include "cli/CompactView.h"

#include "cli/Articulations.h"
#include "cli/HostLayerReader.h"
#include "cli/HostMapping.h"
#include "cli/NoteValues.h"

namespace beatclone::cli {
namespace {

std::string PitchName(const PitchValue& p) {
    std::string name(1, "CDEFGAB"[p.step % 7]);
    if (p.alter > 0) name += std::string(static_cast<size_t>(p.alter), '#');
    if (p.alter < 0) name += std::string(static_cast<size_t>(-p.alter), 'b');
    return name + std::to_string(p.octave);
}

std::string EventText(const Event& e) {
    std::string text = e.grace ? "g:" : "";
    std::string value = ShortValueName(e.notated);
    if (e.kind == EventKind::Gap) return "_" + value;
    if (e.kind == EventKind::Rest) {
        text += e.measureRest ? "R" : "r" + value;
    } else {
        bool tied = false;
        std::string pitches;
        for (const NoteHead& n : e.notes) {
            pitches += (pitches.empty() ? "" : " ") + PitchName(n.pitch);
            tied |= n.tieStart;
        }
        text += (e.notes.size() > 1 ? "[" + pitches + "]" : pitches) + value + (tied ? "~" : "");
    }
    if (!e.articulations.empty()) {
        text += "{";
        for (const ArticulationMark& a : e.articulations) text += ArticulationSymbol(a.kind);
        text += "}";
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
            line += " ";
            for (const TupletMark& t : e.tupletMarks)
                if (t.start) line += std::to_string(t.actual) + ":" + std::to_string(t.normal) + "[";
            line += EventText(e);
            for (const TupletMark& t : e.tupletMarks)
                if (!t.start) line += "]";
        }
    }
    bool empty = line.find_first_not_of(" |") == std::string::npos;
    return empty ? "(empty)" : line.substr(1);
}

int CountAttacks(const simhost::Document& document, int16_t instrument, int16_t layer, size_t firstMeasure,
                 size_t lastMeasure) {
    int count = 0;
    bool tied = false;
    for (size_t m = firstMeasure; m <= lastMeasure; ++m)
        for (const EntryRecord& entry : document.Entries(instrument, HostMeasure(m), layer)) {
            if ((entry.entryFlags & NoteEntryFlag) == 0) {
                tied = false;
                continue;
            }
            if (!tied) ++count;
            tied = false;
            for (int k = 0; k < NoteCountOf(entry); ++k)
                if (entry.notes[k].noteFlags & TieForwardFlag) {
                    tied = true;
                    break;
                }
        }
    return count;
}

} // namespace beatclone::cli
