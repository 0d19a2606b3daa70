// Records that the host hands to the module and takes back. They are read and changed in
// place, so every offset and size below is the host's and is pinned by a static_assert.
// Little-endian, packed on 2-byte boundaries, 8-byte pointers (4 in the WebAssembly build).
#pragma once

#include <cstddef>
#include <cstdint>

// The value passed as the last argument of every host function call.
inline constexpr uint32_t HostApiVersion = 0x19000000u;

// Positions inside a measure: 0 is its beginning, WholeMeasureEnd its end.
inline constexpr int32_t WholeMeasureEnd = 0x7FFFFFFF;

// Room for notes in one entry record.
inline constexpr int kMaxNotesPerEntry = 12;

// entryFlags bits the module uses.
inline constexpr uint32_t NoteEntryFlag = 0x40000000u;    // the entry holds notes (clear: a rest)
inline constexpr uint32_t EmptyEntryFlag = 0x01000000u;   // set when a placeholder note was made
inline constexpr uint32_t ArticulationFlag = 0x00200000u; // the entry has articulation details
inline constexpr uint32_t TupletFlag = 0x00080000u;       // the entry has tuplet details
// Bits cleared on every entry copied from a source frame into a destination frame.
inline constexpr uint32_t CloneClearMask = 0x007A54C0u;
// entryFlags2 bit cleared on a cloned entry.
inline constexpr uint16_t CloneClearFlags2 = 0x0020u;

// noteFlags bits the module uses.
inline constexpr uint32_t TieForwardFlag = 0x40000000u;      // tied on to the next entry
inline constexpr uint32_t PlaceholderNoteFlag = 0x80000000u; // the note of an emptied entry
inline constexpr uint32_t NoteIdBitsMask = 0x001F0000u;      // low five bits of noteId mirrored here

// EData record types (tags) the module stores: an entry's articulations and its tuplets.
inline constexpr uint32_t kArticulationDetailTag = 0x6564494Du;
inline constexpr uint32_t kTupletDetailTag = 0x45035450u;
// The sequence-number limit: no stored record has it. A record created under it is given the
// next free sequence by the host.
inline constexpr uint16_t kNoSequence = 0xFFFF;

#pragma pack(push, 2)

// Address of one EData record within its type.
struct EDataKey {
    uint32_t number;   // an entry's entryNumber for the module's records
    uint16_t sequence; // the record's place among records of its type under that number
};
static_assert(sizeof(EDataKey) == 6);
static_assert(offsetof(EDataKey, number) == 0);
static_assert(offsetof(EDataKey, sequence) == 4);

// One note inside an entry.
struct NoteRecord {
    uint8_t hostData[4]; // not interpreted: travels with the note
    int16_t noteId;      // non-zero and distinct within the entry once normalized
    uint32_t noteFlags;
};
static_assert(sizeof(NoteRecord) == 10);
static_assert(offsetof(NoteRecord, hostData) == 0);
static_assert(offsetof(NoteRecord, noteId) == 4);
static_assert(offsetof(NoteRecord, noteFlags) == 6);

// One entry of a layer inside a frame.
struct EntryRecord {
    uint32_t entryNumber; // 0: no number yet (the host numbers it on save)
    uint8_t hostData1[4]; // not interpreted
    uint32_t entryFlags;
    uint16_t entryFlags2;
    int16_t noteCount; // 0 to 12; anything else is clamped by the reader
    NoteRecord notes[kMaxNotesPerEntry];
    uint8_t hostData2[10]; // not interpreted
};
static_assert(sizeof(EntryRecord) == 146);
static_assert(offsetof(EntryRecord, entryNumber) == 0);
static_assert(offsetof(EntryRecord, hostData1) == 4);
static_assert(offsetof(EntryRecord, entryFlags) == 8);
static_assert(offsetof(EntryRecord, entryFlags2) == 12);
static_assert(offsetof(EntryRecord, noteCount) == 14);
static_assert(offsetof(EntryRecord, notes) == 16);
static_assert(offsetof(EntryRecord, hostData2) == 136);

// Places one tuplet definition on an entry of the same frame.
struct FrameTupletRecord {
    int16_t entryIndex;     // index into the frame's entries
    uint8_t hostData1[2];   // not interpreted
    int16_t tupletIndex;    // number of this tuplet among the entry's tuplets, from 0
    uint8_t hostData2[4];   // not interpreted
    uint8_t definition[30]; // stored unchanged as a tuplet detail record
};
static_assert(sizeof(FrameTupletRecord) == 40);
static_assert(offsetof(FrameTupletRecord, entryIndex) == 0);
static_assert(offsetof(FrameTupletRecord, hostData1) == 2);
static_assert(offsetof(FrameTupletRecord, tupletIndex) == 4);
static_assert(offsetof(FrameTupletRecord, hostData2) == 6);
static_assert(offsetof(FrameTupletRecord, definition) == 10);

// All entries of one measure of one staff in one layer. The host's frame may be larger;
// the module uses these 34 bytes.
struct TgfFrame {
    uint16_t slotList;    // echoes LoadTGF's first argument
    uint16_t slot;        // echoes the slot
    uint8_t hostData1[2]; // not interpreted
    int16_t measure;      // echoes the measure
    int16_t layer;        // echoes the layer index (0 = the user's layer 1)
    int16_t saveInhibit;  // non-zero: the layer's save leaves this frame alone
    uint8_t hostData2[2]; // not interpreted
    EntryRecord* entries; // entryCount records, 146 bytes apart
    int16_t entryCount;
    FrameTupletRecord* tuplets; // tupletCount records, 40 bytes apart
    int16_t tupletCount;
};
static_assert(offsetof(TgfFrame, slotList) == 0);
static_assert(offsetof(TgfFrame, slot) == 2);
static_assert(offsetof(TgfFrame, hostData1) == 4);
static_assert(offsetof(TgfFrame, measure) == 6);
static_assert(offsetof(TgfFrame, layer) == 8);
static_assert(offsetof(TgfFrame, saveInhibit) == 10);
static_assert(offsetof(TgfFrame, hostData2) == 12);
static_assert(offsetof(TgfFrame, entries) == 14);
#if !defined(__wasm32__)
// The real host is a 64-bit process. The WebAssembly build (32-bit pointers) links the module
// with the stand-in host alone, which shares these declarations, so there the two pointers are
// 4 bytes and the fields after them move; nothing else hands such a build a frame.
static_assert(sizeof(TgfFrame) == 34);
static_assert(offsetof(TgfFrame, entryCount) == 22);
static_assert(offsetof(TgfFrame, tuplets) == 24);
static_assert(offsetof(TgfFrame, tupletCount) == 32);
#endif

// A selected range of staves and measures, as the host reports it.
struct RegionRecord {
    int16_t startSlotList;
    int16_t startSlot;
    int16_t startMeasure;  // 0 together with endMeasure 0: the empty region
    int32_t startPosition; // 0: the beginning of the measure
    int16_t endSlotList;
    int16_t endSlot;
    int16_t endMeasure;
    int32_t endPosition; // WholeMeasureEnd: the end of the measure
};
static_assert(sizeof(RegionRecord) == 20);
static_assert(offsetof(RegionRecord, startSlotList) == 0);
static_assert(offsetof(RegionRecord, startSlot) == 2);
static_assert(offsetof(RegionRecord, startMeasure) == 4);
static_assert(offsetof(RegionRecord, startPosition) == 6);
static_assert(offsetof(RegionRecord, endSlotList) == 10);
static_assert(offsetof(RegionRecord, endSlot) == 12);
static_assert(offsetof(RegionRecord, endMeasure) == 14);
static_assert(offsetof(RegionRecord, endPosition) == 16);

#pragma pack(pop)

// Counts read from host records, bounded by what the record can hold: a negative count or an
// absent array reads as empty, a note count above 12 as 12.
inline int EntryCountOf(const TgfFrame& frame) {
    return (frame.entries == nullptr || frame.entryCount < 0) ? 0 : frame.entryCount;
}
inline int TupletCountOf(const TgfFrame& frame) {
    return (frame.tuplets == nullptr || frame.tupletCount < 0) ? 0 : frame.tupletCount;
}
inline int NoteCountOf(const EntryRecord& entry) {
    if (entry.noteCount < 0) return 0;
    return entry.noteCount > kMaxNotesPerEntry ? kMaxNotesPerEntry : entry.noteCount;
}
