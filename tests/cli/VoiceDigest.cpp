#include "VoiceDigest.h"

#include <algorithm>
#include <numeric>
#include <sstream>

namespace beatclone::cli::test {

std::vector<std::string> DigestOf(const VoiceMeasure& voice) {
    std::vector<std::string> lines;
    for (const Event& e : voice.events) {
        if (e.kind == EventKind::Gap) continue;
        std::ostringstream line;
        line << "@" << e.onset.ToString() << " len " << e.duration.ToString() << " value " << e.notated;
        if (e.grace) line << (e.graceSlash ? " grace/" : " grace");
        if (e.cue) line << " cue";
        if (e.kind == EventKind::Rest) line << (e.measureRest ? " measure-rest" : " rest");
        int g = std::gcd(e.tmActual, e.tmNormal);
        if (e.tmActual != e.tmNormal) line << " tuplet " << e.tmActual / g << ":" << e.tmNormal / g;
        std::vector<std::string> notes;
        for (const NoteHead& n : e.notes) {
            std::ostringstream note;
            note << (n.pitch.unpitched ? "u" : "") << "CDEFGAB"[n.pitch.step % 7] << int(n.pitch.alter) << "/"
                 << int(n.pitch.octave) << (n.tieStop ? " <tie" : "") << (n.tieStart ? " tie>" : "");
            if (n.staff != voice.staff) note << " on staff " << n.staff; // a voice crossing the staves
            notes.push_back(note.str());
        }
        std::sort(notes.begin(), notes.end());
        for (const std::string& n : notes) line << " [" << n << "]";
        std::vector<std::string> marks;
        for (const ArticulationMark& a : e.articulations)
            marks.push_back(std::to_string(static_cast<unsigned>(a.kind)) + (a.placement > 0   ? "^"
                                                                             : a.placement < 0 ? "v"
                                                                                               : ""));
        std::sort(marks.begin(), marks.end());
        for (const std::string& m : marks) line << " art" << m;
        lines.push_back(line.str());
    }
    return lines;
}

namespace {

// The voice's events with tie stops completed from the entry before, the previous measure's
// last entry of the same voice included.
VoiceMeasure WithTiesCompleted(const VoiceMeasure& voice, const Event*& previous) {
    VoiceMeasure out = voice;
    for (Event& e : out.events) {
        if (e.kind == EventKind::Gap) {
            previous = nullptr;
            continue;
        }
        if (previous != nullptr && e.kind == EventKind::Note)
            for (const NoteHead& before : previous->notes)
                for (NoteHead& head : e.notes)
                    if (before.tieStart && head.pitch == before.pitch) head.tieStop = true;
        previous = &e;
    }
    return out;
}

VoiceDigest Digest(const Score& score, bool completeTies) {
    VoiceDigest digest;
    for (const Part& part : score.parts) {
        std::map<std::pair<int, std::string>, VoiceMeasure> lastOfVoice;
        for (size_t m = 0; m < part.measures.size(); ++m) {
            std::map<std::pair<int, std::string>, VoiceMeasure> thisMeasure;
            for (const VoiceMeasure& original : part.measures[m].voices) {
                std::pair<int, std::string> key{original.staff, original.voice};
                const VoiceMeasure* v = &original;
                if (completeTies) {
                    const Event* previous = nullptr;
                    auto before = lastOfVoice.find(key);
                    if (before != lastOfVoice.end() && !before->second.events.empty())
                        previous = &before->second.events.back();
                    thisMeasure[key] = WithTiesCompleted(original, previous);
                    v = &thisMeasure[key];
                }
                std::vector<std::string> lines = DigestOf(*v);
                if (lines.empty()) continue;
                digest[part.id + " staff " + std::to_string(v->staff) + " voice " + v->voice + " measure #" +
                       std::to_string(m)] = std::move(lines);
            }
            for (auto& [key, v] : thisMeasure) lastOfVoice[key] = std::move(v);
            // A voice absent from a measure ends no tie in the next one.
            for (auto it = lastOfVoice.begin(); it != lastOfVoice.end();)
                it = (completeTies && !thisMeasure.count(it->first)) ? lastOfVoice.erase(it) : std::next(it);
        }
    }
    return digest;
}

} // namespace

VoiceDigest DigestOf(const Score& score) { return Digest(score, false); }
VoiceDigest DigestWithTiesCompleted(const Score& score) { return Digest(score, true); }

std::string DescribeDifferences(const VoiceDigest& expected, const VoiceDigest& actual, size_t limit) {
    std::ostringstream out;
    size_t shown = 0;
    auto show = [&](const std::string& key, const std::vector<std::string>* a, const std::vector<std::string>* b) {
        if (shown++ >= limit) return;
        out << key << "\n  expected:\n";
        if (a)
            for (const auto& l : *a) out << "    " << l << "\n";
        out << "  actual:\n";
        if (b)
            for (const auto& l : *b) out << "    " << l << "\n";
    };
    for (const auto& [key, lines] : expected) {
        auto it = actual.find(key);
        if (it == actual.end())
            show(key, &lines, nullptr);
        else if (it->second != lines)
            show(key, &lines, &it->second);
    }
    for (const auto& [key, lines] : actual)
        if (!expected.count(key)) show(key, nullptr, &lines);
    if (shown > limit) out << "... and " << (shown - limit) << " more\n";
    return out.str();
}

} // namespace beatclone::cli::test
