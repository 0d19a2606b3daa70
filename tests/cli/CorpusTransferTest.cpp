// Transfers on real scores: the first staff's rhythm over a few measures goes to every staff,
// over the same measures and over the measures after them. Whatever the module rebuilds must
// carry the source's rhythm and keep its pitches attack by attack; everything else must stay.
#include "CliTestSupport.h"
#include "SpannerCheck.h"
#include "TransferCheck.h"

#include "cli/CliError.h"
#include "cli/musicxml/ScoreReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace beatclone::cli::test {
namespace {

// With BEATCLONE_TRANSFER_OUT set, each transfer that rebuilt something is kept there for
// .ci/lilypond-check, listed in manifest.tsv beside the score it was made from.
void KeepOutput(const MusicXmlScore& xml, const std::filesystem::path& input, const std::string& source,
                const std::string& to) {
    const char* dir = std::getenv("BEATCLONE_TRANSFER_OUT");
    if (dir == nullptr || *dir == '\0') return;
    static int kept = 0;
    std::filesystem::path out =
        std::filesystem::path(dir) / (input.stem().string() + "-" + std::to_string(++kept) + ".musicxml");
    SaveScoreFile(xml.file, out.string(), ScoreFormat::Uncompressed);
    std::ofstream(std::filesystem::path(dir) / "manifest.tsv", std::ios::app)
        << out.string() << '\t' << input.string() << '\t' << source << '\t' << to << '\n';
}

struct Outcome {
    int rebuilt = 0;
    int refused = 0;
};

// What the transfer wrote, read back: the rhythm, the pitches and the markings attack by
// attack, nothing else changed, every spanner whole.
void CheckWritten(const std::filesystem::path& path, const MusicXmlScore& xml, const MusicXmlScore& before,
                  const TransferReport& report, const std::string& source, const std::string& to) {
    EXPECT_EQ(report.warnings, std::vector<std::string>{}); // every frame given back once
    ScratchDir dir;
    std::unique_ptr<MusicXmlScore> after = SavedAndReadBack(xml, dir / path.filename());
    EXPECT_EQ(CheckTransfer(before.score, after->score, report, source, to), "");
    EXPECT_EQ(NewBrokenSpanners(before.file.document, after->file.document), "");
}

// Runs one transfer on a fresh reading of `path`; checks it; counts what happened.
void TransferAndCheck(const std::filesystem::path& path, size_t first, size_t last, size_t destFirst,
                      Outcome& outcome) {
    MusicXmlScore xml, before;
    ReadScore(path.string(), xml);
    ReadScore(path.string(), before);
    const Score& score = xml.score;
    const Part& lead = score.parts.front();
    std::string staves;
    for (const Part& part : score.parts) staves += (staves.empty() ? "@" : ",@") + part.id;
    std::string source = "@" + lead.id + (lead.staffCount > 1 ? "/1" : "") + ":" + MeasureName(lead, first) + "-" +
                         MeasureName(lead, last);
    size_t destLast = destFirst + (last - first);
    std::string to = staves + ":" + MeasureName(lead, destFirst) + "-" + MeasureName(lead, destLast);
    // Every measure can be named, a number printed twice too.
    Selection s = ParseSelection(score, source), d = ParseSelection(score, to);
    EXPECT_EQ(std::make_pair(s.firstMeasure, s.lastMeasure), std::make_pair(first, last)) << source;
    EXPECT_EQ(std::make_pair(d.firstMeasure, d.lastMeasure), std::make_pair(destFirst, destLast)) << to;
    SCOPED_TRACE(source + " -> " + to);

    TransferReport report;
    try {
        report = RunTransfer(xml, {source, to, "", false});
    } catch (const CliError& e) {
        std::string message = e.what();
        bool expected = message.find("the source has no notes") != std::string::npos ||
                        message.find("would not fit") != std::string::npos;
        EXPECT_TRUE(expected) << message;
        ++outcome.refused;
        return;
    }
    CheckWritten(path, xml, before, report, source, to);
    int rebuilt = 0;
    for (const LayerOutcome& l : report.layers) rebuilt += l.result == LayerResult::Rebuilt;
    if (rebuilt > 0) KeepOutput(xml, path, source, to);
    outcome.rebuilt += rebuilt;
}

// Lyrics of a lead sheet, figures of a figured bass (written as lyrics), a chorale's fermatas,
// a layer that already has the source's rhythm: nothing is dropped.
TEST(CorpusTransfer, WhatSatOnTheDestinationStays) {
    struct Case {
        const char* score;
        const char* source;
        const char* to;
        LayerResult result;
    };
    for (const Case& c : std::vector<Case>{
             {"music21-foster-jeanie-leadsheet.musicxml", "P1:3", "P1:8", LayerResult::Rebuilt},
             {"music21-corelli-op3no1-grave.xml", "P1:5-8", "P3:5-8", LayerResult::Rebuilt},
             {"music21-bach-bwv66.6-chorale.musicxml", "A.:0-2", "S.:0-2", LayerResult::Rebuilt},
             {"partitura-mozart-k265-var1.musicxml", "Pno./1:1-2", "Pno./1:5-6", LayerResult::AlreadyHasRhythm}}) {
        SCOPED_TRACE(c.score);
        std::filesystem::path path = CorpusDir() / c.score;
        MusicXmlScore xml, before;
        ReadScore(path.string(), xml);
        ReadScore(path.string(), before);
        TransferReport report = RunTransfer(xml, {c.source, c.to, "", false});
        ASSERT_FALSE(report.layers.empty());
        EXPECT_EQ(report.layers.front().result, c.result);
        EXPECT_EQ(report.layers.front().dropped, (std::map<std::string, int>{}));
        CheckWritten(path, xml, before, report, c.source, c.to);
    }
}

TEST(CorpusTransfer, RebuiltLayersCarryTheSourceRhythmAndKeepTheirPitches) {
    Outcome total;
    for (const std::filesystem::path& path : CorpusScores()) {
        SCOPED_TRACE(path.filename().string());
        MusicXmlScore score;
        ReadScore(path.string(), score);
        size_t measures = score.score.MeasureCount();
        size_t first = measures > 3 ? 1 : 0;
        size_t last = std::min(measures - 1, first + 2);
        TransferAndCheck(path, first, last, first, total);
        size_t span = last - first + 1;
        if (last + span < measures) TransferAndCheck(path, first, last, last + 1, total);
        // Single measures match more often: a few of them, onto themselves and the next.
        for (size_t m = 0; m < std::min<size_t>(measures, 4); ++m) {
            TransferAndCheck(path, m, m, m, total);
            if (m + 1 < measures) TransferAndCheck(path, m, m, m + 1, total);
        }
    }
    // The corpus must exercise the transfer, not only its refusals.
    EXPECT_GE(total.rebuilt, 50);
    RecordProperty("rebuilt", total.rebuilt);
    RecordProperty("refused", total.refused);
}

} // namespace
} // namespace beatclone::cli::test
