// Rewriting one voice of a measure: everything else keeps its place in time, and divisions
// made finer for the new rhythm are put back for the next measure.
#include "ScoreText.h"

#include "cli/hostmap/HostLayerReader.h"
#include "cli/musicxml/MeasureRewriter.h"
#include "cli/musicxml/MeasureWalker.h"
#include "cli/musicxml/ScoreReader.h"

#include <gtest/gtest.h>

namespace beatclone::cli::test {
namespace {

MusicXmlScore Parse(const std::string& xml) {
    MusicXmlScore score;
    score.score.path = "test";
    ParseScoreText("test", xml.data(), xml.size(), score.file);
    BuildScoreOutline(score);
    DetailMeasures(score, 0, score.score.MeasureCount() - 1);
    return score;
}

// Where each element named `name` sits in the measure, in quarters.
std::vector<Rational> Onsets(pugi::xml_node measure, Rational divisions, const char* name) {
    std::vector<Rational> onsets;
    MeasureWalker walker(measure, divisions, "test");
    WalkStep step;
    while (walker.Next(step))
        if (std::string_view(step.node.name()) == name)
            onsets.push_back(step.type == StepType::Note ? step.start : step.cursorBefore);
    return onsets;
}

Event Note(uint32_t edus, Rational onset, int tmActual = 1, int tmNormal = 1) {
    Event e;
    e.notated = edus;
    e.onset = onset;
    e.tmActual = tmActual;
    e.tmNormal = tmNormal;
    e.duration = SoundingLength(edus, tmActual, tmNormal);
    e.notes.push_back(NoteHead{{0, 0, 5, false}, false, false});
    return e;
}

TEST(MeasureRewrite, OtherVoicesAndDirectionsKeepTheirTimes) {
    PartText part{"P1", "Flute", 1, {}, 12};
    part.measures.push_back({{{1, 1, "C5:h D5:h"}, {1, 2, "E4:q F4:q G4:q A4:q"}}, ""});
    std::string xml = ScoreXml({part});
    // A direction at beat 3 of voice 2 and a chord symbol after the first note of voice 1.
    size_t g4 = xml.find("<note><pitch><step>G</step>");
    xml.insert(g4, "<direction><direction-type><words>dolce</words></direction-type></direction>");
    size_t d5 = xml.find("<note><pitch><step>D</step>");
    xml.insert(d5, "<harmony><root><root-step>G</root-step></root><kind>major</kind></harmony>");
    MusicXmlScore score = Parse(xml);
    Part& flute = score.score.parts[0];
    Measure& measure = flute.measures[0];
    Rational divisions = measure.divisionsAtStart;
    std::vector<Rational> directions = Onsets(score.MeasureNode(0, 0), divisions, "direction");
    std::vector<Rational> harmony = Onsets(score.MeasureNode(0, 0), divisions, "harmony");
    ASSERT_EQ(directions, (std::vector<Rational>{Rational(2)}));
    ASSERT_EQ(harmony, (std::vector<Rational>{Rational(2)}));

    // Voice 1 becomes a quintuplet of sixteenths and a dotted half: fifths of a quarter, which
    // 12 divisions cannot hold.
    RebuiltVoice v{1, "1", {}, {}, {}, {}};
    for (int i = 0; i < 5; ++i) v.events.push_back(Note(256, Rational(i, 5), 5, 4));
    v.events.push_back(Note(3072, 1));
    RewriteResult result = RewriteMeasure(flute, measure, score.MeasureNode(0, 0), {v});
    EXPECT_TRUE(result.divisionsChanged);
    EXPECT_EQ(result.divisionsForNext, Rational(12));

    MusicXmlScore reread = Parse(SerializeScore(score.file.document));
    const Measure& after = reread.score.parts[0].measures[0];
    EXPECT_EQ(Onsets(reread.MeasureNode(0, 0), after.divisionsAtStart, "direction"), directions);
    EXPECT_EQ(Onsets(reread.MeasureNode(0, 0), after.divisionsAtStart, "harmony"), harmony);
    const VoiceMeasure* second = after.Find(1, "2");
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->events.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(second->events[i].onset, Rational(static_cast<int64_t>(i)));
    const VoiceMeasure* first = after.Find(1, "1");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->events.size(), 6u);
    EXPECT_EQ(first->events[1].onset, Rational(1, 5));
    EXPECT_EQ(after.voiceReach.at({1, "1"}), Rational(4));
}

TEST(MeasureRewrite, FinerDivisionsAreUndoneForTheNextMeasure) {
    PartText part = OneVoicePart("P1", "Flute", {"C5:w", "D5:q E5:q F5:h", "G5:w"});
    part.divisions = 1;
    MusicXmlScore score = Parse(ScoreXml({part}));
    Part& flute = score.score.parts[0];
    RebuiltVoice v{
        1,  "1", {Note(512, 0, 3, 2), Note(512, Rational(1, 3), 3, 2), Note(512, Rational(2, 3), 3, 2), Note(3072, 1)},
        {}, {},  {}};
    RewriteResult result = RewriteMeasure(flute, flute.measures[0], score.MeasureNode(0, 0), {v});
    ASSERT_TRUE(result.divisionsChanged);
    EnsureDivisionsAtStart(score.MeasureNode(0, 1), result.divisionsForNext);

    const Score& reread = Parse(SerializeScore(score.file.document)).score;
    EXPECT_EQ(reread.parts[0].measures[0].divisionsAtEnd, Rational(3));
    EXPECT_EQ(reread.parts[0].measures[1].divisionsAtEnd, Rational(1));
    const VoiceMeasure* next = reread.parts[0].measures[1].Find(1, "1");
    ASSERT_NE(next, nullptr);
    ASSERT_EQ(next->events.size(), 3u);
    EXPECT_EQ(next->events[2].onset, Rational(2));
    EXPECT_EQ(next->events[2].duration, Rational(2));
}

TEST(MeasureRewrite, AChordWhoseFirstNoteGoesKeepsItsOtherNotesInPlace) {
    // Voice 2's notes are written as chord notes of voice 1's: malformed, but it happens.
    std::string xml = ScoreXml({OneVoicePart("P1", "Organ", {"C4+E4:w"})});
    size_t e4 = xml.find("<voice>1</voice>", xml.find("<step>E</step>"));
    xml.replace(e4, 16, "<voice>2</voice>");
    MusicXmlScore score = Parse(xml);
    Part& organ = score.score.parts[0];
    RebuiltVoice v{1, "1", {Note(2048, 0), Note(2048, 2)}, {}, {}, {}};
    RewriteMeasure(organ, organ.measures[0], score.MeasureNode(0, 0), {v});
    MusicXmlScore read = Parse(SerializeScore(score.file.document));
    const Score& reread = read.score;
    const VoiceMeasure* kept = reread.parts[0].measures[0].Find(1, "2");
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(kept->events.size(), 1u);
    EXPECT_EQ(kept->events[0].onset, Rational(0));
    EXPECT_EQ(kept->events[0].duration, Rational(4));
    EXPECT_EQ(reread.parts[0].measures[0].Find(1, "1")->events.size(), 2u);
}

// A note in the middle of a tie chain (<tied type="continue">, as some exporters write it)
// ends one tie and starts the next; a rebuild keeps a closing barline last.
TEST(MeasureRewrite, TiedContinueIsReadAndTheClosingBarlineStaysLast) {
    std::string xml = ScoreXml({OneVoicePart("P1", "Flute", {"C5:h~ C5:h", "C5:w"})});
    size_t second = xml.find("</note>", xml.find("<note>", xml.find("<note>") + 1));
    xml.insert(second, "<notations><tied type=\"continue\"/></notations>");
    size_t end = xml.find("</measure>");
    xml.insert(end, "<barline location=\"right\"><bar-style>light-heavy</bar-style></barline>");
    MusicXmlScore score = Parse(xml);
    const NoteHead& middle = score.score.parts[0].measures[0].voices[0].events[1].notes[0];
    EXPECT_TRUE(middle.tieStop);
    EXPECT_TRUE(middle.tieStart);

    Part& flute = score.score.parts[0];
    RebuiltVoice v{1, "1", {Note(1024, 0), Note(1024, 1), Note(2048, 2)}, {}, {}, {}};
    RewriteMeasure(flute, flute.measures[0], score.MeasureNode(0, 0), {v});
    pugi::xml_node last = score.MeasureNode(0, 0).last_child();
    while (last && last.type() != pugi::node_element) last = last.previous_sibling();
    EXPECT_STREQ(last.name(), "barline");
    EXPECT_EQ(Parse(SerializeScore(score.file.document)).score.parts[0].measures[0].voices[0].events.size(), 3u);
}

// Divisions that change inside a rewritten measure are unified for the whole of it (readers
// time a voice written after the change wrongly) and put back for the next measure.
TEST(MeasureRewrite, ADivisionsChangeInsideTheMeasureIsUnified) {
    PartText part{"P1", "Flute", 1, {}, 2};
    part.measures.push_back({{{1, 1, "C5:h D5:h"}, {1, 2, "E4:w"}}, ""});
    part.measures.push_back({{{1, 1, "C5:w"}}, ""});
    std::string xml = ScoreXml({part});
    xml.insert(xml.find("<note><pitch><step>D</step>"), "<attributes><divisions>3</divisions></attributes>");
    xml.replace(xml.find("<duration>4</duration>", xml.find("<step>D</step>")), 22, "<duration>6</duration>");
    MusicXmlScore score = Parse(xml);
    Part& flute = score.score.parts[0];
    RebuiltVoice v{1, "2", {Note(2048, 0), Note(2048, 2)}, {}, {}, {}};
    RewriteResult result = RewriteMeasure(flute, flute.measures[0], score.MeasureNode(0, 0), {v});
    EXPECT_TRUE(result.divisionsChanged);
    EXPECT_EQ(result.divisionsForNext, Rational(3));
    EXPECT_EQ(score.MeasureNode(0, 0).select_nodes(".//divisions").size(), 1u);
    MusicXmlScore reread = Parse(SerializeScore(score.file.document));
    const Measure& after = reread.score.parts[0].measures[0];
    ASSERT_TRUE(after.Find(1, "1") && after.Find(1, "2"));
    EXPECT_EQ(after.Find(1, "1")->events[1].onset, Rational(2));
    EXPECT_EQ(after.Find(1, "2")->events[1].onset, Rational(2));
    EXPECT_EQ(after.length, Rational(4));
}

} // namespace
} // namespace beatclone::cli::test
