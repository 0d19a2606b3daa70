// Every corpus score goes in and out of the tool unchanged in its music, and what comes out
// validates against the MusicXML schema.
#include "CliTestSupport.h"
#include "VoiceDigest.h"

#include "cli/hostmap/HostMapping.h"
#include "cli/command/LayerWriter.h"
#include "cli/musicxml/ScoreReader.h"

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

    MusicXmlScore original, written;
    ReadScore(GetParam().string(), original);
    ReadScore(out.string(), written);
    VoiceDigest before = DigestOf(original.score), after = DigestOf(written.score);
    EXPECT_EQ(before, after) << DescribeDifferences(before, after);
}

// Every voice of every measure goes into the host and is written back from it: the strongest
// test of the mapping both ways, on real scores.
TEST_P(CorpusRoundTrip, EveryVoiceRewrittenFromTheHostKeepsTheMusicAndValidates) {
    MusicXmlScore xml;
    ReadScore(GetParam().string(), xml);
    const Score& score = xml.score;
    VoiceDigest before = DigestWithTiesCompleted(score);

    simhost::Host& host = simhost::Host::Instance();
    host.Reset();
    simhost::Document& document = host.AddDocument(1);
    HostMapping mapping = LoadIntoHost(score, document);
    std::vector<RebuiltLayer> layers;
    for (const HostStaff& staff : mapping.staves)
        for (int16_t layer = 0; layer < 4; ++layer)
            layers.push_back({staff.slot, layer, 0, score.MeasureCount() - 1, 0, 0});
    WriteRebuiltLayers(xml, mapping, document, layers);

    ScratchDir dir;
    std::unique_ptr<MusicXmlScore> written = SavedAndReadBack(xml, dir / "rewritten.musicxml");
    // The tool writes every tie out in full, so what it wrote is compared as it stands: a tie
    // stop lost on the way back from the host shows.
    VoiceDigest after = DigestOf(written->score);
    EXPECT_EQ(before, after) << DescribeDifferences(before, after);
    // Each voice reaches the end of the measure, on one staff at least (a voice that crosses
    // between the staves is written as one).
    for (const Part& part : written->score.parts)
        for (const Measure& m : part.measures) {
            std::map<std::string, Rational> reachOfVoice;
            for (const auto& [voice, reach] : m.voiceReach)
                reachOfVoice[voice.second] = std::max(reachOfVoice[voice.second], reach);
            for (const auto& [voice, reach] : reachOfVoice)
                EXPECT_EQ(reach, m.length) << part.id << " measure " << m.number << " voice " << voice;
        }
}

std::string TestName(const ::testing::TestParamInfo<std::filesystem::path>& info) {
    std::string name = info.param.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusRoundTrip, ::testing::ValuesIn(CorpusScores()), TestName);
// Without the corpus the suite has no cases; the test below says why.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusRoundTrip);

TEST(Corpus, IsWhereTheBuildWasToldItIs) {
    EXPECT_GE(CorpusScores().size(), 50u)
        << "no corpus at " << CorpusDir()
        << "; configure with -DBEATCLONE_CORPUS_DIR=FOLDER (a folder of MusicXML scores with schema/musicxml.xsd)";
}

} // namespace
} // namespace beatclone::cli::test
