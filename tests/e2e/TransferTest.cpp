// COPY end to end: which layers are rebuilt, what they receive, and what stays as it was.
#include "tests/e2e/PluginFixture.h"

#include "simhost/SimFormat.h"

namespace {

using Transfer = PluginFixture;

TEST_F(Transfer, OnlyLayersWithTheSourcesAttackCountAreRebuilt) {
    Write(1, 0, 1, "q:C5 q:D5 q:E5 q:F5");
    Write(2, 0, 1, "h:G3 h:A3 | h:B3 h:C4");
    Write(2, 1, 1, "h:E3 q:F3 q:G3 | w:r");
    const std::string layer2 = Bytes(2, 1, 1, 2);
    ASSERT_EQ(SetSource(1, 1, 2), 0);
    Write(1, 0, 2, "w:r"); // measure 2 of the source: a rest, no attack
    EXPECT_EQ(CopyTo(2, 2, 1, 2), 1);
    EXPECT_EQ(Read(2, 0, 1, 2), "q:G3 q:A3 q:B3 q:C4 | w:r");
    EXPECT_EQ(Bytes(2, 1, 1, 2), layer2);
}

TEST_F(Transfer, EveryStaffKeepsItsOwnPitches) {
    Write(1, 0, 1, "h:C5 h:D5~ | q:D5 q:E5 h:F5");
    Write(2, 0, 1, "h:G3 h:A3 | h:B3 h:C4");
    Write(3, 0, 1, "w:E4+G4 | h:F4+A4 q:G4 q:A4");
    Write(4, 0, 1, "q:C3 q:C3 q:C3 q:C3 | w:r");
    ASSERT_EQ(SetSource(1, 1, 2), 0);
    EXPECT_EQ(CopyTo(2, 4, 1, 2), 1);
    EXPECT_EQ(Read(2, 0, 1, 2), "h:G3 h:A3~ | q:A3 q:B3 h:C4");
    EXPECT_EQ(Read(3, 0, 1, 2), "h:E4+G4 h:F4~+A4~ | q:F4+A4 q:G4 h:A4");
    EXPECT_EQ(Read(4, 0, 1, 2), "h:C3 h:C3~ | q:C3 q:C3 h:C3");
    EXPECT_EQ(Read(1, 0, 1, 2), "h:C5 h:D5~ | q:D5 q:E5 h:F5");
}

TEST_F(Transfer, TiedDestinationGroupsGiveTheirFirstEntrysNotes) {
    Write(1, 0, 1, "q:C5 q:D5 q:E5 q:F5");
    ASSERT_EQ(SetSource(1, 1, 1), 0);
    // A tie into a chord joins the first two entries: 3 groups against 4, left alone.
    Write(2, 0, 1, "q:G3~ q:G3+B3 q:A3 q:B3");
    // A tie over three entries, the middle one a chord with one tied note: one group, which
    // gives its first entry's notes.
    Write(3, 0, 1, "e:G3~ e:G3+B3~ q:B3 q:A3 q:B3 q:C4");
    const std::string before = Bytes(2, 0, 1, 1);
    EXPECT_EQ(CopyTo(2, 3, 1, 1), 1);
    EXPECT_EQ(Bytes(2, 0, 1, 1), before);
    EXPECT_EQ(Read(3, 0, 1, 1), "q:G3 q:A3 q:B3 q:C4");
}

TEST_F(Transfer, SourceTiesRestsTupletsAndArticulationsTravel) {
    // A tied pair, a rest inside, a triplet, a chord with articulations, a rest at the end.
    Write(1, 0, 1, "q:C5~ e:C5 e:r 3/2e:D5 e:E5 e:F5!1 | h:G5+B5!2!4 q:A5 q:r");
    Write(2, 0, 1, "h:C4 h:D4 | q:E4 q:F4+A4 q:G4 q:A4");
    ASSERT_EQ(SetSource(1, 1, 2), 0);
    EXPECT_EQ(CopyTo(2, 2, 1, 2), 1);
    EXPECT_EQ(Read(2, 0, 1, 2), "q:C4~ e:C4 e:r 3/2e:D4 e:E4 e:F4+A4!1 | h:G4!2!4 q:A4 q:r");
}

TEST_F(Transfer, SourceAsItsOwnDestination) {
    Write(1, 0, 1, "q.:C5 e:D5 h:E5");
    Write(1, 1, 1, "q:G4 q:A4 h:B4");
    Write(1, 2, 1, "w:F4");
    const std::string layer1 = Bytes(1, 0, 1, 1);
    const std::string layer3 = Bytes(1, 2, 1, 1);
    ASSERT_EQ(SetSource(1, 1, 1), 0);
    EXPECT_EQ(CopyTo(1, 1, 1, 1), 1);
    EXPECT_EQ(Bytes(1, 0, 1, 1), layer1);
    EXPECT_EQ(Read(1, 1, 1, 1), "q.:G4 e:A4 h:B4");
    EXPECT_EQ(Bytes(1, 2, 1, 1), layer3);
}

TEST_F(Transfer, DestinationBeforeTheSource) {
    Write(1, 0, 9, "h:C5 h:D5 | w:E5 | w:F5 | w:G5");
    Write(2, 0, 1, "w:C3 | w:D3 | w:E3 | h:F3 h:G3");
    ASSERT_EQ(SetSource(1, 9, 12), 0);
    EXPECT_EQ(CopyTo(2, 2, 1, 4), 1);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(Read(2, 0, 1, 4), "h:C3 h:D3 | w:E3 | w:F3 | w:G3");
}

TEST_F(Transfer, DestinationOverlappingTheSourceOnItsOwnStaff) {
    Write(1, 0, 1, "q:C5 q:D5 h:E5 | h.:F5!1 q:G5 | q:A4 q:B4 h:C5");
    Write(2, 0, 2, "w:E3 | h:F3 q:G3 e:A3 e:B3");
    ASSERT_EQ(SetSource(1, 1, 2), 0);
    EXPECT_EQ(CopyTo(1, 2, 2, 3), 1);
    // Both staves receive the source as it stood when COPY began.
    EXPECT_EQ(Read(2, 0, 2, 3), "q:E3 q:F3 h:G3 | h.:A3!1 q:B3");
    EXPECT_EQ(Read(1, 0, 1, 3), "q:C5 q:D5 h:E5 | q:F5 q:G5 h:A4 | h.:B4!1 q:C5");
}

TEST_F(Transfer, AHiddenLayerIsLeftAloneAndAHiddenSourceLayerStillTravels) {
    Write(1, 0, 1, "q.:C5 e:D5 h:r");
    Write(2, 0, 1, "q:E3 q:F3");
    Write(2, 1, 1, "h:G3 h:B3");
    ASSERT_EQ(SetSource(1, 1, 1), 0);
    // The user's view hides layer 1: the source is read all the same and layer 2 is rebuilt,
    // while the hidden layer 1 of the destination is left alone.
    host.SetLayerShown(0, false);
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 1);
    EXPECT_EQ(Read(2, 1, 1, 1), "q.:G3 e:B3 h:r");
    EXPECT_EQ(Read(2, 0, 1, 1), "q:E3 q:F3");

    Write(3, 1, 1, "q:C4 q:D4");
    host.SetLayerShown(0, true);
    host.SetLayerShown(1, false);
    const std::string hidden = Bytes(3, 1, 1, 1);
    EXPECT_EQ(CopyTo(3, 3, 1, 1), 1);
    EXPECT_EQ(Bytes(3, 1, 1, 1), hidden);
}

TEST_F(Transfer, LayerLimitComesFromTheHost) {
    Write(1, 0, 1, "h:C5 h:D5");
    for (int16_t layer = 0; layer < 4; ++layer) Write(2, layer, 1, "q:E3 q:F3");
    ASSERT_EQ(SetSource(1, 1, 1), 0);

    host.SetFailing(simhost::Function::GetMaxLayers, true); // the host answers 0 layers
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 1);
    EXPECT_EQ(host.CallCount(simhost::Function::LoadTGF), 1u); // the source's one frame
    EXPECT_EQ(Read(2, 0, 1, 1), "q:E3 q:F3");
    host.SetFailing(simhost::Function::GetMaxLayers, false);

    host.SetMaxLayers(2);
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 1);
    EXPECT_EQ(Read(2, 1, 1, 1), "h:E3 h:F3");
    EXPECT_EQ(Read(2, 2, 1, 1), "q:E3 q:F3");

    host.SetMaxLayers(4);
    host.SetMissing(simhost::Function::GetMaxLayers, true); // missing: four layers
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 1);
    EXPECT_EQ(Read(2, 3, 1, 1), "h:E3 h:F3");
}

TEST_F(Transfer, SixteenBitRangesTerminate) {
    Write(1, 0, 1, "w:C5");
    ASSERT_EQ(SetSource(1, 1, 1), 0);
    // Slots up to 32767: no staves there, nothing rebuilt, and the loop ends.
    EXPECT_EQ(CopyTo(32760, 32767, 1, 1), 1);
    // 32767 layers: every one is visited once.
    host.SetMaxLayers(32767);
    Write(2, 0, 1, "h:E3");
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 1);
    EXPECT_EQ(Read(2, 0, 1, 1), "w:E3");
}

TEST_F(Transfer, MissingFramesLeaveLayersAsTheyWere) {
    Write(1, 0, 1, "h:C5 h:D5 | w:E5");
    Write(2, 0, 1, "q:E3 q:F3 | h:G3");
    Write(3, 0, 1, "q:E3 q:F3 | h:G3");
    ASSERT_EQ(SetSource(1, 1, 2), 0);
    const std::string staff3 = Bytes(3, 0, 1, 2);
    host.FailLoadAt(3, 2); // the host has no frame for measure 2 of staff 3
    EXPECT_EQ(CopyTo(2, 3, 1, 2), 1);
    EXPECT_EQ(Read(2, 0, 1, 2), "h:E3 h:F3 | w:G3");
    EXPECT_EQ(Bytes(3, 0, 1, 2), staff3);
}

TEST_F(Transfer, RefusedSavesAreNotReported) {
    Write(1, 0, 1, "h:C5 h:D5");
    Write(2, 0, 1, "q:E3 q:F3");
    ASSERT_EQ(SetSource(1, 1, 1), 0);
    host.SetFailing(simhost::Function::SaveTGF, true);
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 1);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(Read(2, 0, 1, 1), "q:E3 q:F3");
}

} // namespace
