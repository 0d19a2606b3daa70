// Transfers through the module on small scores made for the purpose and on the built-in
// example: what is rebuilt, what is left alone, and what the user is told.
#include "CliTestSupport.h"
#include "ScoreText.h"
#include "SpannerCheck.h"
#include "TransferCheck.h"
#include "VoiceDigest.h"

#include "cli/CliError.h"
#include "cli/musicxml/ScoreReader.h"

#include <gtest/gtest.h>

namespace beatclone::cli::test {
namespace {

class Transfer : public ::testing::Test {
protected:
    // Loads the score text into `score` (and a second copy as it was).
    void Load(const std::string& xml) {
        WriteText(dir_ / "in.musicxml", xml);
        score_ = std::make_unique<MusicXmlScore>();
        before_ = std::make_unique<MusicXmlScore>();
        ReadScore((dir_ / "in.musicxml").string(), *score_);
        ReadScore((dir_ / "in.musicxml").string(), *before_);
    }

    // Runs the transfer, writes the result and reads it back into `after_`.
    TransferReport Run(const std::string& source, const std::string& to) {
        TransferReport report = RunTransfer(*score_, {source, to, "", false});
        EXPECT_EQ(report.warnings, std::vector<std::string>{}); // every frame given back once
        after_ = SavedAndReadBack(*score_, dir_ / "out.musicxml");
        EXPECT_EQ(CheckTransfer(before_->score, after_->score, report, source, to), "");
        EXPECT_EQ(NewBrokenSpanners(before_->file.document, after_->file.document), "");
        for (const Part& part : after_->score.parts)
            for (size_t m = 0; m < part.measures.size(); ++m)
                for (const auto& [voice, reach] : part.measures[m].voiceReach)
                    EXPECT_LE(reach, part.measures[m].length) << part.id << " measure #" << m;
        return report;
    }

    static const LayerOutcome& Layer(const TransferReport& report, const std::string& staff, int layer) {
        for (const LayerOutcome& l : report.layers)
            if (l.staff == staff && l.layer == layer) return l;
        throw std::runtime_error("no row for " + staff);
    }

    // The refusal's exit code and message.
    std::pair<ExitCode, std::string> Refusal(const std::string& source, const std::string& to) {
        try {
            RunTransfer(*score_, {source, to, "", false});
        } catch (const CliError& e) {
            return {e.Code(), e.what()};
        }
        return {ExitCode::Ok, ""};
    }

    ScratchDir dir_;
    std::unique_ptr<MusicXmlScore> score_, before_, after_;
};

TEST_F(Transfer, BrassExampleRebuildsMatchingLayersAndKeepsTheirSlurs) {
    Load(ReadText(std::filesystem::path(BEATCLONE_EXAMPLES_DIR) / "brass.musicxml"));
    TransferReport report = Run("Trumpet 1:1-4", "Trumpet 2,Horn,Trombone:1-4");
    EXPECT_EQ(report.sourceAttacks, 13);
    EXPECT_EQ(Layer(report, "Trumpet 2", 1).result, LayerResult::Rebuilt);
    EXPECT_EQ(Layer(report, "Trumpet 2", 1).dropped, (std::map<std::string, int>{}));
    EXPECT_EQ(Layer(report, "Horn", 1).result, LayerResult::Rebuilt);
    EXPECT_EQ(Layer(report, "Trombone", 1).result, LayerResult::Rebuilt);
    EXPECT_EQ(Layer(report, "Trombone", 2).result, LayerResult::CountDiffers);
    EXPECT_EQ(Layer(report, "Trombone", 2).attacks, 4);
}

TEST_F(Transfer, DestinationBeforeTheSourceOnTheSameStaffGetsTheWholeRhythm) {
    // Measures 3-4 and 1-2 both hold 7 attacks.
    Load(ScoreXml({OneVoicePart(
        "P1", "Flute", {"C5:q D5:q E5:q F5:q", "G5:q A5:q B5:h", "C5:e D5:e E5:q~ E5:h", "B4:q3 C5:q3 D5:q3 E5:h"})}));
    TransferReport report = Run("Flute:3-4", "Flute:1-2");
    EXPECT_EQ(report.sourceAttacks, 7);
    EXPECT_EQ(Layer(report, "Flute", 1).result, LayerResult::Rebuilt);
}

TEST_F(Transfer, OverlappingDestinationOnTheSourceStaffUsesTheRhythmAsItWas) {
    PartText flute = OneVoicePart("P1", "Flute", {"C5:h D5:h", "E5:q F5:q G5:h", "A5:h B5:h", "C6:w"});
    flute.measures[0].voices.push_back({1, 2, "C4:q D4:q E4:q F4:q"});
    flute.measures[1].voices.push_back({1, 2, "C4:w"});
    Load(ScoreXml({flute}));
    // Layer 2 over measures 1-2 has 5 attacks like layer 1's source; layer 1 is the source.
    TransferReport report = Run("Flute:1-2", "Flute:1-2");
    EXPECT_EQ(Layer(report, "Flute", 1).result, LayerResult::SameAsSource);
    EXPECT_EQ(Layer(report, "Flute", 2).result, LayerResult::Rebuilt);
}

TEST_F(Transfer, TripletsIntoAPartWithCoarseDivisionsRaiseThemForThatMeasureOnly) {
    PartText source = OneVoicePart("P1", "Violin", {"C5:q3 D5:q3 E5:q3 F5:h", "G5:w"});
    PartText coarse = OneVoicePart("P2", "Cello", {"C3:q D3:q E3:q F3:q", "G3:w"});
    coarse.divisions = 1;
    Load(ScoreXml({source, coarse}));
    TransferReport report = Run("Violin:1", "Cello:1");
    EXPECT_EQ(Layer(report, "Cello", 1).result, LayerResult::Rebuilt);
}

TEST_F(Transfer, RestsTiesGraceNotesAndChordsTravelAsTheModuleCarriesThem) {
    Load(ScoreXml({OneVoicePart("P1", "Oboe", {"g:D5:e C5:q~ C5:e r:e E5:q:acc F5:q", "G5:h:ferm r:h"}),
                   OneVoicePart("P2", "Clarinet", {"C4+E4:h D4:q E4:q", "F4:q~ F4:q G4:h"})}));
    TransferReport report = Run("Oboe:1-2", "Clarinet:1-2");
    EXPECT_EQ(report.sourceAttacks, 5);
    EXPECT_EQ(Layer(report, "Clarinet", 1).result, LayerResult::Rebuilt);
}

// What each rebuilt note carries, in order: "pitch lyric-text marks...".
std::vector<std::string> NotesOf(const pugi::xml_document& score, const std::string& partId) {
    std::vector<std::string> notes;
    pugi::xml_node part = score.document_element().find_child_by_attribute("part", "id", partId.c_str());
    for (pugi::xml_node measure : part.children("measure"))
        for (pugi::xml_node e : measure.children()) {
            std::string name = e.name();
            if (name == "forward") {
                EXPECT_TRUE(e.child("voice")) << "a <forward> without its voice";
            }
            if (name == "direction")
                notes.push_back(std::string("words ") + e.child("direction-type").child_value("words"));
            if (name != "note" || e.child("rest")) continue;
            std::string line =
                std::string(e.child("pitch").child_value("step")) + " " + e.child("lyric").child_value("text");
            for (pugi::xml_node n : e.child("notations").children()) {
                line += std::string(" ") + n.name();
                if (n.attribute("type")) line += std::string("-") + n.attribute("type").as_string();
            }
            if (e.child("beam")) line += " beam";
            notes.push_back(line);
        }
    return notes;
}

TEST_F(Transfer, MarkingsAndDirectionsTravelWithTheirAttacks) {
    std::string xml = ScoreXml({OneVoicePart("P1", "Soprano", {"C5:e D5:e E5:h.", "C5:w"}),
                                OneVoicePart("P2", "Alto", {"A4:h:lyr:slur( G4:q:lyr:fing F4:q:slur)", "E4:w"})});
    // Words at the onset of the alto's third attack, F4 at beat 4.
    size_t f4 = xml.find("<note><pitch><step>F</step>");
    xml.insert(f4, "<direction><direction-type><words>dolce</words></direction-type></direction>");
    // The source's eighths are beamed.
    for (auto [step, beam] : {std::pair{"<step>C</step>", "begin"}, std::pair{"<step>D</step>", "end"}}) {
        size_t at = xml.find("</type>", xml.find(step)) + 7;
        xml.insert(at, std::string("<beam number=\"1\">") + beam + "</beam>");
    }
    Load(xml);
    TransferReport report = Run("Soprano:1", "Alto:1");
    EXPECT_EQ(Layer(report, "Alto", 1).result, LayerResult::Rebuilt);
    EXPECT_EQ(Layer(report, "Alto", 1).dropped, (std::map<std::string, int>{}));
    EXPECT_EQ(
        NotesOf(after_->file.document, "P2"),
        (std::vector<std::string>{"A A4 slur-start beam", "G G4 technical beam", "words dolce", "F  slur-stop", "E "}));
}

TEST_F(Transfer, TiesAcrossTheEdgesAreClosedOrRemovedAndSaid) {
    std::string xml = ScoreXml({OneVoicePart("P1", "Flute", {"C5:h D5:h~", "D5:w", "C5:h D5:h", "C5:w"}),
                                OneVoicePart("P2", "Oboe", {"E4:h F4:h", "G4:w", "r:w", "r:w"}),
                                OneVoicePart("P3", "Horn", {"E4:q. G4:e~ G4:h~", "G4:w", "r:w", "r:w"}),
                                OneVoicePart("P4", "Bassoon", {"C3:h D3:h~", "D3:w", "r:w", "r:w"})});
    // The bassoon's tie into bar 2 is written out in full there.
    const std::string d3 = "<step>D</step><octave>3</octave></pitch><duration>48</duration>";
    xml.insert(xml.find(d3) + d3.size(), "<tie type=\"stop\"/>");
    Load(xml);
    TransferReport report = Run("Flute:1", "Oboe,Horn:1");
    // The source's tie onward has no F4 to go to; the horn's G4 goes on into its next bar.
    EXPECT_EQ(Layer(report, "Oboe", 1).tiesRemoved, std::vector<std::string>{"measure 1: F4"});
    EXPECT_EQ(Layer(report, "Horn", 1).tiesClosed, std::vector<std::string>{"measure 1: G4"});
    EXPECT_EQ(Layer(report, "Horn", 1).tiesRemoved, std::vector<std::string>{});
    // Untied now, the bassoon's D3 leaves no stop behind in the bar after.
    Load(xml);
    report = Run("Flute:3", "Bassoon:1");
    EXPECT_EQ(Layer(report, "Bassoon", 1).tiesRemoved,
              std::vector<std::string>{"measure 2: D3 (its tie from the bar before)"});
}

TEST_F(Transfer, StavesOfOnePartAndStavesApartAreAllReached) {
    PartText piano{"P2", "Piano", 2, {}, 12};
    piano.measures.push_back({{{1, 1, "E4:h G4:h"}, {2, 2, "C3:h G2:h"}}, ""});
    Load(ScoreXml({OneVoicePart("P1", "Horn", {"C4:q. D4:e E4:h"}), piano, OneVoicePart("P3", "Tuba", {"C2:w"}),
                   OneVoicePart("P4", "Bass", {"C2:h D2:q E2:q"})}));
    TransferReport report = Run("Horn:1", "Piano,Bass:1");
    EXPECT_EQ(Layer(report, "Piano/1", 1).result, LayerResult::CountDiffers);
    EXPECT_EQ(Layer(report, "Piano/2", 1).result, LayerResult::CountDiffers);
    EXPECT_EQ(Layer(report, "Bass", 1).result, LayerResult::Rebuilt);
}

TEST_F(Transfer, VoiceCrossingTheStavesIsRebuiltWholeEachNoteOnItsStaff) {
    // Voice 1 plays three notes on staff 1, then one on staff 2: it is one layer of staff 1.
    PartText piano{"P2", "Piano", 2, {}, 12};
    piano.measures.push_back({{{1, 1, "C5:q D5:q E5:q"}, {2, 1, "_:h. C3:q"}, {2, 2, "C2:w"}}, ""});
    // A voice name both staves use at the same time is a voice on each.
    PartText harp{"P3", "Harp", 2, {}, 12};
    harp.measures.push_back({{{1, 1, "C5:w"}, {2, 1, "C3:h C3:h"}}, ""});
    Load(ScoreXml({OneVoicePart("P1", "Flute", {"C5:e D5:e E5:q F5:h"}), piano, harp}));
    EXPECT_EQ(score_->score.parts[1].voicesByStaff, (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
    EXPECT_EQ(score_->score.parts[2].voicesByStaff, (std::vector<std::vector<std::string>>{{"1"}, {"1"}}));
    TransferReport report = Run("Flute:1", "Piano/1:1");
    EXPECT_EQ(Layer(report, "Piano/1", 1).result, LayerResult::Rebuilt);
    const VoiceMeasure* voice = after_->score.parts[1].measures[0].Find(1, "1");
    ASSERT_NE(voice, nullptr);
    std::vector<std::pair<Rational, int>> placed;
    for (const Event& e : voice->events) placed.push_back({e.onset, e.notes.empty() ? 0 : e.notes.front().staff});
    EXPECT_EQ(placed, (std::vector<std::pair<Rational, int>>{{0, 1}, {Rational(1, 2), 1}, {1, 1}, {2, 2}}));
}

TEST_F(Transfer, PickupMeasureIsNamedByItsNumberAndALongerRhythmDoesNotFitIt) {
    PartText a = OneVoicePart("P1", "Flute", {"G4:q", "C5:q D5:q E5:q F5:q", "G5:q A5:q B5:q C6:q"});
    PartText b = OneVoicePart("P2", "Oboe", {"E4:s F4:s G4:s A4:s", "A4:w", "B4:w"});
    PartText c = OneVoicePart("P3", "Bassoon", {"C3:q", "C3:w", "D3:w"});
    for (PartText* p : {&a, &b, &c})
        for (int m = 0; m < 3; ++m) p->measures[static_cast<size_t>(m)].number = std::to_string(m);
    Load(ScoreXml({a, b, c}));
    // The same rhythm is left as it is; into a full bar, the rest of the bar is rests.
    EXPECT_EQ(Layer(Run("Flute:0", "Bassoon:0"), "Bassoon", 1).result, LayerResult::AlreadyHasRhythm);
    TransferReport report = Run("Flute:0", "Bassoon:1");
    EXPECT_EQ(Layer(report, "Bassoon", 1).result, LayerResult::Rebuilt);
    EXPECT_EQ(Layer(report, "Bassoon", 1).restsFilled, 1);
    auto [code, message] = Refusal("Flute:1", "Oboe:0");
    EXPECT_EQ(code, ExitCode::BadSelection);
    EXPECT_NE(message.find("would not fit"), std::string::npos) << message;
}

// The command checks before the module would refuse, and says what to type instead.
TEST_F(Transfer, RefusalsSayWhatToTypeInstead) {
    Load(ScoreXml(
        {OneVoicePart("P1", "Flute", {"C5:w", "r:w", "D5:w"}), OneVoicePart("P2", "Oboe", {"C4:w", "D4:w", "E4:w"})}));
    auto [code, message] = Refusal("Flute:1-2", "Oboe:1");
    EXPECT_EQ(code, ExitCode::BadSelection);
    EXPECT_NE(message.find("has 1 measure and the source \"Flute:1-2\" 2 measures"), std::string::npos) << message;
    std::tie(code, message) = Refusal("Flute,Oboe:1", "Oboe:2");
    EXPECT_EQ(code, ExitCode::BadSelection);
    EXPECT_NE(message.find("a source is one staff; this names 2 staves"), std::string::npos) << message;
    std::tie(code, message) = Refusal("Flute:2", "Oboe:2");
    EXPECT_EQ(code, ExitCode::BadSelection);
    EXPECT_NE(message.find("selection \"Flute:2\": the source has no notes in voice 1 of Flute in measure 2"),
              std::string::npos)
        << message;
}

} // namespace
} // namespace beatclone::cli::test
