// Scores made to break the tool: values that overflow exact time arithmetic, text that is not
// UTF-8 or hides references, nesting and archives that would make memory or output run away.
// Each is refused with a message that places the problem, or read and written back safely.
#include "CliTestSupport.h"

#include "cli/CliError.h"
#include "cli/hostmap/Tuplets.h"
#include "cli/musicxml/ScoreFile.h"
#include "cli/musicxml/XmlInputCheck.h"
#include "cli/musicxml/MxlArchive.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>

namespace beatclone::cli::test {
namespace {

// The inputs the score fuzz target keeps, which start with a 5-byte header.
std::string FuzzScore(const std::string& name) {
    std::string bytes = ReadText(std::filesystem::path(BEATCLONE_FUZZ_DIR) / "score-regressions" / name);
    return bytes.substr(5);
}

TEST(HostileInput, TimeValuesTooLargeToComputeAreRefusedAtTheirMeasure) {
    ScratchDir dir;
    for (const char* name : {"forward-gaps-overflow", "coprime-divisions-overflow", "nested-tuplets-overflow"}) {
        SCOPED_TRACE(name);
        WriteText(dir / "in.musicxml", FuzzScore(name));
        RunResult r = RunTool({(dir / "in.musicxml").string(), "--source", "P1/1:1", "--to", "P1:1", "--dry-run"});
        EXPECT_EQ(r.exitCode, static_cast<int>(ExitCode::BadInput));
        EXPECT_NE(r.err.find("part P1, measure 1: durations, divisions or tuplet ratios too large"), std::string::npos)
            << r.err;
    }
}

// Tuplets nested in the host as deep as it lets a layer hold them: their ratios multiply
// exactly, or the layer is refused.
TEST(HostileInput, NestedTupletProductsFromTheHostAreExactOrRefused) {
    auto laidOut = [](std::vector<std::pair<uint16_t, uint16_t>> ratios) {
        std::vector<Event> events(1);
        events[0].notated = 1024;
        std::vector<EntryTuplets> tuplets(1);
        for (auto [actual, normal] : ratios) {
            simhost::TupletDefinition d{};
            d.actual = actual;
            d.normal = normal;
            simhost::SetTupletSpan(d, 0xFFFFFFFF);
            tuplets[0].push_back(d);
        }
        LayOutTuplets(events, tuplets);
        return std::make_pair(events[0].tmActual, events[0].tmNormal);
    };
    // The products overflow 64 bits; the ratio they make is 65535:65533.
    std::vector<std::pair<uint16_t, uint16_t>> cancelling;
    for (int k = 0; k < 6; ++k) cancelling.insert(cancelling.end(), {{65535, 65534}, {65534, 65535}});
    cancelling.push_back({65535, 65533});
    EXPECT_EQ(laidOut(cancelling), std::make_pair(65535, 65533));
    EXPECT_THROW(laidOut(std::vector<std::pair<uint16_t, uint16_t>>(6, {65521, 65519})), TimeOverflow);
}

// A one-note score with `inside` in the part name, on line 2.
std::string ScoreWith(const std::string& inside) {
    return "<?xml version=\"1.0\"?>\n<score-partwise><part-list><score-part id=\"P1\"><part-name>" + inside +
           "</part-name></score-part></part-list><part id=\"P1\"><measure number=\"1\"><attributes><divisions>1"
           "</divisions></attributes><note><rest/><duration>4</duration></note></measure></part></score-partwise>";
}

// The message of the refusal to read `text`, empty when it reads.
std::string Refusal(const std::string& text) {
    ScoreFile file;
    try {
        ParseScoreText("in.xml", text.data(), text.size(), file);
    } catch (const CliError& e) {
        EXPECT_EQ(e.Code(), ExitCode::BadInput);
        return e.what();
    }
    return "";
}

TEST(HostileInput, TextThatWouldNotComeOutAsItWentInIsRefusedWithItsPlace) {
    // The part name starts on line 2, column 59.
    EXPECT_EQ(Refusal(ScoreWith("Oboe \xC3(")),
              "in.xml: line 2, column 64: bytes that are not UTF-8; save the score as UTF-8");
    EXPECT_EQ(Refusal(ScoreWith("\xED\xA0\x80")).substr(0, 36), "in.xml: line 2, column 59: bytes tha");
    EXPECT_EQ(Refusal(ScoreWith("a\x01")),
              "in.xml: line 2, column 60: the character U+0001, which XML does not allow; remove it");
    EXPECT_EQ(Refusal(ScoreWith("&oboe;")),
              "in.xml: line 2, column 59: the entity reference &oboe;, which would not be "
              "expanded; write the text it stands for instead");
    EXPECT_NE(Refusal(ScoreWith("&#1;")).find("column 59: a character reference to a character XML does not allow"),
              std::string::npos);
    EXPECT_NE(Refusal(ScoreWith("&#x;")).find("column 59: a malformed character reference"), std::string::npos);
    std::string declared = ScoreWith("Fl\xFBte");
    declared.replace(0, 21, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>");
    EXPECT_NE(Refusal(declared).find("(the score declares the encoding windows-1252)"), std::string::npos);
    std::string deep = ScoreWith(std::string(300, 'x'));
    for (size_t d = 0; d < kMaxXmlDepth; ++d) deep.insert(deep.find("</part-name>"), "<a></a>", 3);
    for (size_t d = 0; d < kMaxXmlDepth; ++d) deep.insert(deep.find("</part-name>"), "</a>");
    EXPECT_NE(Refusal(deep).find("elements nested more than 256 deep"), std::string::npos);
    // In comments and attribute values as in text; in a comment, a reference is plain text.
    EXPECT_NE(Refusal("<!-- \xFF -->" + ScoreWith("")).find("line 1, column 6: bytes"), std::string::npos);
    EXPECT_NE(Refusal("<a b=\"&c;\"/>").find("line 1, column 7: the entity reference &c;"), std::string::npos);
    EXPECT_EQ(Refusal("<!-- &c; \xE2\x99\xAD -->" + ScoreWith("&amp;&lt;&#233;&#x266D; &")), "");
}

// The file is checked piece by piece as it is read: wherever a piece ends, inside a character
// or a reference, the verdict is the one on the whole text.
TEST(HostileInput, TextCheckedInPiecesGetsTheWholeTextsVerdict) {
    const auto verdict = [](const std::string& text, size_t piece) {
        TextScan scan("in.xml");
        try {
            if (piece < text.size()) scan.Scan(text.data(), piece, false);
            scan.Scan(text.data(), text.size(), true);
        } catch (const CliError& e) {
            return std::string(e.what());
        }
        return std::string(scan.OnlyPlainReferences() ? "plain" : "other references");
    };
    const std::string padding(70, 'x'); // past the vector steps
    for (const std::string& text :
         {padding + "Fl\xC3\xBBte &amp; \xE2\x99\xAD &lt;" + padding, padding + "&oboe; \xF0\x9D\x84\x9E" + padding,
          padding + "a\xE2\x99" + padding, padding + "\xF0\x9D\x84", padding + "&am"}) {
        const std::string whole = verdict(text, text.size());
        for (size_t piece = 0; piece < text.size(); ++piece) EXPECT_EQ(verdict(text, piece), whole) << piece;
    }
    EXPECT_EQ(verdict(padding + "&amp;" + padding, 73), "plain");
    EXPECT_EQ(verdict(padding + "&am", 71), "other references");
    EXPECT_NE(verdict(padding + "a\xE2\x99" + padding, 72).find("column 72: bytes that are not UTF-8"),
              std::string::npos);
}

TEST(HostileInput, OtherEncodingsAreReadAndWrittenAsUtf8) {
    const std::string name = "Fl\xC3\xBBte &amp; Oboe \xE2\x99\xAD";
    std::string utf16 = "\xFF\xFE";
    for (unsigned char c : ScoreWith("Fl\xFBte &amp; Oboe ")) utf16 += {static_cast<char>(c), '\0'};
    utf16.insert(utf16.find(std::string("<\0/\0p\0a\0r\0t\0-\0n", 16)), "\x6D\x26", 2); // U+266D
    std::string latin1 = ScoreWith("Fl\xFBte &amp; Oboe &#x266D;");
    latin1.replace(0, 21, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    for (const std::string& text : {utf16, latin1}) {
        ScoreFile file;
        ParseScoreText("in.xml", text.data(), text.size(), file);
        EXPECT_EQ(
            std::string(
                file.document.child("score-partwise").child("part-list").child("score-part").child_value("part-name")),
            "Fl\xC3\xBBte & Oboe \xE2\x99\xAD");
        std::string written = SerializeScore(file.document);
        EXPECT_NE(written.find(name), std::string::npos) << written;
    }
}

TEST(HostileInput, DeepContentIsWrittenWithinASmallMultipleOfItsSize) {
    std::string nested = "x";
    for (size_t d = 0; d < kMaxXmlDepth - 8; ++d) nested = "<a><b/><c/>" + nested + "</a>";
    std::string deep = ScoreWith(nested);
    ScoreFile file;
    ParseScoreText("in.xml", deep.data(), deep.size(), file);
    std::string written = SerializeScore(file.document);
    EXPECT_LT(written.size(), 10 * deep.size());
    ScoreFile again;
    ParseScoreText("out.xml", written.data(), written.size(), again);
    EXPECT_EQ(SerializeScore(again.document), written);
}

// An .mxl holding `score` and a large member that packs small.
void WriteArchive(const std::filesystem::path& path, const std::string& score, const std::string& extra) {
    static const char kContainer[] =
        "<container><rootfiles><rootfile full-path=\"score.xml\"/></rootfiles></container>";
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    zip_file_add(zip, "META-INF/container.xml", zip_source_buffer(zip, kContainer, sizeof kContainer - 1, 0), 0);
    zip_file_add(zip, "score.xml", zip_source_buffer(zip, score.data(), score.size(), 0), 0);
    // Packed fast, as the writer would not pack it: a copy that was unpacked shows.
    zip_int64_t index = zip_file_add(zip, "extra.bin", zip_source_buffer(zip, extra.data(), extra.size(), 0), 0);
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    ASSERT_EQ(zip_close(zip), 0);
}

// Sets the size the central directory gives the score to `size`.
void ClaimScoreSize(const std::filesystem::path& path, uint32_t size) {
    std::string bytes = ReadText(path);
    size_t entry = bytes.find(std::string("PK\x01\x02", 4));
    while (bytes.compare(entry + 46, 9, "score.xml") != 0) entry = bytes.find(std::string("PK\x01\x02", 4), entry + 4);
    for (int k = 0; k < 4; ++k) bytes[entry + 24 + static_cast<size_t>(k)] = static_cast<char>(size >> (8 * k));
    WriteText(path, bytes);
}

zip_stat_t StatOf(const std::filesystem::path& path, const char* member) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip != nullptr) zip_stat(zip, member, 0, &st);
    if (zip != nullptr) zip_discard(zip);
    return st;
}

TEST(HostileInput, ArchivesUnpackOnlyTheScoreAndThatWithinALimit) {
    ScratchDir dir;
    const std::string extra(size_t{32} << 20, '\0'); // 32 KiB packed
    WriteArchive(dir / "in.mxl", ScoreWith("Oboe"), extra);
    RunResult r = RunTool({(dir / "in.mxl").string(), "-o", (dir / "out.mxl").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    zip_stat_t in = StatOf(dir / "in.mxl", "extra.bin"), out = StatOf(dir / "out.mxl", "extra.bin");
    EXPECT_EQ(out.size, extra.size());
    EXPECT_EQ(out.comp_size, in.comp_size);
    EXPECT_EQ(out.crc, in.crc);

    ClaimScoreSize(dir / "in.mxl", static_cast<uint32_t>(kMaxUnpackedScoreBytes + 1));
    r = RunTool({(dir / "in.mxl").string(), "-o", (dir / "out.mxl").string()});
    EXPECT_EQ(r.exitCode, static_cast<int>(ExitCode::BadInput));
    EXPECT_NE(r.err.find("member score.xml unpacks to more than 256 MiB"), std::string::npos) << r.err;
    ClaimScoreSize(dir / "in.mxl", 100);
    r = RunTool({(dir / "in.mxl").string(), "-o", (dir / "out.mxl").string()});
    EXPECT_NE(r.err.find("member score.xml is damaged"), std::string::npos) << r.err;
}

} // namespace
} // namespace beatclone::cli::test
