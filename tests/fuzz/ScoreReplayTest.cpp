// The corpus scores and every input the score fuzz target found a fault with, replayed: none
// may crash, hang or leak.
#include "tests/fuzz/ScoreRoundTrip.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ScoreFuzz, FoundInputsRunClean) {
    int replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(BEATCLONE_SCORE_REGRESSIONS_DIR)) {
        SCOPED_TRACE(file.path().string());
        const std::vector<uint8_t> bytes = Bytes(file.path());
        scorefuzz::RunScore(bytes.data(), bytes.size());
        ++replayed;
    }
    EXPECT_GE(replayed, 1);
}

// The seeds: each corpus score with a header that moves its first measures onto the last part.
TEST(ScoreFuzz, CorpusSeedsRunClean) {
    int replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(BEATCLONE_CORPUS_DIR)) {
        const std::string ext = file.path().extension().string();
        if (ext != ".xml" && ext != ".musicxml") continue;
        SCOPED_TRACE(file.path().string());
        std::vector<uint8_t> bytes = {0, 0, 1, 255, 0};
        const std::vector<uint8_t> score = Bytes(file.path());
        bytes.insert(bytes.end(), score.begin(), score.end());
        scorefuzz::RunScore(bytes.data(), bytes.size());
        ++replayed;
    }
    EXPECT_GE(replayed, 40);
}

} // namespace
