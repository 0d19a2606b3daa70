// The EData store through its host functions.
#include "SimHostFixture.h"

namespace simhost_test {
namespace {

constexpr uint32_t kTag = simhost::kArticulationTag;

class EDataTest : public SimHostTest {
protected:
    int16_t Save(uint32_t number, uint16_t sequence, uint32_t value) {
        EDataKey key{number, sequence};
        return FX_SaveEData(kTag, &key, &value, sizeof value, V);
    }
    uint32_t Load(uint32_t number, uint16_t sequence) {
        EDataKey key{number, sequence};
        uint32_t value = 0;
        uint32_t size = sizeof value;
        return FX_LoadEData(kTag, &key, &value, &size, V) != 0 ? value : 0xDEADu;
    }
};

TEST_F(EDataTest, SaveCreatesOrReplacesAndLoadTruncatesToTheBuffer) {
    EXPECT_EQ(Save(5, 0, 111), 1);
    EXPECT_EQ(Save(5, 0, 222), 1);
    EXPECT_EQ(Load(5, 0), 222u);
    EXPECT_EQ(Load(5, 1), 0xDEADu);

    const uint8_t twelve[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EDataKey key{6, 0};
    ASSERT_EQ(FX_SaveEData(kTag, &key, twelve, 12, V), 1);
    uint8_t buffer[8] = {};
    uint32_t size = 4;
    ASSERT_EQ(FX_LoadEData(kTag, &key, buffer, &size, V), 1);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(buffer[4], 0); // nothing beyond the size offered
}

TEST_F(EDataTest, CreateRefusesAnExistingRecordOrPicksTheNextSequence) {
    const uint32_t value = 1;
    EDataKey key{9, 0};
    EXPECT_EQ(FX_CreateEData(kTag, &key, &value, 4, V), 1);
    EXPECT_EQ(FX_CreateEData(kTag, &key, &value, 4, V), 0);
    key = EDataKey{9, 4};
    EXPECT_EQ(FX_CreateEData(kTag, &key, &value, 4, V), 1);
    key = EDataKey{9, kNoSequence};
    EXPECT_EQ(FX_CreateEData(kTag, &key, &value, 4, V), 1);
    EXPECT_EQ(key.sequence, 5); // after the last, not into the gap
    key = EDataKey{10, kNoSequence};
    EXPECT_EQ(FX_CreateEData(kTag, &key, &value, 4, V), 1);
    EXPECT_EQ(key.sequence, 0);
}

TEST_F(EDataTest, NextWalksOneTagInNumberAndSequenceOrder) {
    Save(3, 1, 0);
    Save(3, 0, 0);
    Save(8, 0, 0);
    EDataKey other{4, 0};
    FX_SaveEData(simhost::kTupletTag, &other, "x", 1, V);

    EDataKey key{0, 0};
    std::vector<std::pair<uint32_t, uint16_t>> walked;
    while (FX_NextEData(kTag, &key, nullptr, nullptr, V) != 0) walked.emplace_back(key.number, key.sequence);
    const std::vector<std::pair<uint32_t, uint16_t>> expected = {{3, 0}, {3, 1}, {8, 0}};
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(key.number, 8u); // a failed step leaves the key alone
}

TEST_F(EDataTest, DeleteAndBadArguments) {
    Save(2, 0, 7);
    EDataKey key{2, 0};
    EXPECT_EQ(FX_DeleteEData(kTag, &key, V), 1);
    EXPECT_EQ(FX_DeleteEData(kTag, &key, V), 0);
    EXPECT_EQ(Load(2, 0), 0xDEADu);

    uint32_t size = 4;
    EXPECT_EQ(FX_LoadEData(kTag, nullptr, &size, &size, V) + FX_SaveEData(kTag, nullptr, &size, 4, V) +
                  FX_CreateEData(kTag, nullptr, &size, 4, V) + FX_DeleteEData(kTag, nullptr, V) +
                  FX_NextEData(kTag, nullptr, nullptr, nullptr, V),
              0);
    EXPECT_EQ(FX_SaveEData(kTag, &key, nullptr, 4, V), 0);
    EXPECT_EQ(FX_LoadEData(kTag, &key, &size, nullptr, V), 0);

    host.SetCurrentDocument(0); // no document: no store
    EXPECT_EQ(Save(2, 0, 7), 0);
}

} // namespace
} // namespace simhost_test
