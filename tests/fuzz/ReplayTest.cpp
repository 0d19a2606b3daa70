// Every input the fuzz target found a fault with, and the seeds, replayed against the hostile
// host: none may crash, hang or leave a frame lent.
#include "tests/fuzz/HostileHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

TEST(HostileHost, FoundAndSeedInputsRunClean) {
    int replayed = 0;
    for (const char* folder : {"regressions", "corpus"}) {
        const std::filesystem::path path = std::filesystem::path(BEATCLONE_FUZZ_DIR) / folder;
        for (const auto& file : std::filesystem::directory_iterator(path)) {
            SCOPED_TRACE(file.path().string());
            std::ifstream in(file.path(), std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            hostile::RunCopy(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    EXPECT_GE(replayed, 4);
}

} // namespace
