// Selections as users type them, against a score with a two-staff part, abbreviations, a
// pickup and a measure number printed twice.
#include "ScoreText.h"

#include "cli/CliError.h"
#include "cli/musicxml/ScoreReader.h"
#include "cli/command/Selection.h"

#include <gtest/gtest.h>

namespace beatclone::cli::test {
namespace {

class SelectionParsing : public ::testing::Test {
protected:
    void SetUp() override {
        PartText piano{"P2", "Piano", 2, {}, 12};
        for (int m = 0; m < 4; ++m) piano.measures.push_back({{{1, 1, "C5:w"}, {2, 2, "C3:w"}}, ""});
        PartText horn = OneVoicePart("P1", "Horn in F", {"C4:q", "C4:w", "C4:w", "C4:w"});
        PartText flute = OneVoicePart("P3", "piano", {"C4:q", "C4:w", "C4:w", "C4:w"}); // a name two parts share
        for (PartText* p : {&piano, &horn, &flute}) {
            p->measures[0].number = "0";
            p->measures[1].number = "1";
            p->measures[2].number = "2";
            p->measures[3].number = "2"; // a repeat printed with the same number
        }
        std::string xml = ScoreXml({horn, piano, flute});
        xml.insert(xml.find("</part-name>") + 12, "<part-abbreviation>Hn.</part-abbreviation>");
        MusicXmlScore read;
        read.score.path = "test";
        ParseScoreText("test", xml.data(), xml.size(), read.file);
        BuildScoreOutline(read);
        score_ = std::move(read.score);
    }

    std::string Error(const std::string& text) {
        try {
            ParseSelection(score_, text);
        } catch (const CliError& e) {
            EXPECT_EQ(e.Code(), ExitCode::BadSelection);
            return e.what();
        }
        return "";
    }

    Score score_;
};

TEST_F(SelectionParsing, PartsByIdNameOrAbbreviationInAnyCase) {
    for (const char* text : {"P1:1", "horn in f:1", "HN.:1", " Horn in F :1"}) {
        Selection s = ParseSelection(score_, text);
        ASSERT_EQ(s.staves.size(), 1u) << text;
        EXPECT_EQ(s.staves[0].part, 0u) << text;
    }
    EXPECT_NE(Error("Tuba:1").find("the parts are P1 (\"Horn in F\"), P2 (\"Piano\"), P3 (\"piano\")"),
              std::string::npos);
    // An exact id wins; a name two parts share must be given by id.
    EXPECT_EQ(ParseSelection(score_, "P2:1").staves.size(), 2u);
    EXPECT_NE(Error("PIANO:1").find("names several parts (\"Piano\" (P2), \"piano\" (P3)); name one by its id: "
                                    "\"@P2\" or \"@P3\""),
              std::string::npos);
}

TEST_F(SelectionParsing, StavesOfAPartAreNamedOrAllTaken) {
    Selection both = ParseSelection(score_, "P2:1");
    EXPECT_EQ(both.staves, (std::vector<StaffRef>{{1, 1}, {1, 2}}));
    Selection lower = ParseSelection(score_, "P2/2,P1,P2/2:1");
    EXPECT_EQ(lower.staves, (std::vector<StaffRef>{{1, 2}, {0, 1}}));
    EXPECT_NE(Error("P2/3:1").find("part P2 has 2 staves; there is no staff \"3\""), std::string::npos);
    EXPECT_NE(Error("P2/x:1").find("there is no staff \"x\""), std::string::npos);
    EXPECT_NE(Error("P1,,P2:1").find("an empty staff name"), std::string::npos);
}

TEST_F(SelectionParsing, MeasuresAsPrintedFromThePickupOn) {
    Selection s = ParseSelection(score_, "P1:0-1");
    EXPECT_EQ(s.firstMeasure, 0u);
    EXPECT_EQ(s.lastMeasure, 1u);
    // A number printed twice needs its occurrence, but not as the end of a range.
    EXPECT_NE(Error("P1:2").find("measure 2 is printed 2 times in part P1 (2#1, 2#2); write \"2#2\" for the second"),
              std::string::npos);
    EXPECT_EQ(ParseSelection(score_, "P1:2#2").firstMeasure, 3u);
    EXPECT_EQ(ParseSelection(score_, "P1:2#1-2#2").lastMeasure, 3u);
    EXPECT_NE(Error("P1:2#3").find("there is no \"2#3\""), std::string::npos);
    s = ParseSelection(score_, "P1:1-2");
    EXPECT_EQ(s.lastMeasure, 2u);
    EXPECT_NE(Error("P1:2#1-0").find("ends (measure 0) before it starts (measure 2#1)"), std::string::npos);
    EXPECT_NE(Error("P1:5").find("no measure \"5\" in part P1 (its measures are numbered 0 to 2#2"), std::string::npos);
    EXPECT_NE(Error("P1:").find("no measures given"), std::string::npos);
    EXPECT_NE(Error("P1").find("expected STAVES:MEASURES"), std::string::npos);
}

} // namespace
} // namespace beatclone::cli::test
