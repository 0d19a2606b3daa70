// Inserting and deleting entries in a lent frame.
#include "SimHostFixture.h"

namespace simhost_test {
namespace {

using EntryArrayTest = SimHostTest;

TEST_F(EntryArrayTest, InsertAndDeleteMoveTheArrayAndKeepTheOtherEntries) {
    const std::vector<uint32_t> numbers = Fill(1, 1, 3);
    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    EntryRecord* before = frame->entries;

    ASSERT_EQ(FX_InsertEXENTRY(frame, 1, 2, V), 1);
    EXPECT_NE(EntriesOf(frame), before);
    ASSERT_EQ(frame->entryCount, 5);
    const uint32_t afterInsert[5] = {numbers[0], 0, 0, numbers[1], numbers[2]};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(NumberOf(frame->entries[i]), afterInsert[i]) << i;
    EXPECT_EQ(FlagsOf(frame->entries[1]), 0u);
    EXPECT_EQ(frame->entries[1].noteCount, 0);

    before = frame->entries;
    ASSERT_EQ(FX_DeleteEXENTRY(frame, 0, 2, V), 1);
    EXPECT_NE(EntriesOf(frame), before);
    ASSERT_EQ(frame->entryCount, 3);
    const uint32_t afterDelete[3] = {0, numbers[1], numbers[2]};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(NumberOf(frame->entries[i]), afterDelete[i]) << i;

    ASSERT_EQ(FX_DeleteEXENTRY(frame, 0, 3, V), 1);
    EXPECT_EQ(frame->entryCount, 0);
    FX_FreeTGF(frame, V);
    EXPECT_TRUE(host.CheckNoLiveFrames());
}

TEST_F(EntryArrayTest, BadIndexesAndCountsChangeNothing) {
    Fill(1, 1, 2);
    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    EntryRecord* entries = frame->entries;
    EXPECT_EQ(FX_InsertEXENTRY(frame, -1, 1, V), 0);
    EXPECT_EQ(FX_InsertEXENTRY(frame, 3, 1, V), 0);
    EXPECT_EQ(FX_InsertEXENTRY(frame, 0, -1, V), 0);
    EXPECT_EQ(FX_InsertEXENTRY(frame, 0, 32767, V), 0);
    EXPECT_EQ(FX_DeleteEXENTRY(frame, -1, 1, V), 0);
    EXPECT_EQ(FX_DeleteEXENTRY(frame, 1, 2, V), 0);
    EXPECT_EQ(FX_DeleteEXENTRY(frame, 0, -1, V), 0);
    EXPECT_EQ(FX_InsertEXENTRY(nullptr, 0, 1, V), 0);
    EXPECT_EQ(FX_DeleteEXENTRY(nullptr, 0, 1, V), 0);
    EXPECT_EQ(EntriesOf(frame), entries);
    EXPECT_EQ(frame->entryCount, 2);
    EXPECT_TRUE(host.Problems().empty());
    FX_FreeTGF(frame, V);
}

TEST_F(EntryArrayTest, InsertedEntriesComeNumberedWhenAsked) {
    const std::vector<uint32_t> old = Fill(1, 1, 1);
    host.SetNumberOnInsert(true);
    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    FX_InsertEXENTRY(frame, 0, 2, V);
    EXPECT_GT(NumberOf(frame->entries[0]), old[0]);
    EXPECT_GT(NumberOf(frame->entries[1]), NumberOf(frame->entries[0]));
    ASSERT_EQ(FX_SaveTGF(frame, V), 1);
    EXPECT_EQ(NumberOf(Stored(1, 1)[1]), NumberOf(frame->entries[1]));
    EXPECT_TRUE(host.Problems().empty());
    FX_FreeTGF(frame, V);
}

TEST_F(EntryArrayTest, TupletPlacementsFollowTheirEntries) {
    const std::vector<uint32_t> numbers = Fill(1, 1, 3);
    const uint8_t definition[30] = {3, 0, 2};
    for (uint32_t n : numbers) doc->PutEData(simhost::kTupletTag, n, 0, definition, 30);
    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    ASSERT_EQ(frame->tupletCount, 3);

    FX_InsertEXENTRY(frame, 1, 2, V); // entries 1 and 2 move to 3 and 4
    ASSERT_EQ(frame->tupletCount, 3);
    EXPECT_EQ(frame->tuplets[0].entryIndex, 0);
    EXPECT_EQ(frame->tuplets[1].entryIndex, 3);
    EXPECT_EQ(frame->tuplets[2].entryIndex, 4);

    FX_DeleteEXENTRY(frame, 0, 4, V); // drops the placements of entries 0 and 3
    ASSERT_EQ(frame->tupletCount, 1);
    EXPECT_EQ(frame->tuplets[0].entryIndex, 0);
    EXPECT_EQ(NumberOf(frame->entries[frame->tuplets[0].entryIndex]), numbers[2]);
    FX_FreeTGF(frame, V);
}

} // namespace
} // namespace simhost_test
