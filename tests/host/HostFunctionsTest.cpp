// The host function table played against a resolver that stands for a host exporting only
// some functions.
#include "host/HostFunctions.h"

#include "host/HostFunctionList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

using host_binding::HostFunction;

bool Is(const char* name, HostFunction f) { return std::strcmp(name, host_binding::HostFunctionName(f)) == 0; }

std::map<std::string, int> gLookups;
uint32_t gLastVersion = 0;
int16_t gMaxLayers = 7;

int16_t FakeGetMaxLayers(uint32_t v) {
    gLastVersion = v;
    return gMaxLayers;
}

int16_t FakeSlotToInst(int16_t slot, int16_t slotList, uint32_t v) {
    gLastVersion = v;
    return static_cast<int16_t>(slot * 10 + slotList);
}

int16_t FakeSaveTGF(TgfFrame*, uint32_t v) {
    gLastVersion = v;
    return 1;
}

void* OnlySomeFunctions(const char* name) {
    ++gLookups[name];
    if (Is(name, HostFunction::SlotToInst)) return reinterpret_cast<void*>(&FakeSlotToInst);
    if (Is(name, HostFunction::SaveTGF)) return reinterpret_cast<void*>(&FakeSaveTGF);
    return nullptr;
}

void* WithMaxLayers(const char* name) {
    ++gLookups[name];
    if (Is(name, HostFunction::GetMaxLayers)) return reinterpret_cast<void*>(&FakeGetMaxLayers);
    return nullptr;
}

// Packed record fields, read by value: gtest would bind them by reference.
template <typename T>
T V(T value) {
    return value;
}

class HostFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        gLookups.clear();
        gLastVersion = 0;
    }
    void TearDown() override { host_binding::SetResolverForTesting(nullptr); }
};

TEST_F(HostFunctions, MissingFunctionsAnswerZeroNullOrFourLayers) {
    host_binding::SetResolverForTesting(&OnlySomeFunctions);
    EXPECT_EQ(fx::LoadTGF(0, 1, 1, 0, 1), nullptr);
    EXPECT_EQ(fx::FreeTGF(nullptr), 0);
    EDataKey key{5, 0};
    unsigned char buffer[12] = {};
    uint32_t size = sizeof buffer;
    EXPECT_EQ(fx::LoadEData(kArticulationDetailTag, &key, buffer, &size), 0);
    EXPECT_EQ(size, sizeof buffer);
    EXPECT_EQ(fx::NextEData(kArticulationDetailTag, &key), 0);
    EXPECT_EQ(fx::GetShowLayer(0), 0);
    EXPECT_EQ(fx::GetCurrentEnigmaDocument(), 0);
    EXPECT_EQ(fx::GetMaxLayers(), 4);

    RegionRecord region{};
    region.startMeasure = 9;
    EXPECT_EQ(fx::GetCurERegions(&region), 0);
    EXPECT_EQ(V(region.startMeasure), 9); // untouched without the function
}

TEST_F(HostFunctions, PresentFunctionsGetTheApiVersionLast) {
    host_binding::SetResolverForTesting(&OnlySomeFunctions);
    EXPECT_EQ(fx::SlotToInst(3, 1), 31);
    EXPECT_EQ(gLastVersion, HostApiVersion);

    host_binding::SetResolverForTesting(&WithMaxLayers);
    gMaxLayers = 0;
    EXPECT_EQ(fx::GetMaxLayers(), 0); // a present function's 0 is kept, not replaced by 4
    EXPECT_EQ(gLastVersion, HostApiVersion);
}

TEST_F(HostFunctions, EachNameIsLookedUpOnceFoundOrNot) {
    host_binding::SetResolverForTesting(&OnlySomeFunctions);
    for (int i = 0; i < 3; ++i) {
        fx::SlotToInst(1, 0);
        fx::GetShowLayer(0);
    }
    EXPECT_EQ(gLookups[host_binding::HostFunctionName(HostFunction::SlotToInst)], 1);
    EXPECT_EQ(gLookups[host_binding::HostFunctionName(HostFunction::GetShowLayer)], 1);
    EXPECT_EQ(gLookups.count(host_binding::HostFunctionName(HostFunction::LoadTGF)),
              0u); // nothing is looked up before its first call
}

TEST_F(HostFunctions, SaveNormalizesTheFrameFirst) {
    host_binding::SetResolverForTesting(&OnlySomeFunctions);
    EntryRecord entry{};
    TgfFrame frame{};
    frame.entries = &entry;
    frame.entryCount = 1;
    EXPECT_EQ(fx::SaveTGF(&frame), 1);
    EXPECT_EQ(V(entry.noteCount), 1); // the empty-entry rule ran
    EXPECT_EQ(V(entry.entryFlags), EmptyEntryFlag);
}

} // namespace
