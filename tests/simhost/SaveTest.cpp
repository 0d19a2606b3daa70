// Saving frames: numbering of new entries, details of deleted ones, refusals.
#include "SimHostFixture.h"

#include <set>

namespace simhost_test {
namespace {

using SaveTest = SimHostTest;

TEST_F(SaveTest, UnnumberedEntriesGetFreshNumbersInTheStoreOnly) {
    const std::vector<uint32_t> old = Fill(1, 1, 2);
    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    ASSERT_EQ(FX_InsertEXENTRY(frame, 0, 2, V), 1);
    ASSERT_EQ(FX_SaveTGF(frame, V), 1);
    EXPECT_EQ(NumberOf(frame->entries[0]), 0u); // the frame lent stays as the module left it
    const auto& stored = Stored(1, 1);
    ASSERT_EQ(stored.size(), 4u);
    std::set<uint32_t> numbers;
    for (const EntryRecord& e : stored) numbers.insert(NumberOf(e));
    EXPECT_EQ(numbers.size(), 4u);
    EXPECT_FALSE(numbers.contains(0));
    EXPECT_EQ(NumberOf(stored[2]), old[0]);
    EXPECT_EQ(NumberOf(stored[3]), old[1]);
    FX_FreeTGF(frame, V);

    TgfFrame* reloaded = FX_LoadTGF(0, 1, 1, 0, 0, V);
    EXPECT_EQ(NumberOf(reloaded->entries[0]), NumberOf(stored[0]));
    FX_FreeTGF(reloaded, V);
}

TEST_F(SaveTest, NumbersOfDeletedEntriesAreNeverGivenAgain) {
    const std::vector<uint32_t> old = Fill(1, 1, 3);
    std::set<uint32_t> seen(old.begin(), old.end());
    for (int round = 0; round < 3; ++round) {
        TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
        FX_DeleteEXENTRY(frame, 0, frame->entryCount, V);
        FX_InsertEXENTRY(frame, 0, 3, V);
        ASSERT_EQ(FX_SaveTGF(frame, V), 1);
        FX_FreeTGF(frame, V);
        for (const EntryRecord& e : Stored(1, 1)) EXPECT_TRUE(seen.insert(NumberOf(e)).second) << NumberOf(e);
    }
    EXPECT_TRUE(host.Problems().empty());
}

TEST_F(SaveTest, DeletedEntriesTakeTheirDetailsWithThem) {
    const std::vector<uint32_t> numbers = Fill(1, 1, 2);
    const std::vector<uint32_t> elsewhere = Fill(2, 1, 1);
    const uint8_t bytes[30] = {1};
    for (uint32_t n : {numbers[0], numbers[1], elsewhere[0]}) {
        doc->PutEData(simhost::kTupletTag, n, 0, bytes, 30);
        doc->PutEData(simhost::kArticulationTag, n, 0, bytes, 12);
        doc->PutEData(simhost::kArticulationTag, n, 1, bytes, 12);
    }
    doc->PutEData(0x12345678u, numbers[0], 0, bytes, 4); // not an entry detail: stays

    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    FX_DeleteEXENTRY(frame, 0, 1, V);
    ASSERT_EQ(FX_SaveTGF(frame, V), 1);
    FX_FreeTGF(frame, V);

    EXPECT_EQ(doc->FindEData(simhost::kTupletTag, numbers[0], 0), nullptr);
    EXPECT_EQ(doc->FindEData(simhost::kArticulationTag, numbers[0], 1), nullptr);
    EXPECT_NE(doc->FindEData(0x12345678u, numbers[0], 0), nullptr);
    EXPECT_NE(doc->FindEData(simhost::kArticulationTag, numbers[1], 1), nullptr);
    EXPECT_NE(doc->FindEData(simhost::kTupletTag, elsewhere[0], 0), nullptr);
}

TEST_F(SaveTest, NumbersThatAreNotTheCellsOwnAreRecordedAndReplaced) {
    const std::vector<uint32_t> mine = Fill(1, 1, 1);
    const std::vector<uint32_t> theirs = Fill(2, 1, 1);
    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    FX_InsertEXENTRY(frame, 1, 3, V);
    frame->entries[1].entryNumber = theirs[0]; // another cell's entry
    frame->entries[2].entryNumber = mine[0];   // a duplicate
    frame->entries[3].entryNumber = 1000000;   // never given out
    ASSERT_EQ(FX_SaveTGF(frame, V), 1);
    FX_FreeTGF(frame, V);
    EXPECT_EQ(host.Problems().size(), 3u);
    const auto& stored = Stored(1, 1);
    EXPECT_EQ(NumberOf(stored[0]), mine[0]);
    std::set<uint32_t> numbers;
    for (const EntryRecord& e : stored) numbers.insert(NumberOf(e));
    EXPECT_EQ(numbers.size(), 4u);
    EXPECT_FALSE(numbers.contains(theirs[0]));
    EXPECT_EQ(NumberOf(Stored(2, 1)[0]), theirs[0]);
}

TEST_F(SaveTest, ARefusedSaveChangesNothing) {
    Fill(1, 1, 2);
    const std::vector<EntryRecord> before = Stored(1, 1);
    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    FX_DeleteEXENTRY(frame, 0, 2, V);

    host.SetFailing(simhost::Function::SaveTGF, true);
    EXPECT_EQ(FX_SaveTGF(frame, V), 0);
    host.SetFailing(simhost::Function::SaveTGF, false);
    frame->measure = 2; // a header that no longer names where the frame came from
    EXPECT_EQ(FX_SaveTGF(frame, V), 0);
    EXPECT_EQ(host.Problems().size(), 1u);
    ASSERT_EQ(Stored(1, 1).size(), before.size());
    EXPECT_EQ(NumberOf(Stored(1, 1)[0]), NumberOf(before[0]));
    EXPECT_TRUE(Stored(1, 2).empty());
    FX_FreeTGF(frame, V);
}

} // namespace
} // namespace simhost_test
