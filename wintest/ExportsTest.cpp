// The module as every Windows host meets it, whatever the executable is called: the export
// table, the six exports that need no command (byte for byte), the import of MessageBoxW and
// this executable's own export of the host functions.
#include "plugin/ExportTypes.h"
#include "simhost/SimHost.h"
#include "tests/e2e/PluginModule.h"
#include "wintest/MessageBoxRecorder.h"
#include "wintest/WinProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

class WindowsModule : public ::testing::Test {
protected:
    void SetUp() override {
        simhost::Host::Instance().Reset();
        ASSERT_TRUE(module.Load()) << module.Error();
        handle = wintest::LoadedModule("beatclone.fxt");
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override { module.Unload(); }

    PluginModule module;
    void* handle = nullptr;
};

TEST_F(WindowsModule, ExportsExactlyTheSevenUndecoratedNames) {
    std::vector<std::string> names = wintest::ExportedNames(handle);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (int e = 0; e < kPluginExportCount; ++e) expected.push_back(PluginExportName(static_cast<PluginExport>(e)));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST_F(WindowsModule, ErrorBoxesGoThroughTheImportedMessageBoxW) {
    EXPECT_EQ(wintest::ImportedAddress(handle, "user32.dll", "MessageBoxW"),
              reinterpret_cast<void*>(&wintest::RecordMessageBox));
    // The host lookup goes through KERNEL32, by name.
    EXPECT_NE(wintest::ImportedAddress(handle, "kernel32.dll", "GetModuleHandleA"), nullptr);
    EXPECT_NE(wintest::ImportedAddress(handle, "kernel32.dll", "GetProcAddress"), nullptr);
}

TEST_F(WindowsModule, VersionInitAndTerminate) {
    for (uint32_t host : {0u, 0x19000000u, 0xFFFFFFFFu}) EXPECT_EQ(module.Version(host), 0x0F000000u);
    uint32_t word = 2;
    EXPECT_EQ(module.Init(nullptr, &word), 1);
    EXPECT_EQ(word, 3u);
    word = 0xFFFFFFFFu;
    EXPECT_EQ(module.Init(reinterpret_cast<void*>(0x1234), &word), 1);
    EXPECT_EQ(word, 0xFFFFFFFFu);
    module.Terminate();
}

TEST_F(WindowsModule, EnumerateFillsEightBitRecordsByteForByte) {
    unsigned char record[196 + 4];
    std::memset(record, 0xAA, sizeof record);
    ASSERT_EQ(module.Enumerate(nullptr, 1, reinterpret_cast<CommandDescription*>(record)), 1);
    unsigned char expected[196 + 4];
    std::memset(expected, 0, 196);
    std::memset(expected + 196, 0xAA, 4); // nothing past the record
    std::memcpy(expected + 0, "Orvane Beatclone - COPY", 23);
    std::memcpy(expected + 64, "Copies the rhythm to the selected region.", 41);
    std::memcpy(expected + 128, "Beatclone/COPY", 14);
    expected[192] = 0x01; // flags 0x00010001, little-endian
    expected[194] = 0x01;
    EXPECT_EQ(std::memcmp(record, expected, sizeof expected), 0);

    std::memset(record, 0xAA, sizeof record);
    ASSERT_EQ(module.Enumerate(nullptr, 0, reinterpret_cast<CommandDescription*>(record)), 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(record), "Orvane Beatclone - SET SOURCE");
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 64), "Sets the rhythm source prior to a Beatclone.");
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 128), "Beatclone/SET");
    const unsigned char flags[4] = {0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(record + 192, flags, 4), 0);
}

TEST_F(WindowsModule, EnumerateFillsUtf16RecordsByteForByte) {
    unsigned char record[772 + 4];
    std::memset(record, 0xAA, sizeof record);
    ASSERT_EQ(module.EnumerateUtf16(nullptr, 0, reinterpret_cast<CommandDescriptionUtf16*>(record)), 1);
    // Each field: the text one byte to a little-endian unit, one zero unit, then the host's bytes.
    const char* const texts[3] = {"Orvane Beatclone - SET SOURCE", "Sets the rhythm source prior to a Beatclone.",
                                  "Beatclone/SET"};
    for (int field = 0; field < 3; ++field) {
        const unsigned char* p = record + 256 * field;
        const size_t length = std::strlen(texts[field]);
        for (size_t i = 0; i < length; ++i) {
            ASSERT_EQ(p[2 * i], static_cast<unsigned char>(texts[field][i])) << field << ":" << i;
            ASSERT_EQ(p[2 * i + 1], 0) << field << ":" << i;
        }
        EXPECT_EQ(p[2 * length], 0);
        EXPECT_EQ(p[2 * length + 1], 0);
        for (size_t i = 2 * length + 2; i < 256; ++i) ASSERT_EQ(p[i], 0xAA) << field << ":" << i;
    }
    const unsigned char flags[8] = {0x01, 0x00, 0x00, 0x00, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(std::memcmp(record + 768, flags, 8), 0);

    ASSERT_EQ(module.EnumerateUtf16(nullptr, 1, reinterpret_cast<CommandDescriptionUtf16*>(record)), 1);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(record)), u"Orvane Beatclone - COPY");
    const unsigned char copyFlags[4] = {0x01, 0x00, 0x01, 0x00};
    EXPECT_EQ(std::memcmp(record + 768, copyFlags, 4), 0);
}

TEST_F(WindowsModule, EnumerateOutsideTheCommandsWritesNothing) {
    for (int16_t index : {int16_t{2}, int16_t{-1}, int16_t{-32768}, int16_t{32767}}) {
        unsigned char record[772];
        std::memset(record, 0x5C, sizeof record);
        EXPECT_EQ(module.Enumerate(nullptr, index, reinterpret_cast<CommandDescription*>(record)), 0);
        EXPECT_EQ(module.EnumerateUtf16(nullptr, index, reinterpret_cast<CommandDescriptionUtf16*>(record)), 0);
        EXPECT_EQ(std::count(record, record + sizeof record, 0x5C), static_cast<std::ptrdiff_t>(sizeof record))
            << index;
    }
}

TEST_F(WindowsModule, CopyIsDisabledAtLoadAndOtherIndexesAreEnabled) {
    EXPECT_EQ(module.GetMenuStatus(1), 0);
    for (int16_t index : {int16_t{0}, int16_t{2}, int16_t{5}, int16_t{-1}}) EXPECT_EQ(module.GetMenuStatus(index), 1);
}

TEST(WindowsHost, ThisExecutableExportsTheHostFunctions) {
    void* self = wintest::LoadedModule(nullptr);
    for (int f = 0; f < host_binding::kHostFunctionCount; ++f) {
        const char* name = host_binding::HostFunctionName(static_cast<host_binding::HostFunction>(f));
        EXPECT_NE(wintest::ExportedAddress(self, name), nullptr) << name;
    }
}

} // namespace
