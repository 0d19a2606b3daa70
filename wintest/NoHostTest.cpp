// The module in a process that is neither FINALE.EXE nor FINDEMO.EXE: it finds no host, so
// every host function counts as missing, although this executable exports them all. Nothing
// crashes, the commands answer as a host without those functions makes them, and the host's
// functions are never called.
#include "tests/e2e/PluginFixture.h"
#include "wintest/WinProcess.h"

namespace {

using WithoutHost = PluginFixture;

TEST_F(WithoutHost, EveryHostFunctionCountsAsMissing) {
    ASSERT_EQ(wintest::LoadedModule("FINALE.EXE"), nullptr);
    ASSERT_EQ(wintest::LoadedModule("FINDEMO.EXE"), nullptr);
    ASSERT_NE(
        wintest::ExportedAddress(wintest::LoadedModule(nullptr), simhost::FunctionName(simhost::Function::LoadTGF)),
        nullptr);

    Write(1, 0, 1, "q:C5 q:D5 h:E5");
    Write(2, 0, 1, "h:G3 q:A3 q:B3");
    const std::string before = Bytes(2, 0, 1, 1);

    // SET SOURCE: the current document reads as 0; the shape alone decides.
    EXPECT_EQ(SetSource(1, 1, 1), 0);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(module.GetMenuStatus(1), 1);
    // COPY: same "document" 0, but no frame comes back, so the source has no notes.
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 0);
    EXPECT_EQ(TakeBox(), "Orvane Beatclone Error: Source region didn't contain any notes in layer 1.");
    EXPECT_EQ(module.Invoke(kOwner, 5, nullptr), 0);
    EXPECT_EQ(TakeBox(), "Orvane Beatclone Error: Source region didn't contain any notes in layer 1.");
    EXPECT_EQ(CopyTo(2, 2, 1, 2), 0);
    EXPECT_EQ(TakeBox(),
              "Orvane Beatclone Error: The destination region must have the same number of measures as the "
              "source region.");

    EXPECT_EQ(SetSource(1, 1, 1), 0);
    EXPECT_EQ(Run(0, simhost::Host::WholeMeasures(1, 2, 1, 1)), 0);
    EXPECT_EQ(TakeBox(), "Source Selection Error: Only one individual staff is allowed as the selected source region.");
    EXPECT_EQ(module.GetMenuStatus(1), 0);

    EXPECT_EQ(host.CallCount(), 0u);
    EXPECT_EQ(Bytes(2, 0, 1, 1), before);
}

} // namespace
