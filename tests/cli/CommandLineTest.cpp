// The beatclone executable: what it answers to bad input (one message, an exit code, no file
// left behind), where it writes, and its report formats.
#include "CliTestSupport.h"
#include "ScoreText.h"
#include "VoiceDigest.h"

#include "cli/musicxml/ScoreReader.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cctype>
#include <cstring>
#include <string_view>

namespace beatclone::cli::test {
namespace {

// Whether `text` is one JSON value and nothing else: a strict little parser, enough to catch
// a string that breaks the syntax.
class JsonSyntax {
public:
    static bool Valid(const std::string& text) {
        JsonSyntax p{text};
        return p.Value() && (p.Space(), p.at_ == text.size());
    }

private:
    explicit JsonSyntax(const std::string& text) : s_(text) {}
    void Space() {
        while (at_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
    }
    bool Eat(char c) {
        Space();
        return at_ < s_.size() && s_[at_] == c && (++at_, true);
    }
    bool String() {
        if (!Eat('"')) return false;
        while (at_ < s_.size() && s_[at_] != '"') {
            if (static_cast<unsigned char>(s_[at_]) < 0x20) return false;
            if (s_[at_] == '\\' &&
                (++at_ >= s_.size() || std::string_view("\"\\/bfnrtu").find(s_[at_]) == std::string_view::npos))
                return false;
            ++at_;
        }
        return Eat('"');
    }
    template <typename Item>
    bool List(char open, char close, Item item) {
        if (!Eat(open)) return false;
        if (Eat(close)) return true;
        do
            if (!item()) return false;
        while (Eat(','));
        return Eat(close);
    }
    bool Value() {
        Space();
        if (at_ >= s_.size()) return false;
        char c = s_[at_];
        if (c == '"') return String();
        if (c == '{') return List('{', '}', [this] { return String() && Eat(':') && Value(); });
        if (c == '[') return List('[', ']', [this] { return Value(); });
        for (const char* word : {"true", "false", "null"})
            if (s_.compare(at_, std::strlen(word), word) == 0) return (at_ += std::strlen(word), true);
        size_t start = at_;
        while (at_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[at_])) || std::strchr("+-.eE", s_[at_])))
            ++at_;
        return at_ > start;
    }

    const std::string& s_;
    size_t at_ = 0;
};

class CommandLine : public ::testing::Test {
protected:
    std::string Input(const std::string& text, const std::string& name = "in.musicxml") {
        WriteText(dir_ / name, text);
        return (dir_ / name).string();
    }
    std::string Out(const std::string& name = "out.musicxml") { return (dir_ / name).string(); }

    // Runs the tool; expects the exit code, a message containing `says`, and no new file.
    void ExpectFailure(const std::vector<std::string>& args, int code, const std::string& says) {
        std::vector<std::string> before = dir_.Files();
        RunResult r = RunTool(args);
        EXPECT_EQ(r.exitCode, code) << r.err;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one message: " << r.err;
        EXPECT_EQ(dir_.Files(), before);
    }

    std::string Quartet() {
        return ScoreXml({OneVoicePart("P1", "Trumpet 1", {"C5:q D5:q E5:h", "F5:w"}),
                         OneVoicePart("P2", "Trumpet 2", {"A4:h B4:q C5:q", "D5:w"}),
                         OneVoicePart("P3", "Trombone", {"C3:q D3:q E3:q F3:q", "G3:w"})});
    }

    ScratchDir dir_;
};

TEST_F(CommandLine, UnreadableFilesAreRefusedWithTheirReason) {
    ExpectFailure({(dir_ / "missing.musicxml").string(), "-o", Out()}, 3, "cannot open");
    std::filesystem::create_directory(dir_ / "folder.xml");
    ExpectFailure({(dir_ / "folder.xml").string(), "-o", Out()}, 3, "is a directory");
    ExpectFailure({Input("<score-partwise><part-list>"), "-o", Out()}, 3, "malformed XML at line 1");
    ExpectFailure({Input("<html><body/></html>"), "-o", Out()}, 3, "not a MusicXML score (the root element is <html>)");
    ExpectFailure({Input("<score-timewise><part-list/></score-timewise>"), "-o", Out()}, 3, "timewise");
    ExpectFailure({Input("PK\x03\x04 not really a zip", "bad.mxl"), "-o", Out()}, 3,
                  "not a readable compressed MusicXML file");
}

TEST_F(CommandLine, CompressedScoresNeedTheirContainer) {
    std::string path = (dir_ / "nocontainer.mxl").string();
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    static const char kScore[] = "<score-partwise/>";
    zip_file_add(zip, "score.xml", zip_source_buffer(zip, kScore, sizeof kScore - 1, 0), 0);
    ASSERT_EQ(zip_close(zip), 0);
    ExpectFailure({path, "-o", Out()}, 3, "has no META-INF/container.xml");
}

TEST_F(CommandLine, ScoresTheHostCannotHoldAreRefused) {
    PartText crowded{"P1", "Piano", 1, {}, 12};
    MeasureText m;
    for (int v = 1; v <= 5; ++v) m.voices.push_back({1, v, "C4:w"});
    crowded.measures.push_back(m);
    std::string crowdedScore =
        Input(ScoreXml({crowded, OneVoicePart("P2", "Flute", {"C5:w"}), OneVoicePart("P3", "Oboe", {"E5:w"})}));
    ExpectFailure({crowdedScore, "--source", "Flute:1", "--to", "Piano:1", "-o", Out()}, 3,
                  "uses 5 voices (1, 2, 3, 4, 5)");
    // A part no selection names is carried as it is, whatever it holds.
    for (std::vector<std::string> run : {std::vector<std::string>{crowdedScore, "-o", Out()},
                                         {crowdedScore, "--source", "Flute:1", "--to", "Oboe:1", "-o", Out()}}) {
        RunResult r = RunTool(run);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(ReadText(dir_ / "out.musicxml").find("<voice>5</voice>"), std::string::npos);
    }
    // Measures a transfer reaches must fit the host's records; others are carried as they are.
    std::vector<std::string> transfer{"--source", "Flute:1", "--to", "Flute:1", "-o", Out()};
    std::vector<std::string> args{
        Input(ScoreXml({OneVoicePart("P1", "Flute", {"C5+D5+E5+F5+G5+A5+B5+C6+D6+E6+F6+G6+A6:w"})}))};
    args.insert(args.end(), transfer.begin(), transfer.end());
    ExpectFailure(args, 3, "more than 12 notes");
    std::string overlapping = ScoreXml({OneVoicePart("P1", "Flute", {"C5:h D5:h"})});
    overlapping.replace(overlapping.find("<note>"), 0,
                        "<note><pitch><step>C</step><octave>4</octave></pitch>"
                        "<duration>12</duration><voice>1</voice></note><backup><duration>6</duration></backup>");
    args = {Input(overlapping)};
    args.insert(args.end(), transfer.begin(), transfer.end());
    ExpectFailure(args, 3, "overlaps itself");
}

TEST_F(CommandLine, BadSelectionsNameWhatIsMissing) {
    std::string in = Input(Quartet());
    ExpectFailure({in, "--source", "Tuba:1", "--to", "Trombone:1", "-o", Out()}, 4, "no part is called \"Tuba\"");
    ExpectFailure({in, "--source", "Trumpet 1:7", "--to", "Trombone:1", "-o", Out()}, 4, "no measure \"7\"");
    ExpectFailure({in, "--source", "Trumpet 1:2-1", "--to", "Trombone:1-2", "-o", Out()}, 4, "before it starts");
    ExpectFailure({in, "--source", "Trumpet 1/2:1", "--to", "Trombone:1", "-o", Out()}, 4, "there is no staff \"2\"");
    ExpectFailure({in, "--source", "Trumpet 1", "--to", "Trombone:1", "-o", Out()}, 4, "expected STAVES:MEASURES");
    ExpectFailure({in, "--source", "Trumpet 1:1-2", "--to", "Trombone:1", "-o", Out()}, 4,
                  "has 1 measure and the source \"Trumpet 1:1-2\" 2 measures; a destination is as long as its "
                  "source or a whole multiple of it (2, 4, 6, 8, ... measures)");
    ExpectFailure({in, "--source", "Trumpet 1:1"}, 2, "--source \"Trumpet 1:1\" has no --to after it");
}

TEST_F(CommandLine, AFailedRunLeavesAnExistingOutputAsItWas) {
    std::string in = Input(Quartet());
    WriteText(dir_ / "out.musicxml", "old");
    RunResult r = RunTool({in, "--source", "Tuba:1", "--to", "Trombone:1", "-o", Out()});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(ReadText(dir_ / "out.musicxml"), "old");
    std::filesystem::create_directory(dir_ / "taken");
    ExpectFailure({in, "-o", (dir_ / "taken").string()}, 6, "cannot write");
}

TEST_F(CommandLine, OutputGoesBesideTheInputUnlessNamedAndTheInputOnlyWhenNamed) {
    std::string in = Input(Quartet());
    RunResult r = RunTool({in});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dir_.Files(), (std::vector<std::string>{"in.beatclone.musicxml", "in.musicxml"}));
    EXPECT_EQ(ReadText(dir_ / "in.musicxml"), Quartet());

    r = RunTool({in, "--source", "Trumpet 1:1", "--to", "Trumpet 2:1", "-o", in});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(ReadText(dir_ / "in.musicxml"), Quartet());
    EXPECT_EQ(dir_.Files(), (std::vector<std::string>{"in.beatclone.musicxml", "in.musicxml"}));

    r = RunTool({in, "--source", "Trumpet 1:1", "--to", "Trumpet 2:1", "--dry-run", "-o", Out()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("already has the source's rhythm"), std::string::npos) << r.out;
    EXPECT_EQ(dir_.Files().size(), 2u);
}

TEST_F(CommandLine, StrictRefusesATransferThatWouldRemoveATie) {
    std::string in = Input(ScoreXml(
        {OneVoicePart("P1", "Flute", {"C5:h D5:h~", "D5:w"}), OneVoicePart("P2", "Oboe", {"E4:h F4:h", "G4:w"})}));
    ExpectFailure({in, "--source", "Flute:1", "--to", "Oboe:1", "--strict", "-o", Out()}, 9, "--strict");
    RunResult r = RunTool({in, "--source", "Flute:1", "--to", "Oboe:1", "--json", "-o", Out()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"ties\": {\"closed\": [], \"removed\": [\"measure 1: F4\"]}"), std::string::npos) << r.out;
}

TEST_F(CommandLine, CompressedOutputRoundTripsTheMusic) {
    std::string in = Input(Quartet());
    ASSERT_EQ(RunTool({in, "-o", Out("out.mxl")}).exitCode, 0);
    ASSERT_EQ(RunTool({Out("out.mxl"), "-o", Out("back.musicxml")}).exitCode, 0);
    MusicXmlScore original, back;
    ReadScore(in, original);
    ReadScore(Out("back.musicxml"), back);
    EXPECT_EQ(DigestOf(original.score), DigestOf(back.score));
}

TEST_F(CommandLine, ReportsForScriptsAndPeople) {
    std::string in = Input(Quartet());
    std::vector<std::string> transfer{in, "--source", "Trumpet 1:1", "--to", "Trumpet 2,Trombone:1", "-o", Out()};
    std::vector<std::string> tsv = transfer;
    tsv.push_back("--tsv");
    RunResult r = RunTool(tsv);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "job\tchunk\tfirst\tlast\tstaff\tpart\tstaffNumber\tlayer\tvoice\tsourceAttacks\tattacks\tresult\t"
              "reason\n1\t1\t1\t1\tTrumpet 2\tP2\t1\t1\t1\t3\t3\trebuilt\t\n"
              "1\t1\t1\t1\tTrombone\tP3\t1\t1\t1\t3\t4\tleft alone\tcount-differs\n");
    tsv.back() = "--quiet";
    r = RunTool(tsv);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out + r.err, "");

    std::vector<std::string> json = transfer;
    json.push_back("--json");
    r = RunTool(json);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_NE(
        r.out.find("\"staff\": \"Trumpet 2\", \"part\": \"P2\", \"staffNumber\": 1, \"layer\": 1, \"voice\": \"1\", "
                   "\"attacks\": 3, \"sourceAttacks\": 3, \"result\": \"rebuilt\""),
        std::string::npos)
        << r.out;

    r = RunTool(transfer);
    EXPECT_NE(r.out.find("Trombone   1      1      4        left alone: 4 attacks, the source has 3"),
              std::string::npos)
        << r.out;

    r = RunTool({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* needed : {"--source", "--to", "--dry-run", "--json", "--quiet", "EXAMPLES", "Piano/2",
                               "EXIT CODES", "1  nothing was rebuilt", "8  out of memory"})
        EXPECT_NE(r.out.find(needed), std::string::npos) << needed;
}

TEST_F(CommandLine, JsonReportEscapesNamesAndParses) {
    std::string in = Input(ScoreXml({OneVoicePart("P1", "Trumpet \"A\" \\ 1", {"C5:q D5:q E5:h"}),
                                     OneVoicePart("P2", "Trumpet\xc3\xa9 2", {"A4:h B4:q C5:q"})}));
    RunResult r = RunTool({in, "--source", "P1:1", "--to", "P2:1", "--json", "--dry-run"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"staff\": \"Trumpet \\\"A\\\" \\\\ 1\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"staff\": \"Trumpet\xc3\xa9 2\""), std::string::npos) << r.out;
    EXPECT_TRUE(JsonSyntax::Valid(r.out)) << r.out;
    EXPECT_EQ(JsonSchemaProblems(r.out), "");
}

TEST_F(CommandLine, DemoShowsTheExampleBeforeAndAfterAndWritesIt) {
    RunResult r = RunTool({"demo", "-o", Out()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("before: E4q F4q G4q A4q"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("after:  E4q{>} F4q G4e A4e G4q~ | G4q 3:2[F4e E4e D4e] E4h | rq F4q{.} G4h | E4h C4h"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(SchemaProblems(Out()), "");
}

} // namespace
} // namespace beatclone::cli::test
