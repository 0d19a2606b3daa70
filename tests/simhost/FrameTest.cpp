// Loading frames: what a frame echoes and holds, and when there is none.
#include "SimHostFixture.h"

#include <cstring>

namespace simhost_test {
namespace {

using FrameTest = SimHostTest;

TEST_F(FrameTest, EchoesItsIdentityAndCopiesTheCellOfTheSlotsInstrument) {
    Fill(2, 3, 2, 1);
    TgfFrame* frame = FX_LoadTGF(5, 2, 3, 1, 1, V);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->slotList, 5);
    EXPECT_EQ(frame->slot, 2);
    EXPECT_EQ(frame->measure, 3);
    EXPECT_EQ(frame->layer, 1);
    EXPECT_EQ(frame->saveInhibit, 0);
    ASSERT_EQ(frame->entryCount, 2);
    EXPECT_EQ(0, std::memcmp(frame->entries, Stored(2, 3, 1).data(), 2 * sizeof(EntryRecord)));
    EXPECT_EQ(frame->tupletCount, 0);
    FX_FreeTGF(frame, V);
    EXPECT_TRUE(host.CheckNoLiveFrames());
}

TEST_F(FrameTest, EveryLoadLendsASeparateCopy) {
    Fill(1, 1, 1);
    TgfFrame* a = FX_LoadTGF(0, 1, 1, 0, 0, V);
    TgfFrame* b = FX_LoadTGF(0, 1, 1, 0, 0, V);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(EntriesOf(a), EntriesOf(b));
    a->entries[0].entryFlags = 0;
    EXPECT_EQ(FlagsOf(b->entries[0]), NoteEntryFlag);
    EXPECT_EQ(FlagsOf(Stored(1, 1)[0]), NoteEntryFlag);
    EXPECT_EQ(host.LiveFrameCount(), 2u);
    FX_FreeTGF(a, V);
    FX_FreeTGF(b, V);
}

TEST_F(FrameTest, AnEmptyMeasureGivesAnEmptyFrameWithNonNullArrays) {
    TgfFrame* frame = FX_LoadTGF(0, 3, 4, 3, 0, V);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->entryCount, 0);
    EXPECT_NE(EntriesOf(frame), nullptr);
    EXPECT_EQ(frame->tupletCount, 0);
    EXPECT_NE(TupletsOf(frame), nullptr);
    FX_FreeTGF(frame, V);
}

TEST_F(FrameTest, NoFrameOutsideTheScore) {
    EXPECT_EQ(FX_LoadTGF(0, 0, 1, 0, 0, V), nullptr);  // no slot 0
    EXPECT_EQ(FX_LoadTGF(0, 4, 1, 0, 0, V), nullptr);  // three staves
    EXPECT_EQ(FX_LoadTGF(0, 11, 1, 0, 0, V), nullptr); // an instrument is not a slot
    EXPECT_EQ(FX_LoadTGF(0, 1, 0, 0, 0, V), nullptr);
    EXPECT_EQ(FX_LoadTGF(0, 1, 5, 0, 0, V), nullptr);
    EXPECT_EQ(FX_LoadTGF(0, 1, 1, -1, 0, V), nullptr);
    EXPECT_EQ(FX_LoadTGF(0, 1, 1, 4, 0, V), nullptr);
    host.SetCurrentDocument(9);
    EXPECT_EQ(FX_LoadTGF(0, 1, 1, 0, 0, V), nullptr);
    EXPECT_EQ(host.LiveFrameCount(), 0u);
    EXPECT_TRUE(host.Problems().empty());
}

TEST_F(FrameTest, TupletPlacementsComeFromStoredDetailsInSequenceOrder) {
    const std::vector<uint32_t> numbers = Fill(1, 2, 3);
    simhost::TupletDefinition triplet{3, 2, 512, 1, 1, {}};
    simhost::TupletDefinition quintuplet{5, 4, 256, 2, 0, {}};
    doc->PutEData(simhost::kTupletTag, numbers[1], 0, &triplet, sizeof triplet);
    doc->PutEData(simhost::kTupletTag, numbers[1], 1, &quintuplet, sizeof quintuplet);
    doc->PutEData(simhost::kTupletTag, numbers[1], 3, &triplet, sizeof triplet); // beyond a gap: not placed
    doc->PutEData(simhost::kTupletTag, numbers[2], 0, &quintuplet, sizeof quintuplet);
    doc->PutEData(simhost::kArticulationTag, numbers[0], 0, &triplet, 12); // another kind of detail

    TgfFrame* frame = FX_LoadTGF(0, 1, 2, 0, 0, V);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->tupletCount, 3);
    const int16_t expected[3][2] = {{1, 0}, {1, 1}, {2, 0}};
    const simhost::TupletDefinition* definitions[3] = {&triplet, &quintuplet, &quintuplet};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frame->tuplets[i].entryIndex, expected[i][0]) << i;
        EXPECT_EQ(frame->tuplets[i].tupletIndex, expected[i][1]) << i;
        EXPECT_EQ(0, std::memcmp(frame->tuplets[i].definition, definitions[i], 30)) << i;
    }
    FX_FreeTGF(frame, V);
}

} // namespace
} // namespace simhost_test
