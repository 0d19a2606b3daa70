// Generated scores: after COPY each rebuilt layer has the source's rhythm, tuplets and
// articulations and, attack by attack, its own pitches; every other layer is byte-identical.
#include "tests/e2e/PluginFixture.h"
#include "tests/e2e/RandomScore.h"

#include <map>
#include <random>
#include <utility>

namespace {

using GeneratedScores = PluginFixture;

TEST_F(GeneratedScores, RebuiltLayersTakeTheRhythmAndKeepTheirPitches) {
    int rebuiltLayers = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        host.Reset();
        simhost::Document& document = host.AddDocument(kDocument);
        for (int16_t slot = 1; slot <= kStaves; ++slot) document.AddStaff(Instrument(slot));
        document.SetMeasureCount(kMeasures);
        ASSERT_TRUE(module.Load()) << module.Error();

        std::mt19937 rng(seed);
        const int groups = std::uniform_int_distribution<int>(1, 8)(rng);
        const std::string source = randomscore::Layer(rng, groups, 2);
        Write(1, 0, 1, source);
        // Destinations: measures 3-4 of every staff and layer; about half of them with the
        // source's count.
        std::map<std::pair<int16_t, int16_t>, std::string> before;
        for (int16_t slot = 1; slot <= kStaves; ++slot) {
            for (int16_t layer = 0; layer < 4; ++layer) {
                const int count = std::uniform_int_distribution<int>(0, 1)(rng) == 0
                                      ? groups
                                      : std::uniform_int_distribution<int>(0, 9)(rng);
                Write(slot, layer, 3, randomscore::Layer(rng, count, 2));
                before[{slot, layer}] = Read(slot, layer, 3, 4);
            }
        }
        std::map<std::pair<int16_t, int16_t>, std::string> bytes;
        for (const auto& [position, text] : before) bytes[position] = Bytes(position.first, position.second, 3, 4);
        const std::string sourceBytes = Bytes(1, 0, 1, 2);
        ASSERT_EQ(randomscore::CountGroups(source), groups) << source;
        ASSERT_EQ(Read(1, 0, 1, 2), source);

        ASSERT_EQ(SetSource(1, 1, 2), 0);
        ASSERT_EQ(CopyTo(1, kStaves, 3, 4), 1);

        EXPECT_EQ(Bytes(1, 0, 1, 2), sourceBytes);
        for (const auto& [position, text] : before) {
            const auto [slot, layer] = position;
            SCOPED_TRACE("staff " + std::to_string(slot) + " layer " + std::to_string(layer + 1) +
                         "\nsource: " + source + "\nbefore: " + text);
            if (randomscore::CountGroups(text) == groups) {
                EXPECT_EQ(Read(slot, layer, 3, 4), randomscore::Rebuilt(source, text));
                ++rebuiltLayers;
            } else {
                EXPECT_EQ(Bytes(slot, layer, 3, 4), bytes[position]);
            }
        }
        EXPECT_TRUE(host.CheckNoLiveFrames());
    }
    EXPECT_GT(rebuiltLayers, 100);
}

} // namespace
