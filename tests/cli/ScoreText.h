// Small MusicXML scores for tests, written in a compact note language:
//
//   "C5:q  D#4:e.  r:h  C4+E4+G4:w  A4:e3  B4:q~  G4:q:acc:stacc  g:D5:e  _:q"
//
// PITCH:VALUE, where VALUE is w h q e s (dots after), "3" after it for a triplet note
// (time-modification 3:2, brackets every three notes), "~" a tie onward. "r" is a rest,
// "_" skipped time (a <forward>), "g:" makes a grace note, "+" joins a chord. Marks after
// another ':' are acc, stacc, ten, ferm, fing (a fingering); "slur(" and "slur)" start and end
// a slur, "lyr" adds a lyric whose text is the note's pitch. Divisions are 12 per quarter unless a part says otherwise.
#pragma once

#include <string>
#include <vector>

namespace beatclone::cli::test {

struct VoiceText {
    int staff = 1;
    int voice = 1;
    std::string notes;
};

struct MeasureText {
    std::vector<VoiceText> voices;
    std::string number; // empty: the measure's position from 1
};

struct PartText {
    std::string id;
    std::string name;
    int staves = 1;
    std::vector<MeasureText> measures;
    int divisions = 12;
};

// A partwise score in 4/4 (each measure lasts as long as its longest voice).
std::string ScoreXml(const std::vector<PartText>& parts);

// A part whose measures hold one voice each: {"C5:q D5:q", "E5:h"} is two measures.
PartText OneVoicePart(const std::string& id, const std::string& name, const std::vector<std::string>& measures);

} // namespace beatclone::cli::test
