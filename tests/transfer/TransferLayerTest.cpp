// Rebuilding one destination layer when the source moved under it: a clone whose attack
// groups no longer match the gathered pitches is never saved.
#include "framework/FCNoteEntryLayer.h"
#include "simhost/SimHost.h"
#include "tests/support/TestScore.h"
#include "transfer/TransferDriver.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class TransferLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Reset();
        simhost::Document& doc = host.AddDocument(1);
        doc.AddStaff(31);
        doc.AddStaff(32);
        doc.SetMeasureCount(4);
    }
    void TearDown() override {
        EXPECT_TRUE(host.CheckNoLiveFrames());
        for (const std::string& problem : host.Problems()) ADD_FAILURE() << problem;
    }
    std::unique_ptr<FCNoteEntryLayer> Loaded(int16_t instrument) {
        std::unique_ptr<FCNoteEntryLayer> layer(FCNoteEntryLayer::CreateExact(0, instrument, 1, 1));
        layer->SetVisibleOnly(false);
        EXPECT_TRUE(layer->Load());
        return layer;
    }
    simhost::Document& Doc() { return *host.FindDocument(1); }
    simhost::Host& host = simhost::Host::Instance();
};

TEST_F(TransferLayerTest, ACloneThatNoLongerMatchesIsNotSaved) {
    testscore::WriteLayer(Doc(), 31, 0, 1, "q:C5 q:D5 q:E5 q:F5");
    testscore::WriteLayer(Doc(), 32, 0, 1, "h:G3 h:A3 | h:B3 h:C4");
    auto source = Loaded(31);
    std::unique_ptr<FCNoteEntryLayer> destination(FCNoteEntryLayer::CreateExact(0, 32, 1, 2));
    ASSERT_TRUE(destination->Load());
    ASSERT_EQ(source->CountAttackGroups(), destination->CountAttackGroups());

    // The source measures change after they were counted: three groups now.
    testscore::WriteLayer(Doc(), 31, 0, 1, "h:C5 q:D5 q:E5");
    const std::string before = testscore::LayerBytes(Doc(), 32, 0, 1, 2);
    const uint64_t saves = host.CallCount(simhost::Function::SaveTGF);
    TransferLayer(*source, *destination);
    EXPECT_EQ(host.CallCount(simhost::Function::SaveTGF), saves);
    EXPECT_EQ(testscore::LayerBytes(Doc(), 32, 0, 1, 2), before);
}

TEST_F(TransferLayerTest, TheSourcePositionIsNeverRebuiltFromItself) {
    testscore::WriteLayer(Doc(), 31, 0, 1, "q:C5 q:D5 q:E5 q:F5");
    auto source = Loaded(31);
    auto same = Loaded(31);
    const uint64_t calls = host.CallCount();
    TransferLayer(*source, *same);
    EXPECT_EQ(host.CallCount(), calls);
}

} // namespace
