// The stand-in host's own meaning for the record bytes that the module copies but never
// interprets: an entry's duration, a note's pitch, a tuplet definition and an articulation.
// The command-line tool maps MusicXML onto these; tests build scores with them.
#pragma once

#include "host/HostRecords.h"

#include <cstdint>
#include <cstring>

namespace simhost {

// Durations are in EDUs: a quarter note is 1024.
inline constexpr uint32_t kQuarter = 1024;

// EntryRecord bytes 4..7: the notated duration in EDUs, dots included (a dotted quarter is
// 1536), before any tuplet scales it.
inline uint32_t GetDuration(const EntryRecord& e) {
    uint32_t d;
    std::memcpy(&d, e.hostData1, 4);
    return d;
}
inline void SetDuration(EntryRecord& e, uint32_t d) { std::memcpy(e.hostData1, &d, 4); }

// entryFlags bits of the stand-in host's own, outside those the module reads or clears.
inline constexpr uint32_t GraceFlag = 0x00000008u;      // a grace note: takes no time
inline constexpr uint32_t GraceSlashFlag = 0x00000010u; // a slashed grace note
// Added for MusicXML scores (the command-line tool); none of them is in CloneClearMask, so they
// travel with a cloned entry.
inline constexpr uint32_t GapFlag = 0x00000100u;         // an invisible rest: time the voice skips
inline constexpr uint32_t MeasureRestFlag = 0x00000200u; // a rest notated as a whole-measure rest
inline constexpr uint32_t CueFlag = 0x00000800u;         // a cue-sized note that does not sound

// NoteRecord bytes 0..3: the pitch.
struct Pitch {
    uint8_t step;  // 0..6 for C D E F G A B
    int8_t alter;  // semitones, -2..2
    int8_t octave; // 4 holds middle C
    uint8_t extra; // bit 0: the tie that ends here is notated (set on tie-stop notes)
                   // bit 1: an unpitched (percussion) note; step and octave place it
};
inline constexpr uint8_t kPitchTieStopNotated = 0x01;
inline constexpr uint8_t kPitchUnpitched = 0x02;
static_assert(sizeof(Pitch) == 4);
inline Pitch GetPitch(const NoteRecord& n) {
    Pitch p;
    std::memcpy(&p, n.hostData, 4);
    return p;
}
inline void SetPitch(NoteRecord& n, Pitch p) { std::memcpy(n.hostData, &p, 4); }

// The 30-byte tuplet definition (FrameTupletRecord offset 10, tuplet detail records):
// `actual` notes of `unit` EDUs in the time of `normal` of them.
#pragma pack(push, 2)
struct TupletDefinition {
    uint16_t actual;      // e.g. 3 for a triplet
    uint16_t normal;      // e.g. 2
    uint32_t unit;        // notated value of one tuplet note, e.g. 512 for eighths
    uint16_t showNumber;  // 0 none, 1 actual, 2 actual:normal
    uint16_t bracket;     // 0 no bracket, 1 bracket
    uint8_t reserved[18]; // bytes 0..3: the span (below); the rest zero
};
#pragma pack(pop)
static_assert(sizeof(TupletDefinition) == 30);

// The notated EDUs a tuplet spans, each note inside a nested tuplet counted at its value scaled
// by that inner tuplet. 0 (the default) means actual * unit; tuplets of uneven notes need it.
inline uint32_t GetTupletSpan(const TupletDefinition& t) {
    uint32_t span;
    std::memcpy(&span, t.reserved, 4);
    return span != 0 ? span : static_cast<uint32_t>(t.actual) * t.unit;
}
inline void SetTupletSpan(TupletDefinition& t, uint32_t span) { std::memcpy(t.reserved, &span, 4); }

// Detail record tags as the module stores them.
inline constexpr uint32_t kArticulationTag = kArticulationDetailTag;
inline constexpr uint32_t kTupletTag = kTupletDetailTag;

// The 12-byte articulation record: byte 0..1 the kind, the rest as below.
enum ArticulationKind : uint16_t {
    kArtNone = 0,
    kArtStaccato = 1,
    kArtAccent = 2,
    kArtTenuto = 3,
    kArtStrongAccent = 4,
    kArtStaccatissimo = 5,
    kArtSpiccato = 6,
    kArtDetachedLegato = 7,
    kArtStress = 8,
    kArtUnstress = 9,
    kArtSoftAccent = 10,
    kArtBreathMark = 11,
    kArtCaesura = 12,
    kArtFermata = 13,
    kArtScoop = 14,
    kArtPlop = 15,
    kArtDoit = 16,
    kArtFalloff = 17,
};
#pragma pack(push, 2)
struct ArticulationRecord {
    uint16_t articulationId; // an ArticulationKind
    int16_t placement;       // 0 default, 1 above, -1 below
    uint8_t reserved[8];
};
#pragma pack(pop)
static_assert(sizeof(ArticulationRecord) == 12);

} // namespace simhost
