// Staves, layers, selection, documents and message boxes as the module sees them.
#include "SimHostFixture.h"

#include <cstring>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace simhost_test {
namespace {

using HostStateTest = SimHostTest;

TEST_F(HostStateTest, SlotsAndInstrumentsMapBothWays) {
    EXPECT_EQ(FX_SlotToInst(2, 0, V), 12);
    EXPECT_EQ(FX_InstToSlot(13, 0, V), 3);
    EXPECT_EQ(FX_SlotToInst(0, 0, V), 0);
    EXPECT_EQ(FX_SlotToInst(4, 0, V), 0);
    EXPECT_EQ(FX_InstToSlot(2, 0, V), 0);
    EXPECT_EQ(FX_GetCurrentEnigmaDocument(V), 7);

    simhost::Document& other = host.AddDocument(8);
    other.AddStaff(21);
    host.SetCurrentDocument(8);
    EXPECT_EQ(FX_GetCurrentEnigmaDocument(V), 8);
    EXPECT_EQ(FX_SlotToInst(1, 0, V), 21);
    EXPECT_EQ(FX_InstToSlot(11, 0, V), 0);
}

TEST_F(HostStateTest, LayersAreShownWithinTheLayerCount) {
    EXPECT_EQ(FX_GetMaxLayers(V), 4);
    host.SetLayerShown(2, false);
    EXPECT_NE(FX_GetShowLayer(0, V), 0);
    EXPECT_EQ(FX_GetShowLayer(2, V), 0);
    EXPECT_EQ(FX_GetShowLayer(-1, V), 0);
    EXPECT_EQ(FX_GetShowLayer(4, V), 0);
    host.SetMaxLayers(2);
    EXPECT_EQ(FX_GetShowLayer(1, V), 1);
    EXPECT_EQ(FX_GetShowLayer(2, V), 0);
}

TEST_F(HostStateTest, TheSelectionFillsOnlyWhatIsOffered) {
    host.SetSelection(simhost::Host::WholeMeasures(1, 3, 2, 4));
    uint8_t out8[8 + 4];
    uint8_t out24[24 + 4];
    std::memset(out8, 0x55, sizeof out8);
    std::memset(out24, 0x55, sizeof out24);
    RegionRecord region{};
    EXPECT_EQ(FX_GetCurERegions(out8, out24, &region, V), 1);
    EXPECT_EQ(out8[8], 0x55);
    EXPECT_EQ(out24[24], 0x55);
    EXPECT_EQ(region.startSlot, 1);
    EXPECT_EQ(region.endSlot, 3);
    EXPECT_EQ(region.startMeasure, 2);
    EXPECT_EQ(region.endMeasure, 4);
    EXPECT_EQ(region.endPosition, WholeMeasureEnd);
    EXPECT_EQ(FX_GetCurERegions(nullptr, nullptr, &region, V), 1);
}

TEST_F(HostStateTest, MessageBoxesAreRecorded) {
    int owner = 0;
    EXPECT_EQ(MessageBoxW(&owner, u"Wrong selection", u"Orvane Beatclone Error", 0x10), 1);
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, 0), 1);
    ASSERT_EQ(host.MessageBoxes().size(), 2u);
    EXPECT_EQ(host.MessageBoxes()[0].owner, &owner);
    EXPECT_EQ(host.MessageBoxes()[0].text, u"Wrong selection");
    EXPECT_EQ(host.MessageBoxes()[0].caption, u"Orvane Beatclone Error");
    EXPECT_EQ(host.MessageBoxes()[0].style, 0x10u);
    EXPECT_TRUE(host.MessageBoxes()[1].text.empty());
}

#if !defined(_WIN32)
TEST_F(HostStateTest, TheModuleFindsEveryFunctionByItsCName) {
    for (int f = 0; f < static_cast<int>(simhost::Function::Count); ++f) {
        const char* name = simhost::FunctionName(static_cast<simhost::Function>(f));
        EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
    }
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "MessageBoxW"), reinterpret_cast<void*>(&MessageBoxW));
}
#endif

} // namespace
} // namespace simhost_test
