// Damaged scores: elements removed, doubled or given nonsense values. Reading them and
// transferring on them either works or ends in one of the tool's own refusals; nothing else
// may happen (sanitizer builds make a memory error fail the test).
#include "CliTestSupport.h"

#include "cli/CliError.h"
#include "cli/musicxml/ScoreReader.h"
#include "cli/command/TransferRun.h"

#include <gtest/gtest.h>

#include <random>

namespace beatclone::cli::test {
namespace {

const char* const kNonsense[] = {"", "-1", "0", "abc", "99999999999", "1.5", "2147483648", "7", "P9", "-0.25"};

void Damage(pugi::xml_document& doc, std::mt19937& random) {
    std::vector<pugi::xml_node> elements;
    for (const pugi::xpath_node& n : doc.document_element().select_nodes("//*")) elements.push_back(n.node());
    pugi::xml_node victim = elements[random() % elements.size()];
    if (victim == doc.document_element()) return;
    switch (random() % 4) {
        case 0:
            victim.parent().remove_child(victim);
            break;
        case 1:
            victim.parent().insert_copy_after(victim, victim);
            break;
        case 2:
            victim.text().set(kNonsense[random() % std::size(kNonsense)]);
            break;
        default:
            for (const char* name : {"number", "type", "id"})
                if (victim.attribute(name))
                    victim.attribute(name).set_value(kNonsense[random() % std::size(kNonsense)]);
    }
}

TEST(MalformedInput, DamagedScoresAreReadOrRefusedButNeverCrash) {
    std::mt19937 random(20240607);
    ScratchDir dir;
    int refused = 0, transferred = 0;
    for (const char* name : {"lilysuite-23a-Tuplets.xml", "lilysuite-43a-PianoStaff.xml",
                             "partitura-test-note-ties-divs.xml", "w3c-tutorial-chopin-prelude.musicxml"}) {
        for (int round = 0; round < 60; ++round) {
            pugi::xml_document doc;
            ASSERT_TRUE(doc.load_file((CorpusDir() / name).c_str(), kParseOptions));
            for (int d = 0; d <= round % 3; ++d) Damage(doc, random);
            std::string text = SerializeScore(doc);
            SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
            try {
                MusicXmlScore score;
                score.score.path = name;
                ParseScoreText(name, text.data(), text.size(), score.file);
                BuildScoreOutline(score);
                DetailMeasures(score, 0, score.score.MeasureCount() - 1);
                const Part& first = score.score.parts.front();
                std::string all;
                for (const Part& p : score.score.parts) all += (all.empty() ? "" : ",") + p.id;
                std::string measure = first.measures.front().number;
                RunTransfer(score, {first.id + ":" + measure, all + ":" + measure, "", false});
                SaveScoreFile(score.file, (dir / "out.musicxml").string(), ScoreFormat::Uncompressed);
                ++transferred;
            } catch (const CliError&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(transferred, 0);
}

} // namespace
} // namespace beatclone::cli::test
