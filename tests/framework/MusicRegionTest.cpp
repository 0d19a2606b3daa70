// Regions from the host's selection, and their instrument-based comparison.
#include "framework/FCMusicRegion.h"
#include "simhost/SimHost.h"

#include <gtest/gtest.h>

namespace {

class MusicRegion : public ::testing::Test {
protected:
    void SetUp() override {
        host.Reset();
        simhost::Document& doc = host.AddDocument(7);
        doc.AddStaff(11);       // slot 1
        doc.AddStaff(12);       // slot 2
        doc.AddStaff(11 + 100); // slot 3
        doc.SetMeasureCount(20);
    }
    static FCMusicRegion Region(int16_t startSlot, int16_t endSlot, int16_t first, int16_t last) {
        FCMusicRegion r;
        const RegionRecord record = simhost::Host::WholeMeasures(startSlot, endSlot, first, last);
        r.SetFromRecord(&record);
        return r;
    }
    simhost::Host& host = simhost::Host::Instance();
};

TEST_F(MusicRegion, NewRegionIsEmpty) {
    FCMusicRegion r;
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(r.GetStartMeasure(), 0);
    EXPECT_EQ(r.GetEndMeasure(), 0);
    EXPECT_EQ(r.startPosition, 0);
    EXPECT_EQ(r.endPosition, 0);
    EXPECT_EQ(r.document, 0);
    EXPECT_TRUE(r.CoversWholeMeasures());
}

TEST_F(MusicRegion, SetCurrentSelectionTakesTheRecordAndTheDocument) {
    RegionRecord selection = simhost::Host::WholeMeasures(1, 2, 3, 5);
    selection.startSlotList = 4;
    selection.endSlotList = 6;
    host.SetSelection(selection);
    FCMusicRegion r;
    EXPECT_TRUE(r.SetCurrentSelection());
    EXPECT_EQ(r.GetStartMeasure(), 3);
    EXPECT_EQ(r.GetEndMeasure(), 5);
    EXPECT_EQ(r.startSlotList, 4);
    EXPECT_EQ(r.endSlotList, 6);
    EXPECT_EQ(r.endSlot, 2);
    EXPECT_EQ(r.endPosition, WholeMeasureEnd);
    EXPECT_EQ(r.document, 7);
}

TEST_F(MusicRegion, IsEqualComparesInstrumentsMeasuresAndPositions) {
    const FCMusicRegion a = Region(1, 2, 3, 5);
    FCMusicRegion b = a;
    b.document = 99;
    EXPECT_TRUE(a.IsEqual(&b)); // the document takes no part

    b = a;
    b.endSlotList = 3; // the end slot still maps to the same instrument
    EXPECT_TRUE(a.IsEqual(&b));

    b = a;
    b.startSlotList = 1;
    EXPECT_FALSE(a.IsEqual(&b));

    b = a;
    b.endPosition = 960;
    EXPECT_FALSE(a.IsEqual(&b));

    b = a;
    b.startSlot = 3; // another staff
    EXPECT_FALSE(a.IsEqual(&b));

    b = a;
    b.endMeasure = 6;
    EXPECT_FALSE(a.IsEqual(&b));
    EXPECT_FALSE(a.IsEqual(nullptr));
}

TEST_F(MusicRegion, SlotsThatHoldTheSameInstrumentAreEqual) {
    // Without SlotToInst every slot maps to instrument 0.
    host.SetMissing(simhost::Function::SlotToInst, true);
    const FCMusicRegion a = Region(1, 1, 3, 5);
    const FCMusicRegion b = Region(2, 3, 3, 5);
    EXPECT_TRUE(a.IsEqual(&b));
    host.SetMissing(simhost::Function::SlotToInst, false);
    EXPECT_FALSE(a.IsEqual(&b));
}

} // namespace
