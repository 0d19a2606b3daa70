// Every corpus score goes in and out of the tool unchanged in its music, and what comes out
// validates against the MusicXML schema.
#include "CliTestSupport.h"
#include "VoiceDigest.h"

#include "cli/ScoreReader.h"

#include <gtest/gtest.h>

namespace beatclone::cli::test {
namespace {

class CorpusRoundTrip : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(CorpusRoundTrip, ToolRoundTripKeepsTheMusicAndValidates) {
    ScratchDir dir;
    std::filesystem::path out = dir / GetParam().filename().string();
    RunResult run = RunTool({GetParam().string(), "-o", out.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(SchemaProblems(out), "");

    Score original, written;
    ReadScore(GetParam().string(), original);
    ReadScore(out.string(), written);
    VoiceDigest before = DigestOf(original), after = DigestOf(written);
    EXPECT_EQ(before, after) << DescribeDifferences(before, after);
}

std::string TestName(const ::testing::TestParamInfo<std::filesystem::path>& info) {
    std::string name = info.param.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusRoundTrip, ::testing::ValuesIn(CorpusScores()), TestName);

} // namespace
} // namespace beatclone::cli::test
