// The module in a process that is the host (FINALE.EXE, or FINDEMO.EXE when no FINALE.EXE is
// loaded): it binds the host functions this executable exports, and reads the selection the
// host hands in at the host's byte offsets.
#include "tests/e2e/PluginFixture.h"
#include "wintest/WinProcess.h"

#include <cstring>
#include <string>

#ifndef WINTEST_HOST_EXE
#error "WINTEST_HOST_EXE names the executable this test is linked into"
#endif

namespace {

// A selection as the host lays it out: 20 bytes, little-endian, packed.
struct SelectionBytes {
    alignas(8) unsigned char bytes[20] = {};

    SelectionBytes(int16_t firstSlot, int16_t lastSlot, int16_t first, int16_t last, int32_t startPosition = 0,
                   int32_t endPosition = 0x7FFFFFFF) {
        Put16(2, firstSlot);
        Put16(4, first);
        Put32(6, startPosition);
        Put16(12, lastSlot);
        Put16(14, last);
        Put32(16, endPosition);
    }
    const RegionRecord* Record() const { return reinterpret_cast<const RegionRecord*>(bytes); }

private:
    void Put16(int offset, int16_t value) {
        for (int i = 0; i < 2; ++i)
            bytes[offset + i] = static_cast<unsigned char>(static_cast<uint16_t>(value) >> (8 * i));
    }
    void Put32(int offset, int32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<unsigned char>(static_cast<uint32_t>(value) >> (8 * i));
    }
};

class HostedOnWindows : public PluginFixture {
protected:
    int16_t RunBytes(int16_t command, const SelectionBytes& selection) {
        RegionRecord current{};
        std::memcpy(&current, selection.bytes, sizeof selection.bytes);
        host.SetSelection(current);
        return module.Invoke(kOwner, command, selection.Record());
    }
};

TEST_F(HostedOnWindows, TheModuleBindsTheFunctionsOfThisExecutable) {
    ASSERT_EQ(wintest::ExecutableName(), WINTEST_HOST_EXE);
    EXPECT_EQ(wintest::LoadedModule(WINTEST_HOST_EXE), wintest::LoadedModule(nullptr));
    if (std::string(WINTEST_HOST_EXE) != "FINALE.EXE") {
        EXPECT_EQ(wintest::LoadedModule("FINALE.EXE"), nullptr);
    }

    Write(1, 0, 1, "q:C5 q:D5 h:E5");
    Write(2, 0, 1, "h:G3 q:A3 q:B3");
    EXPECT_EQ(SetSource(1, 1, 1), 0);
    EXPECT_EQ(host.CallCount(simhost::Function::GetCurrentEnigmaDocument), 1u);
    EXPECT_EQ(CopyTo(2, 2, 1, 1), 1);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(Read(2, 0, 1, 1), "q:G3 q:A3 h:B3");
}

TEST_F(HostedOnWindows, SelectionsAreReadAtTheHostsByteOffsets) {
    Write(1, 0, 3, "q:C5 q:D5 h:E5 | h.:F5 q:G5");
    Write(3, 0, 7, "h:G3 q:A3 q:B3 | q:C4 h.:D4");
    Write(4, 0, 7, "w:E3 | w:F3");
    EXPECT_EQ(RunBytes(0, SelectionBytes(1, 1, 3, 4)), 0);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(module.GetMenuStatus(1), 1);
    EXPECT_EQ(RunBytes(1, SelectionBytes(3, 4, 7, 8)), 1);
    EXPECT_EQ(TakeBox(), "");
    EXPECT_EQ(Read(3, 0, 7, 8), "q:G3 q:A3 h:B3 | h.:C4 q:D4");
    EXPECT_EQ(Read(4, 0, 7, 8), "w:E3 | w:F3");

    // Each position is a 32-bit value at its own offset.
    EXPECT_EQ(RunBytes(1, SelectionBytes(3, 3, 7, 8, 0, 0x7FFFFFFE)), 0);
    EXPECT_EQ(TakeBox(), "Orvane Beatclone Error: Partial selections are not allowed for this plug-in.");
    EXPECT_EQ(RunBytes(0, SelectionBytes(1, 1, 3, 4, 0x10000, 0x7FFFFFFF)), 0);
    EXPECT_EQ(TakeBox(), "Source Selection Error: Partial measure selection are not allowed for this plug-in.");
    EXPECT_EQ(RunBytes(0, SelectionBytes(1, 2, 3, 4)), 0);
    EXPECT_EQ(TakeBox(), "Source Selection Error: Only one individual staff is allowed as the selected source region.");
}

} // namespace
