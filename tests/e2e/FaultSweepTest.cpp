// A COPY of a few staves and layers, with the Nth host call failing for every N: no crash, no
// frame kept or given back twice, and layers whose count differs never touched.
#include "tests/e2e/PluginFixture.h"

#include <string>
#include <vector>

namespace {

class FaultSweep : public PluginFixture {
protected:
    void BuildScore() {
        host.Reset();
        simhost::Document& document = host.AddDocument(kDocument);
        for (int16_t slot = 1; slot <= kStaves; ++slot) document.AddStaff(Instrument(slot));
        document.SetMeasureCount(kMeasures);
        Write(1, 0, 1, "q:C5~ e:C5 e:r 3/2e:D5 e:E5 e:F5!1 | h:G5+B5!2!4 q:A5 q:r");
        Write(2, 0, 1, "h:C4 h:D4 | q:E4 q:F4+A4 q:G4 q:A4");   // 6 groups: rebuilt
        Write(2, 1, 1, "w:C3 | w:D3");                           // 2 groups: untouched
        Write(3, 0, 1, "q:C4~ q:C4 q:D4 q:E4 | q:F4 h:G4 q:A4"); // 6 groups: rebuilt
        Write(3, 2, 1, "q:C4 q:D4 q:E4 q:F4 | q:G4 q:A4 q:B4");  // 7 groups: untouched
    }
    struct Untouched {
        int16_t slot, layer;
        std::string bytes;
    };
    std::vector<Untouched> Snapshot() {
        return {{2, 1, Bytes(2, 1, 1, 2)}, {3, 2, Bytes(3, 2, 1, 2)}, {1, 0, Bytes(1, 0, 1, 2)}};
    }
};

TEST_F(FaultSweep, EveryFailingCallIsSurvived) {
    BuildScore();
    ASSERT_EQ(SetSource(1, 1, 2), 0);
    const uint64_t start = host.CallCount();
    ASSERT_EQ(CopyTo(2, 3, 1, 2), 1);
    const uint64_t calls = host.CallCount() - start;
    ASSERT_GT(calls, 40u);
    ASSERT_TRUE(host.CheckNoLiveFrames());

    for (uint64_t n = 1; n <= calls; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        BuildScore();
        ASSERT_TRUE(module.Load()) << module.Error();
        ASSERT_EQ(SetSource(1, 1, 2), 0);
        const std::vector<Untouched> before = Snapshot();
        host.FailNthCall(n);
        const int16_t result = CopyTo(2, 3, 1, 2);
        EXPECT_TRUE(result == 0 || result == 1);
        EXPECT_TRUE(host.CheckNoLiveFrames());
        for (const std::string& problem : host.Problems()) ADD_FAILURE() << problem;
        for (const Untouched& u : before) EXPECT_EQ(Bytes(u.slot, u.layer, 1, 2), u.bytes) << u.slot << "/" << u.layer;
    }
}

} // namespace
