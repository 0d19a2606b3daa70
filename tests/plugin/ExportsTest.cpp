// The six exports that need no command, byte for byte, through dlopen and dlsym.
#include "plugin/ExportTypes.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>

namespace {

class LoadedModule : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(BEATCLONE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle_ != nullptr) dlclose(handle_);
    }
    template <PluginExport e>
    PluginExportFn<e> Get() {
        void* symbol = dlsym(handle_, PluginExportName(e));
        EXPECT_NE(symbol, nullptr) << PluginExportName(e);
        return reinterpret_cast<PluginExportFn<e>>(symbol);
    }

    void* handle_ = nullptr;
};

TEST_F(LoadedModule, ExportsOnlyTheSevenEntryPoints) {
    for (int e = 0; e < kPluginExportCount; ++e) {
        const char* name = PluginExportName(static_cast<PluginExport>(e));
        EXPECT_NE(dlsym(handle_, name), nullptr) << name;
    }
    // Internal names stay hidden.
    for (const char* name : {"SourceValid", "SourceRegion", "_Z16NormalizeEntriesR8TgfFrame", "_ZN2fx7LoadTGFEsssss"}) {
        EXPECT_EQ(dlsym(handle_, name), nullptr) << name;
    }
}

TEST_F(LoadedModule, VersionInitAndTerminate) {
    auto version = Get<PluginExport::Version>();
    for (uint32_t host : {0u, 0x19000000u, 0xFFFFFFFFu}) EXPECT_EQ(version(host), 0x0F000000u);

    auto init = Get<PluginExport::Init>();
    uint32_t word = 2;
    EXPECT_EQ(init(nullptr, &word), 1);
    EXPECT_EQ(word, 3u);
    word = 1;
    EXPECT_EQ(init(reinterpret_cast<void*>(0x1234), &word), 1);
    EXPECT_EQ(word, 1u);
    EXPECT_EQ(init(nullptr, nullptr), 1); // a null word is ignored

    Get<PluginExport::Terminate>()();
}

TEST_F(LoadedModule, EnumerateFillsEightBitRecords) {
    auto enumerate = Get<PluginExport::Enumerate>();
    CommandDescription d;
    std::memset(&d, 0xAA, sizeof d);
    ASSERT_EQ(enumerate(nullptr, 0, &d), 1);

    unsigned char expected[196];
    std::memset(expected, 0, sizeof expected);
    std::memcpy(expected + 0, "Orvane Beatclone - SET SOURCE", 29);
    std::memcpy(expected + 64, "Sets the rhythm source prior to a Beatclone.", 44);
    std::memcpy(expected + 128, "Beatclone/SET", 13);
    expected[192] = 0x01; // flags 0x00000001, little-endian
    EXPECT_EQ(std::memcmp(&d, expected, sizeof expected), 0);

    std::memset(&d, 0xAA, sizeof d);
    ASSERT_EQ(enumerate(nullptr, 1, &d), 1);
    EXPECT_STREQ(d.name, "Orvane Beatclone - COPY");
    EXPECT_STREQ(d.description, "Copies the rhythm to the selected region.");
    EXPECT_STREQ(d.path, "Beatclone/COPY");
    EXPECT_EQ(d.flags, 0x00010001u);
    for (size_t i = std::strlen(d.name); i < 64; ++i) EXPECT_EQ(d.name[i], 0) << i;
}

TEST_F(LoadedModule, EnumerateFillsUtf16RecordsAndKeepsUnitsAfterTheTerminator) {
    auto enumerate = Get<PluginExport::EnumerateUtf16>();
    CommandDescriptionUtf16 d;
    std::memset(&d, 0xAA, sizeof d);
    ASSERT_EQ(enumerate(nullptr, 1, &d), 1);

    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&d);
    const std::string name = "Orvane Beatclone - COPY";
    for (size_t i = 0; i < name.size(); ++i) {
        EXPECT_EQ(bytes[2 * i], static_cast<unsigned char>(name[i])) << i;
        EXPECT_EQ(bytes[2 * i + 1], 0) << i;
    }
    EXPECT_EQ(bytes[2 * name.size()], 0);
    EXPECT_EQ(bytes[2 * name.size() + 1], 0);
    EXPECT_EQ(bytes[2 * name.size() + 2], 0xAA); // the host's units after the terminator stay
    EXPECT_EQ(bytes[255], 0xAA);
    const unsigned char flags[4] = {0x01, 0x00, 0x01, 0x00};
    EXPECT_EQ(std::memcmp(bytes + 768, flags, 4), 0);
    EXPECT_EQ(d.path[0], u'B');
    EXPECT_EQ(d.description[40], u'.');
}

TEST_F(LoadedModule, EnumerateOutsideTheCommandsWritesNothing) {
    auto enumerate = Get<PluginExport::Enumerate>();
    auto enumerate16 = Get<PluginExport::EnumerateUtf16>();
    for (int16_t index : {int16_t{2}, int16_t{-1}, int16_t{-32768}, int16_t{32767}}) {
        CommandDescription d;
        std::memset(&d, 0x5C, sizeof d);
        EXPECT_EQ(enumerate(nullptr, index, &d), 0);
        for (size_t i = 0; i < sizeof d; ++i) ASSERT_EQ(reinterpret_cast<unsigned char*>(&d)[i], 0x5C);
        CommandDescriptionUtf16 w;
        std::memset(&w, 0x5C, sizeof w);
        EXPECT_EQ(enumerate16(nullptr, index, &w), 0);
        for (size_t i = 0; i < sizeof w; ++i) ASSERT_EQ(reinterpret_cast<unsigned char*>(&w)[i], 0x5C);
    }
}

TEST_F(LoadedModule, CopyIsDisabledAtLoadAndOtherIndexesAreEnabled) {
    auto status = Get<PluginExport::GetMenuStatus>();
    EXPECT_EQ(status(1), 0);
    EXPECT_EQ(status(0), 1);
    EXPECT_EQ(status(5), 1);
    EXPECT_EQ(status(-1), 1);
}

} // namespace
