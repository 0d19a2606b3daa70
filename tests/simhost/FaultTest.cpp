// Injected faults, call counts and time spent in the host.
#include "SimHostFixture.h"

namespace simhost_test {
namespace {

using simhost::Function;
using FaultTest = SimHostTest;

TEST_F(FaultTest, MissingAndFailingFunctionsAnswerZeroWithoutEffect) {
    host.SetMissing(Function::GetMaxLayers, true);
    EXPECT_EQ(FX_GetMaxLayers(V), 4);
    host.SetMissing(Function::GetMaxLayers, false);
    host.SetMaxLayers(2);
    host.SetFailing(Function::GetMaxLayers, true);
    EXPECT_EQ(FX_GetMaxLayers(V), 0);

    host.SetMissing(Function::LoadTGF, true);
    EXPECT_EQ(FX_LoadTGF(0, 1, 1, 0, 0, V), nullptr);
    host.SetMissing(Function::LoadTGF, false);

    host.SetMissing(Function::SaveEData, true);
    host.SetFailing(Function::CreateEData, true);
    EDataKey key{1, 0};
    EXPECT_EQ(FX_SaveEData(simhost::kTupletTag, &key, "abc", 3, V), 0);
    EXPECT_EQ(FX_CreateEData(simhost::kTupletTag, &key, "abc", 3, V), 0);
    EXPECT_TRUE(doc->EData().empty());

    host.SetFailing(Function::GetCurERegions, true);
    RegionRecord region{};
    region.startSlot = 42;
    host.SetSelection(simhost::Host::WholeMeasures(1, 2, 1, 3));
    EXPECT_EQ(FX_GetCurERegions(nullptr, nullptr, &region, V), 0);
    EXPECT_EQ(region.startSlot, 42);
}

TEST_F(FaultTest, AFailingFreeStillTakesTheFrameBack) {
    TgfFrame* frame = FX_LoadTGF(0, 1, 1, 0, 0, V);
    host.FailNthCall(1);
    EXPECT_EQ(FX_FreeTGF(frame, V), 0);
    EXPECT_TRUE(host.CheckNoLiveFrames());
    EXPECT_EQ(FX_FreeTGF(frame, V), 0);
    EXPECT_EQ(host.Problems().size(), 1u); // freed twice
}

TEST_F(FaultTest, LoadsFailAtChosenMeasures) {
    host.FailLoadAt(2, 3);
    host.FailLoadAt(0, 4);
    EXPECT_EQ(FX_LoadTGF(0, 2, 3, 1, 0, V), nullptr);
    EXPECT_EQ(FX_LoadTGF(0, 3, 4, 0, 0, V), nullptr);
    TgfFrame* frame = FX_LoadTGF(0, 1, 3, 0, 0, V);
    EXPECT_NE(frame, nullptr);
    FX_FreeTGF(frame, V);
}

TEST_F(FaultTest, TheNthCallFromNowFailsOnceWhateverItIsAndCallsAreCounted) {
    host.FailNthCall(3);
    EXPECT_EQ(FX_GetCurrentEnigmaDocument(V), 7);
    EXPECT_EQ(FX_SlotToInst(1, 0, V), 11);
    EXPECT_EQ(host.NthCallFailure(), Function::Count);
    EXPECT_EQ(FX_InstToSlot(12, 0, V), 0);
    EXPECT_EQ(host.NthCallFailure(), Function::InstToSlot);
    EXPECT_EQ(FX_InstToSlot(12, 0, V), 2);

    EXPECT_EQ(host.CallCount(), 4u);
    EXPECT_EQ(host.CallCount(Function::InstToSlot), 2u);
    host.FailNthCall(1);
    EXPECT_EQ(FX_LoadTGF(0, 1, 1, 0, 0, V), nullptr);
    host.FailNthCall(1);
    EXPECT_EQ(FX_GetMaxLayers(V), 0);
    host.FailNthCall(0);
    EXPECT_EQ(FX_GetMaxLayers(V), 4);
}

TEST_F(FaultTest, TimeInTheHostIsTakenOnlyWhenAsked) {
    FX_FreeTGF(FX_LoadTGF(0, 1, 1, 0, 0, V), V);
    EXPECT_EQ(host.NanosecondsInHost(), 0u);
    host.SetTiming(true);
    FX_FreeTGF(FX_LoadTGF(0, 1, 1, 0, 0, V), V);
    EXPECT_GT(host.NanosecondsInHost(), 0u);
}

} // namespace
} // namespace simhost_test
