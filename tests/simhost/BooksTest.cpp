// The books on lent frames catch the module's misuse as recorded problems, not crashes.
#include "SimHostFixture.h"

#include <cstring>

namespace simhost_test {
namespace {

class BooksTest : public SimHostTest {
protected:
    void SetUp() override {
        SimHostTest::SetUp();
        Fill(1, 1, 2);
        frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
        ASSERT_NE(frame, nullptr);
    }
    bool Recorded(const char* words) const {
        for (const std::string& problem : host.Problems()) {
            if (problem.find(words) != std::string::npos) return true;
        }
        return false;
    }
    TgfFrame* frame = nullptr;
};

TEST_F(BooksTest, FreeingTwiceOrFreeingAFrameNeverLentIsRecorded) {
    TgfFrame forged = *frame;
    EXPECT_EQ(FX_FreeTGF(&forged, V), 0);
    EXPECT_TRUE(Recorded("never lent"));
    EXPECT_EQ(FX_FreeTGF(frame, V), 1);
    EXPECT_EQ(FX_FreeTGF(frame, V), 0);
    EXPECT_TRUE(Recorded("freed twice"));
    EXPECT_EQ(FX_FreeTGF(nullptr, V), 0);
    EXPECT_EQ(host.Problems().size(), 2u);
    EXPECT_TRUE(host.CheckNoLiveFrames());
}

TEST_F(BooksTest, AFrameStillLentIsRecordedAsLeaked) {
    EXPECT_FALSE(host.CheckNoLiveFrames());
    EXPECT_TRUE(Recorded("slot 1, measure 1, layer 0) still lent"));
    FX_FreeTGF(frame, V);
}

TEST_F(BooksTest, UsingAFreedFrameIsRecordedAndDoesNothing) {
    FX_FreeTGF(frame, V);
    EXPECT_EQ(FX_SaveTGF(frame, V), 0);
    EXPECT_EQ(FX_InsertEXENTRY(frame, 0, 1, V), 0);
    EXPECT_EQ(FX_DeleteEXENTRY(frame, 0, 1, V), 0);
    EXPECT_EQ(host.Problems().size(), 3u);
    EXPECT_TRUE(Recorded("FX_SaveTGF: frame #1 (slot 1, measure 1, layer 0) used after it was freed"));
    EXPECT_EQ(Stored(1, 1).size(), 2u);
}

TEST_F(BooksTest, WritesPastTheArraysShowOnTheNextCall) {
    // One entry written past the end: into the guard band, not beyond the allocation.
    std::memset(&frame->entries[frame->entryCount], 0x11, 8);
    EXPECT_EQ(FX_SaveTGF(frame, V), 0);
    EXPECT_TRUE(Recorded("guard bytes around the entries overwritten"));
    EXPECT_EQ(FX_FreeTGF(frame, V), 1); // still taken back, reported once
    EXPECT_EQ(host.Problems().size(), 1u);

    TgfFrame* empty = FX_LoadTGF(0, 2, 1, 0, 0, V);
    reinterpret_cast<uint8_t*>(empty->tuplets)[0] = 0;
    EXPECT_EQ(FX_InsertEXENTRY(empty, 0, 1, V), 0);
    EXPECT_TRUE(Recorded("guard bytes around the tuplets overwritten"));
    FX_FreeTGF(empty, V);
}

TEST_F(BooksTest, CountsAndPointersTheHostDidNotSetAreRefused) {
    frame->entryCount = 3; // one more than the array holds
    EXPECT_EQ(FX_SaveTGF(frame, V), 0);
    EXPECT_EQ(FX_DeleteEXENTRY(frame, 0, 3, V), 0);
    EXPECT_TRUE(Recorded("count beyond its array"));
    frame->entryCount = 2;
    frame->tupletCount = -1;
    EXPECT_EQ(FX_SaveTGF(frame, V), 0);
    frame->tupletCount = 0;
    ++frame->entries;
    EXPECT_EQ(FX_SaveTGF(frame, V), 0);
    --frame->entries;
    EXPECT_EQ(FX_SaveTGF(frame, V), 1);
    EXPECT_EQ(host.Problems().size(), 1u); // one report per frame
    FX_FreeTGF(frame, V);
}

TEST_F(BooksTest, QuarantineStaysBoundedOverLongRuns) {
    FX_FreeTGF(frame, V);
    doc->SetEntries(11, 2, 0, std::vector<EntryRecord>(200, Note(simhost::kQuarter)));
    for (int i = 0; i < 3000; ++i) FX_FreeTGF(FX_LoadTGF(0, 1, 2, 0, 0, V), V); // about 90 MB lent in all
    // Released long ago (its address may even be another freed frame's now): still no crash.
    EXPECT_EQ(FX_FreeTGF(frame, V), 0);
    EXPECT_EQ(host.Problems().size(), 1u);
    EXPECT_TRUE(host.CheckNoLiveFrames());
}

TEST_F(BooksTest, WithChecksOffFreedFramesGoAtOnceAndCountsAreStillChecked) {
    host.SetChecks(false);
    FX_FreeTGF(frame, V);
    std::vector<TgfFrame*> frames;
    for (int i = 0; i < 600; ++i) frames.push_back(FX_LoadTGF(0, 1, 1, 0, 0, V));
    for (size_t i = 0; i < frames.size(); i += 2) EXPECT_EQ(FX_FreeTGF(frames[i], V), 1);
    // Every frame still lent is found among the others given back.
    for (size_t i = 1; i < frames.size(); i += 2) EXPECT_EQ(FX_SaveTGF(frames[i], V), 1) << i;
    EXPECT_EQ(FX_InsertEXENTRY(frames[3], 0, 1, V), 1);
    EXPECT_EQ(frames[3]->entryCount, 3);
    // Its new array is memory given back before, zeroed.
    EXPECT_EQ(FlagsOf(frames[3]->entries[0]), 0u);
    EXPECT_EQ(FlagsOf(frames[3]->entries[1]), NoteEntryFlag);
    EXPECT_TRUE(host.Problems().empty());
    // Counts beyond the arrays are refused all the same.
    frames[1]->entryCount = 3;
    EXPECT_EQ(FX_SaveTGF(frames[1], V), 0);
    for (size_t i = 1; i < frames.size(); i += 2) EXPECT_EQ(FX_FreeTGF(frames[i], V), 1);
    EXPECT_EQ(FX_FreeTGF(frames[1], V), 0);
    EXPECT_TRUE(Recorded("count beyond its array"));
    EXPECT_TRUE(Recorded("never lent"));
    EXPECT_EQ(host.Problems().size(), 2u);
    EXPECT_TRUE(host.CheckNoLiveFrames());
    host.Reset();
    EXPECT_TRUE(host.ChecksOn());
}

TEST_F(BooksTest, FrameBytesAreCountedWhileLent) {
    const size_t one = sizeof(TgfFrame) + 2 * sizeof(EntryRecord);
    EXPECT_EQ(host.FrameBytesNow(), one);
    FX_InsertEXENTRY(frame, 0, 1, V);
    EXPECT_EQ(host.FrameBytesNow(), one + sizeof(EntryRecord));
    FX_FreeTGF(frame, V);
    EXPECT_EQ(host.FrameBytesNow(), 0u);
    EXPECT_EQ(host.FrameBytesPeak(), one + sizeof(EntryRecord));
}

} // namespace
} // namespace simhost_test
