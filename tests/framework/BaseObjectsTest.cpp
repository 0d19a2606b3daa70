// Strings and collections: growth steps, ownership, iteration and class identity.
#include "framework/BlockPool.h"
#include "framework/FCCollection.h"
#include "framework/FCMusicRegion.h"
#include "framework/FCString.h"
#include "framework/FCEntryPitchesCollection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string Text(const FCString& s) {
    return s.GetBuffer() == nullptr ? u"<none>" : std::u16string(s.GetBuffer(), s.GetLength());
}

TEST(FCString, GrowsByCapacityDependentSteps) {
    FCString s;
    EXPECT_EQ(s.GetCapacity(), 10u);
    EXPECT_EQ(s.GetLength(), 0u);
    EXPECT_EQ(s.GetBuffer()[0], 0);

    const char16_t* old = s.GetBuffer();
    s.EnsureCapacity(8);
    EXPECT_EQ(s.GetBuffer(), old); // room enough: unchanged
    s.EnsureCapacity(15);
    EXPECT_EQ(s.GetCapacity(), 20u);

    FCString thousand;
    thousand.EnsureCapacity(990);
    ASSERT_EQ(thousand.GetCapacity(), 1000u);
    thousand.EnsureCapacity(1500); // exactly 1000 still takes step 10
    EXPECT_EQ(thousand.GetCapacity(), 1510u);

    FCString large;
    large.EnsureCapacity(19990);
    ASSERT_EQ(large.GetCapacity(), 20000u);
    large.EnsureCapacity(30000);
    EXPECT_EQ(large.GetCapacity(), 31000u);
}

TEST(FCString, ExactFitIsStillReallocatedAndKeepsTheText) {
    FCString s;
    s.SetCString("abcdefgh"); // length 8, capacity 10
    s.EnsureCapacity(9);      // capacity 10 is exactly n + 1: a fresh buffer of the same size
    EXPECT_EQ(s.GetCapacity(), 10u);
    EXPECT_EQ(std::u16string(s.GetBuffer(), 8), u"abcdefgh");
}

TEST(FCString, LargeCapacitySteps) {
    FCString s;
    s.EnsureCapacity(1500); // from 10: step 10 -> 1510
    EXPECT_EQ(s.GetCapacity(), 1510u);
    s.EnsureCapacity(2000); // above 1000: step 100
    EXPECT_EQ(s.GetCapacity(), 2100u);
    s.EnsureCapacity(12000); // still step 100 (2100 is not above 10000)
    EXPECT_EQ(s.GetCapacity(), 12100u);
    s.EnsureCapacity(30000); // above 10000: step 1000
    EXPECT_EQ(s.GetCapacity(), 31000u);
}

TEST(FCString, SetTextsAndCopies) {
    FCString s;
    s.SetCString("fifteen chars!!");
    EXPECT_EQ(s.GetLength(), 15u);
    EXPECT_EQ(s.GetCapacity(), 20u);
    EXPECT_EQ(s.GetBuffer()[15], 0);
    EXPECT_EQ(Text(s), u"fifteen chars!!");

    FCString copy;
    copy.SetString(&s);
    EXPECT_EQ(Text(copy), u"fifteen chars!!");
    EXPECT_EQ(copy.GetBuffer()[15], 0);

    FCString empty;
    copy.SetString(&empty);
    EXPECT_EQ(Text(copy), u"");
    copy.SetString(&s);
    copy.SetString(nullptr);
    EXPECT_EQ(Text(copy), u"");

    s.SetCString(nullptr);
    EXPECT_EQ(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.GetCapacity(), 0u);
    EXPECT_EQ(s.GetLength(), 0u);
    copy.SetString(&s); // a source without a buffer is empty
    EXPECT_EQ(Text(copy), u"");
    s.Clear();
    EXPECT_EQ(s.GetCapacity(), 10u);
    EXPECT_EQ(Text(s), u"");
}

// Counts deletions so ownership mistakes show.
struct Tracked : __FCBase {
    explicit Tracked(int* deletions) : deletions_(deletions) {}
    ~Tracked() override { ++*deletions_; }
    int* deletions_;
};

TEST(FCCollection, GrowthStepsFollowTheItemCount) {
    int deletions = 0;
    __FCCollection c;
    EXPECT_EQ(c.GetItemAt(0), nullptr); // before the first growth
    const std::vector<std::pair<int32_t, int32_t>> expected = {{0, 10},      {10, 20},       {100, 110},
                                                               {110, 150},   {150, 200},     {1000, 1050},
                                                               {2000, 2100}, {10000, 10100}, {20000, 21000}};
    size_t next = 0;
    std::vector<__FCBase*> first;
    for (int32_t i = 0; i <= 20000; ++i) {
        const bool full = c.GetCount() == c.GetCapacity();
        const int32_t count = c.GetCount();
        auto* item = new Tracked(&deletions);
        if (i < 10) first.push_back(item);
        c.Add(item);
        if (full && next < expected.size() && count == expected[next].first) {
            EXPECT_EQ(c.GetCapacity(), expected[next].second) << "at count " << count;
            ++next;
        }
    }
    EXPECT_EQ(next, expected.size());
    for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(c.GetItemAt(i), first[static_cast<size_t>(i)]);
    EXPECT_EQ(c.GetItemAt(-1), nullptr);
    EXPECT_EQ(c.GetItemAt(c.GetCount()), nullptr);
    c.ClearAll();
    EXPECT_EQ(deletions, 20001);
}

TEST(FCCollection, ClearAllDeletesRealItemsAndKeepsCapacity) {
    int deletions = 0;
    __FCCollection c;
    c.Add(new Tracked(&deletions));
    c.Add(nullptr);
    c.Add(new Tracked(&deletions));
    c.ClearAll();
    EXPECT_EQ(deletions, 2);
    EXPECT_EQ(c.GetCount(), 0);
    EXPECT_EQ(c.GetCapacity(), 10);
    c.Add(new Tracked(&deletions)); // the destructor deletes what is left
}

struct StopAtThird : ItemVisitor {
    int seen = 0;
    bool Visit(__FCBase*) override { return ++seen < 3; }
    bool VisitWithIndex(__FCBase*, int32_t index) override {
        indexes.push_back(index);
        return true;
    }
    bool Matches(__FCBase* item) override { return item == wanted; }
    std::vector<int32_t> indexes;
    __FCBase* wanted = nullptr;
};

TEST(FCCollection, IterationSkipsNullSlotsAndStops) {
    __FCCollection c;
    auto* a = new __FCBase;
    auto* b = new __FCBase;
    c.Add(a);
    c.Add(nullptr);
    c.Add(b);
    c.Add(new __FCBase);
    c.Add(new __FCBase);
    StopAtThird v;
    EXPECT_EQ(c.ForEach(&v), 2); // the third real item answers false
    EXPECT_EQ(c.ForEachIndex(&v), 4);
    EXPECT_EQ(v.indexes, (std::vector<int32_t>{0, 2, 3, 4}));
    v.wanted = b;
    EXPECT_EQ(c.FindFirst(&v), b);
    v.wanted = nullptr;
    EXPECT_EQ(c.FindFirst(&v), nullptr);
}

struct Appender : ItemVisitor {
    explicit Appender(__FCCollection* c) : collection(c) {}
    bool Visit(__FCBase*) override {
        if (collection->GetCount() < 25) collection->Add(new __FCBase); // grows while walking
        return true;
    }
    bool VisitWithIndex(__FCBase*, int32_t) override { return true; }
    bool Matches(__FCBase*) override { return false; }
    __FCCollection* collection;
};

TEST(FCCollection, ItemsAppendedDuringAWalkAreVisited) {
    __FCCollection c;
    c.Add(new __FCBase);
    Appender v(&c);
    EXPECT_EQ(c.ForEach(&v), 25);
}

TEST(BlockPool, ReusesBlocksOfItsSizeAndLeavesOthersToTheHeap) {
    using Pool = BlockPool<24>;
    void* block = Pool::Take(24);
    const size_t kept = Pool::Kept();
    Pool::Give(block, 24);
    void* other = Pool::Take(40);
    Pool::Give(other, 40);
    if (BEATCLONE_BLOCK_POOL_BYPASS) {
        EXPECT_EQ(Pool::Kept(), kept);
        return;
    }
    EXPECT_EQ(Pool::Kept(), kept + 1);
    EXPECT_EQ(Pool::Take(24), block);
    EXPECT_EQ(Pool::Kept(), kept);
    Pool::Give(block, 24);
}

TEST(ClassIdentity, NamesAreComparedByTheirStaticText) {
    __FCCollection plain;
    FCEntryPitchesCollection pitches;
    FCString text;
    FCMusicRegion region;
    EXPECT_STREQ(pitches.ClassName(), "__FCCollection");
    EXPECT_TRUE(pitches.IsSameClass(&plain));
    EXPECT_TRUE(plain.IsSameClass(&pitches));
    EXPECT_FALSE(text.IsSameClass(&plain));
    EXPECT_FALSE(text.IsSameClass(nullptr));
    EXPECT_STREQ(text.ClassName(), "FCString");
    EXPECT_STREQ(region.ClassName(), "FCMusicRegion");
    EXPECT_EQ(region.ClassID(), 0);
    __FCBase base;
    EXPECT_STREQ(base.ClassName(), "__FCBase");
}

} // namespace
