// The host's bytes, read through the record layouts: a layout that drifts by one field shows
// here as a wrong value, not only as a failed static_assert on another platform.
#include "host/HostRecords.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Packed record fields, read by value: gtest would bind them by reference.
template <typename T>
T V(T value) {
    return value;
}

TEST(HostRecords, FrameHeaderFromHostBytes) {
    alignas(8) unsigned char bytes[34] = {
        0x00, 0x00,                   // 0  slotList 0
        0x03, 0x00,                   // 2  slot 3
        0xEE, 0xEE,                   // 4  not interpreted
        0x0C, 0x00,                   // 6  measure 12
        0x01, 0x00,                   // 8  layer index 1
        0x00, 0x00,                   // 10 saveInhibit 0
        0xEE, 0xEE,                   // 12 not interpreted
        0,    0,    0, 0, 0, 0, 0, 0, // 14 entries (filled below)
        0x02, 0x00,                   // 22 entryCount 2
        0,    0,    0, 0, 0, 0, 0, 0, // 24 tuplets (null)
        0xFF, 0xFF,                   // 32 tupletCount -1
    };
    EntryRecord entries[2] = {};
    EntryRecord* address = entries;
    std::memcpy(bytes + 14, &address, sizeof address);

    TgfFrame frame;
    std::memcpy(&frame, bytes, sizeof frame);
    EXPECT_EQ(V(frame.slotList), 0);
    EXPECT_EQ(V(frame.slot), 3);
    EXPECT_EQ(V(frame.measure), 12);
    EXPECT_EQ(V(frame.layer), 1);
    EXPECT_EQ(V(frame.saveInhibit), 0);
    EXPECT_EQ(V(frame.entries), entries);
    EXPECT_EQ(EntryCountOf(frame), 2);
    EXPECT_EQ(TupletCountOf(frame), 0); // -1 and a null array both read as empty
}

TEST(HostRecords, EntryAndNoteFromHostBytes) {
    unsigned char bytes[146] = {};
    const unsigned char head[] = {
        0x2A, 0x00, 0x00, 0x00, // 0  entryNumber 42
        0x00, 0x04, 0x00, 0x00, // 4  not interpreted
        0x00, 0x00, 0x28, 0x40, // 8  entryFlags: NoteEntryFlag | ArticulationFlag | TupletFlag
        0x20, 0x00,             // 12 entryFlags2 0x0020
        0x02, 0x00,             // 14 noteCount 2
    };
    std::memcpy(bytes, head, sizeof head);
    const unsigned char note1[] = {
        0x01, 0x02, 0x03, 0x04, // 26 not interpreted
        0x07, 0x00,             // 30 noteId 7
        0x00, 0x00, 0x07, 0x40, // 32 noteFlags: TieForwardFlag, id bits 7
    };
    std::memcpy(bytes + 16 + 10, note1, sizeof note1);

    EntryRecord entry;
    std::memcpy(&entry, bytes, sizeof entry);
    EXPECT_EQ(V(entry.entryNumber), 42u);
    EXPECT_EQ(V(entry.entryFlags), NoteEntryFlag | ArticulationFlag | TupletFlag);
    EXPECT_EQ(V(entry.entryFlags2), CloneClearFlags2);
    EXPECT_EQ(NoteCountOf(entry), 2);
    EXPECT_EQ(V(entry.notes[1].noteId), 7);
    EXPECT_EQ(V(entry.notes[1].noteFlags), TieForwardFlag | (7u << 16));
    EXPECT_EQ(V(entry.notes[1].hostData[3]), 0x04);

    entry.noteCount = 13;
    EXPECT_EQ(NoteCountOf(entry), 12);
    entry.noteCount = -1;
    EXPECT_EQ(NoteCountOf(entry), 0);
}

TEST(HostRecords, RegionAndTupletPlacementFromHostBytes) {
    const unsigned char region[20] = {
        0x00, 0x00,             // 0  startSlotList 0
        0x02, 0x00,             // 2  startSlot 2
        0x05, 0x00,             // 4  startMeasure 5
        0x00, 0x00, 0x00, 0x00, // 6  startPosition 0
        0x00, 0x00,             // 10 endSlotList 0
        0x04, 0x00,             // 12 endSlot 4
        0x08, 0x00,             // 14 endMeasure 8
        0xFF, 0xFF, 0xFF, 0x7F, // 16 endPosition: the end of the measure
    };
    RegionRecord r;
    std::memcpy(&r, region, sizeof r);
    EXPECT_EQ(V(r.startSlot), 2);
    EXPECT_EQ(V(r.startMeasure), 5);
    EXPECT_EQ(V(r.endSlot), 4);
    EXPECT_EQ(V(r.endMeasure), 8);
    EXPECT_EQ(V(r.endPosition), WholeMeasureEnd);

    unsigned char placement[40] = {
        0x03, 0x00, // 0 entryIndex 3
        0xEE, 0xEE, // 2 not interpreted
        0x01, 0x00, // 4 tupletIndex 1
    };
    placement[10] = 0x11; // first byte of the definition
    placement[39] = 0x22; // last byte of the definition
    FrameTupletRecord t;
    std::memcpy(&t, placement, sizeof t);
    EXPECT_EQ(V(t.entryIndex), 3);
    EXPECT_EQ(V(t.tupletIndex), 1);
    EXPECT_EQ(V(t.definition[0]), 0x11);
    EXPECT_EQ(V(t.definition[29]), 0x22);
}

TEST(HostRecords, CloneClearMaskIsTheDocumentedBits) {
    const uint32_t bits[] = {0x00000040, 0x00000080, 0x00000400, 0x00001000, 0x00004000,
                             0x00020000, 0x00080000, 0x00100000, 0x00200000, 0x00400000};
    uint32_t mask = 0;
    for (uint32_t b : bits) mask |= b;
    EXPECT_EQ(mask, CloneClearMask);
    EXPECT_EQ(~CloneClearMask, 0xFF85AB3Fu);
}

} // namespace
