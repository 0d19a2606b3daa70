// SET SOURCE and COPY as the host runs them: results, enabled state and message boxes.
#include "tests/e2e/PluginFixture.h"

namespace {

using Commands = PluginFixture;

const char* const kNoNotes = "Orvane Beatclone Error: Source region didn't contain any notes in layer 1.";

TEST_F(Commands, SetSourceAnswersZeroAndEnablesCopyOnlyWhenValid) {
    Write(1, 0, 1, "q:C4 q:D4 q:E4 q:F4");
    EXPECT_EQ(module.GetMenuStatus(1), 0);
    EXPECT_EQ(SetSource(1, 1, 1), 0);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(module.GetMenuStatus(1), 1);

    // Two staves: refused, and the earlier good source is lost.
    EXPECT_EQ(Run(0, simhost::Host::WholeMeasures(1, 2, 1, 1)), 0);
    EXPECT_EQ(TakeBox(), "Source Selection Error: Only one individual staff is allowed as the selected source region.");
    EXPECT_EQ(module.GetMenuStatus(1), 0);
    EXPECT_EQ(module.GetMenuStatus(0), 1);
    EXPECT_EQ(module.GetMenuStatus(5), 1);

    RegionRecord partial = simhost::Host::WholeMeasures(1, 1, 1, 1);
    partial.startPosition = 256;
    EXPECT_EQ(Run(0, partial), 0);
    EXPECT_EQ(TakeBox(), "Source Selection Error: Partial measure selection are not allowed for this plug-in.");
}

TEST_F(Commands, CopyWithoutAValidSourceDoesNothing) {
    Write(1, 0, 1, "q:C4 q:D4 q:E4 q:F4");
    Write(2, 0, 1, "q:G4 q:G4 q:G4 q:G4");
    const std::string before = Bytes(2, 0, 1, 1);
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 0);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(host.CallCount(), 0u); // not even the host is asked
    EXPECT_EQ(Bytes(2, 0, 1, 1), before);
}

TEST_F(Commands, RefusalsOfCopyKeepTheSource) {
    Write(1, 0, 1, "q:C4 q:D4 q:E4 q:F4 | w:G4");
    ASSERT_EQ(SetSource(1, 1, 2), 0);

    RegionRecord partial = simhost::Host::WholeMeasures(2, 3, 5, 6);
    partial.endPosition = 0;
    EXPECT_EQ(Run(1, partial), 0);
    EXPECT_EQ(TakeBox(), "Orvane Beatclone Error: Partial selections are not allowed for this plug-in.");

    EXPECT_EQ(CopyTo(2, 3, 5, 7), 0);
    EXPECT_EQ(TakeBox(),
              "Orvane Beatclone Error: The destination region must have the same number of measures as the "
              "source region.");

    host.AddDocument(6).SetMeasureCount(8);
    host.SetCurrentDocument(6);
    EXPECT_EQ(CopyTo(2, 3, 5, 6), 0);
    EXPECT_EQ(TakeBox(), "Orvane Beatclone Error: The source region must belong to the current document.");
    EXPECT_EQ(module.GetMenuStatus(1), 1); // COPY refusals leave the source as it was
}

TEST_F(Commands, SourceWithoutNotesInLayerOne) {
    Write(1, 0, 1, "q:r h:r q:r");
    Write(1, 1, 1, "q:C4 q:D4 q:E4 q:F4"); // notes in layer 2 do not count
    Write(2, 0, 1, "w:r");
    ASSERT_EQ(SetSource(1, 1, 1), 0);
    const std::string before = Bytes(2, 0, 1, 1);
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 0);
    EXPECT_EQ(TakeBox(), kNoNotes);
    EXPECT_EQ(Bytes(2, 0, 1, 1), before);
}

TEST_F(Commands, IndexFiveRunsCopyAndCopyRepeats) {
    Write(1, 0, 1, "q.:C5 e:D5 h:E5");
    Write(2, 0, 1, "h:G3 q:A3 q:B3");
    Write(3, 0, 1, "q:C3 q:D3 h:E3");
    ASSERT_EQ(SetSource(1, 1, 1), 0);
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 1);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(Read(2, 0, 1, 1), "q.:G3 e:A3 h:B3");

    EXPECT_EQ(Run(5, simhost::Host::WholeMeasures(3, 3, 1, 1)), 1);
    EXPECT_EQ(Read(3, 0, 1, 1), "q.:C3 e:D3 h:E3");

    // Again against the same source: same result, and the source is still enabled.
    EXPECT_EQ(CopyTo(2, 3, 1, 1), 1);
    EXPECT_EQ(Read(2, 0, 1, 1), "q.:G3 e:A3 h:B3");
    EXPECT_EQ(Read(1, 0, 1, 1), "q.:C5 e:D5 h:E5");
    EXPECT_EQ(module.GetMenuStatus(1), 1);
}

TEST_F(Commands, NullSelections) {
    // SET SOURCE of nothing: the empty region of one staff passes its check.
    EXPECT_EQ(module.Invoke(kOwner, 0, nullptr), 0);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(module.GetMenuStatus(1), 1);
    // COPY of nothing: the destination is the empty region; the source has no notes.
    EXPECT_EQ(module.Invoke(kOwner, 1, nullptr), 0);
    EXPECT_EQ(TakeBox(), kNoNotes);
}

TEST_F(Commands, AFreshLoadForgetsTheSource) {
    Write(1, 0, 1, "w:C4");
    ASSERT_EQ(SetSource(1, 1, 1), 0);
    ASSERT_EQ(module.GetMenuStatus(1), 1);
    ASSERT_TRUE(module.Load()) << module.Error();
    EXPECT_EQ(module.GetMenuStatus(1), 0);
}

} // namespace
