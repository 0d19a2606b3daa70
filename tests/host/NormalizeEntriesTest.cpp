#include "host/NormalizeEntries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

// Packed record fields, read by value: gtest would bind them by reference.
template <typename T>
T V(T value) {
    return value;
}

EntryRecord EntryWithIds(std::initializer_list<int16_t> ids) {
    EntryRecord e{};
    e.entryFlags = NoteEntryFlag;
    for (int16_t id : ids) {
        e.notes[e.noteCount].noteId = id;
        e.notes[e.noteCount].hostData[0] = 0x5A; // pitch bytes must survive
        ++e.noteCount;
    }
    return e;
}

std::vector<int16_t> Ids(const EntryRecord& e) {
    std::vector<int16_t> ids;
    for (int k = 0; k < e.noteCount; ++k) ids.push_back(e.notes[k].noteId);
    return ids;
}

TEST(NormalizeEntries, FreshIdentifiersForZeroAndDuplicates) {
    struct Case {
        std::initializer_list<int16_t> before;
        std::vector<int16_t> after;
    };
    const Case cases[] = {
        {{0, 0}, {1, 2}},
        {{5, 5, 5}, {6, 7, 5}},
        {{3, 0, 3}, {4, 5, 3}},
        {{-2, -2}, {1, -2}}, // the largest is taken as 0
        {{1, 2, 3}, {1, 2, 3}},
        // Past the 16-bit range the smallest free identifiers are taken, never a wrapped one.
        {{32767, 0, 0}, {32767, 1, 2}},
        {{32767, 32767, 32767, 1}, {2, 3, 32767, 1}},
    };
    for (const Case& c : cases) {
        EntryRecord e = EntryWithIds(c.before);
        NormalizeEntry(e);
        EXPECT_EQ(Ids(e), c.after);
        for (int k = 0; k < e.noteCount; ++k) EXPECT_EQ(V(e.notes[k].hostData[0]), 0x5A);
    }
}

TEST(NormalizeEntries, MirrorsLowFiveBitsOfIdInFlags) {
    EntryRecord e = EntryWithIds({33, 31});
    e.notes[0].noteFlags = TieForwardFlag | NoteIdBitsMask; // stale bits are replaced
    e.notes[1].noteFlags = 0x00000001u;
    NormalizeEntry(e);
    EXPECT_EQ(V(e.notes[0].noteFlags), TieForwardFlag | (1u << 16));
    EXPECT_EQ(V(e.notes[1].noteFlags), 0x00000001u | (31u << 16));
}

TEST(NormalizeEntries, ZeroesFreeSlotsOnly) {
    EntryRecord full{};
    full.noteCount = 12;
    for (int k = 0; k < 12; ++k) {
        full.notes[k].noteId = static_cast<int16_t>(k + 1);
        full.notes[k].hostData[1] = 7;
    }
    NormalizeEntry(full);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(V(full.notes[k].hostData[1]), 7) << k;

    EntryRecord three = EntryWithIds({1, 2, 3});
    std::memset(&three.notes[3], 0xEE, sizeof(NoteRecord) * 9);
    NormalizeEntry(three);
    const NoteRecord zero{};
    for (int k = 3; k < 12; ++k) EXPECT_EQ(std::memcmp(&three.notes[k], &zero, sizeof zero), 0) << k;
}

TEST(NormalizeEntries, EmptyEntryGetsPlaceholderAndSecondRunNumbersIt) {
    EntryRecord e{};
    e.entryNumber = 77;
    e.entryFlags = 0x00000123u;
    e.entryFlags2 = 0xBEEF;
    e.hostData2[3] = 9;
    std::memset(&e.notes[0], 0xAB, sizeof(NoteRecord));
    NormalizeEntry(e);
    EXPECT_EQ(V(e.noteCount), 1);
    EXPECT_EQ(V(e.notes[0].noteId), 0);
    EXPECT_EQ(V(e.notes[0].noteFlags), PlaceholderNoteFlag);
    EXPECT_EQ(V(e.notes[0].hostData[0]), 0);
    EXPECT_EQ(V(e.entryFlags), 0x00000123u | EmptyEntryFlag);
    EXPECT_EQ(V(e.entryNumber), 77u);
    EXPECT_EQ(V(e.entryFlags2), 0xBEEF);
    EXPECT_EQ(V(e.hostData2[3]), 9);

    NormalizeEntry(e);
    EXPECT_EQ(V(e.notes[0].noteId), 1);
    EXPECT_EQ(V(e.notes[0].noteFlags), 0x80010000u);
}

TEST(NormalizeEntries, SecondRunChangesNothingOnEntriesWithNotes) {
    EntryRecord e = EntryWithIds({0, 4, 4, -1});
    NormalizeEntry(e);
    const EntryRecord once = e;
    NormalizeEntry(e);
    EXPECT_EQ(std::memcmp(&once, &e, sizeof e), 0);
}

TEST(NormalizeEntries, CorruptCountsStayWithinTheRecords) {
    // A note count above 12 is read as 12; nothing outside the record is touched.
    struct Guarded {
        EntryRecord entry;
        unsigned char guard[32];
    } g{};
    std::memset(g.guard, 0xCD, sizeof g.guard);
    g.entry.noteCount = 300;
    NormalizeEntry(g.entry);
    for (unsigned char b : g.guard) EXPECT_EQ(b, 0xCD);

    // A frame with a negative count or no entry array is left alone.
    TgfFrame frame{};
    frame.entryCount = 5;
    frame.entries = nullptr;
    NormalizeEntries(frame);
    EntryRecord one = EntryWithIds({0});
    frame.entries = &one;
    frame.entryCount = -3;
    NormalizeEntries(frame);
    EXPECT_EQ(V(one.notes[0].noteId), 0);
    frame.entryCount = 1;
    NormalizeEntries(frame);
    EXPECT_EQ(V(one.notes[0].noteId), 1);
}

} // namespace
