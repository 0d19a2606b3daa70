// Staves, layers, selection, documents and the exported names as the module sees them.
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

TEST_F(HostStateTest, CellsAndEntryOwnersAreKeptAtAnyAddress) {
    const EntryRecord q = Note(simhost::kQuarter);
    doc->SetEntries(44, 2, 0, {q}); // no staff holds instrument 44 yet
    doc->SetEntries(11, 0, 0, {q});
    doc->SetEntries(11, 3, 7, {q});
    doc->SetEntries(11, 900, 3, {q});
    doc->SetEntries(12, 1, 0, {Note(simhost::kQuarter, 4000000000u)});
    for (const simhost::CellAddress c : {simhost::CellAddress{44, 2, 0}, {11, 0, 0}, {11, 3, 7}, {11, 900, 3}}) {
        EXPECT_EQ(doc->Entries(c.instrument, c.measure, c.layer).size(), 1u) << c.measure;
        EXPECT_EQ(doc->CellOfEntry(NumberOf(doc->Entries(c.instrument, c.measure, c.layer)[0])), c);
    }
    EXPECT_TRUE(doc->Entries(11, 3, 0).empty());
    EXPECT_TRUE(doc->Entries(11, 901, 3).empty());
    EXPECT_EQ(doc->NextEntryNumber(), 4000000001u);

    EXPECT_EQ(doc->AddStaff(44), 4);
    EXPECT_EQ(FX_InstToSlot(44, 0, V), 4);
    TgfFrame* frame = FX_LoadTGF(0, 4, 2, 0, 0, V);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->entryCount, 1);
    FX_FreeTGF(frame, V);
    EXPECT_EQ(doc->CellOfEntry(4000000000u), (simhost::CellAddress{12, 1, 0}));
    doc->SetEntries(12, 1, 0, {});
    EXPECT_FALSE(doc->CellOfEntry(4000000000u).has_value());
}

TEST_F(HostStateTest, LayersAreShownWithinTheLayerCount) {
    EXPECT_EQ(FX_GetMaxLayers(V), 4);
    host.SetMaxLayers(3);
    host.SetLayerShown(2, false);
    const int16_t shown[5] = {0, 1, 1, 0, 0}; // layer indexes -1 to 3
    for (int16_t layer = -1; layer <= 3; ++layer) EXPECT_EQ(FX_GetShowLayer(layer, V), shown[layer + 1]) << layer;
}

TEST_F(HostStateTest, TheSelectionFillsTheRegionAndNothingBeyondTheOtherOutputs) {
    host.SetSelection(simhost::Host::WholeMeasures(1, 3, 2, 4));
    uint8_t out8[9];
    uint8_t out24[25];
    out8[8] = out24[24] = 0x55;
    RegionRecord region{};
    EXPECT_EQ(FX_GetCurERegions(out8, out24, &region, V), 1);
    EXPECT_EQ(out8[8] + out24[24], 0xAA);
    EXPECT_EQ(0, std::memcmp(&region, &host.Selection(), sizeof region));
    EXPECT_EQ(FX_GetCurERegions(nullptr, nullptr, &region, V), 1);
}

#if !defined(_WIN32)
TEST_F(HostStateTest, TheModuleFindsEveryFunctionByItsCName) {
    for (int f = 0; f < static_cast<int>(simhost::Function::Count); ++f) {
        const char* name = simhost::FunctionName(static_cast<simhost::Function>(f));
        EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
    }
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "MessageBoxW"), reinterpret_cast<void*>(&MessageBoxW));

    int owner = 0;
    EXPECT_EQ(MessageBoxW(&owner, u"Wrong selection", u"Orvane Beatclone Error", 0x10), 1);
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, 0), 1);
    ASSERT_EQ(host.MessageBoxes().size(), 2u);
    EXPECT_EQ(host.MessageBoxes()[0].owner, &owner);
    EXPECT_EQ(host.MessageBoxes()[0].text, u"Wrong selection");
    EXPECT_EQ(host.CallCount(), 0u); // not a host function
}
#endif

} // namespace
} // namespace simhost_test
