// The copyist's jobs through the beatclone executable: forgiving selections and their
// refusals, repeated and chained jobs, a chosen source voice, the conventions of a command
// (standard input and output, exit codes, JSON checked against its schema) and output that
// never destroys what it writes over.
#include "CliTestSupport.h"
#include "ScoreText.h"

#include "cli/CliError.h"
#include "cli/command/Selection.h"
#include "cli/musicxml/ScoreReader.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <thread>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace beatclone::cli::test {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Durations of the first voice of part `p`, measure index `m`: "1 1/2 1/2 2".
std::string Rhythm(const fs::path& file, size_t p, size_t m) {
    MusicXmlScore score;
    ReadScore(file.string(), score);
    std::string out;
    for (const Event& e : score.score.parts[p].measures[m].voices.front().events)
        out += (out.empty() ? "" : " ") + e.duration.ToString();
    return out;
}

class Copyist : public ::testing::Test {
protected:
    std::string Input(const std::string& text, const std::string& name = "in.musicxml") {
        WriteText(dir_ / name, text);
        return (dir_ / name).string();
    }
    std::string Out(const std::string& name = "out.musicxml") { return (dir_ / name).string(); }

    // Lead: one bar of q e e h; Bass and Alto: bars of four quarters, the last of two halves.
    // Organ: its first bar in voices 3 and 4 only.
    std::string Band() {
        PartText organ{"P4", "Organ", 1, {}, 12};
        organ.measures = {{{{1, 3, "C5:q D5:q E5:q F5:q"}, {1, 4, "C4:h D4:h"}}, ""}, {{{1, 1, "C4:w"}}, ""}};
        organ.measures.resize(4, {{{1, 1, "C4:w"}}, ""});
        std::string four = "C3:q D3:q E3:q F3:q";
        return ScoreXml({OneVoicePart("P1", "Lead", {"C5:q D5:e E5:e F5:h", "C5:w", "C5:w", "C5:w"}),
                         OneVoicePart("P2", "Bass", {four, four, four, "C3:h D3:h"}),
                         OneVoicePart("P3", "Alto", {four, four, four, four}), organ});
    }

    ScratchDir dir_;
};

// Names with other case, accents, punctuation and spacing; ids; "all"; movements.
TEST_F(Copyist, SelectionsForgiveTheSpellingAndRefuseWhatIsAmbiguous) {
    std::vector<PartText> parts{OneVoicePart("P1", "Violino I.", {"C5:w", "C5:w", "C5:w", "C5:w"}),
                                OneVoicePart("P2", "Violino II", {"C5:w", "C5:w", "C5:w", "C5:w"}),
                                OneVoicePart("P3", "FLÛTE À BEC", {"C5:w", "C5:w", "C5:w", "C5:w"}),
                                OneVoicePart("P4", "P1", {"C5:w", "C5:w", "C5:w", "C5:w"}), // another's id
                                {"P5", "Piano", 2, {}, 12}};
    parts[4].measures.resize(4, {{{1, 1, "C5:w"}, {2, 2, "C3:w"}}, ""});
    for (PartText& p : parts)
        for (size_t m = 0; m < 4; ++m) p.measures[m].number = m % 2 ? "2" : "1"; // two movements
    std::string xml = ScoreXml(parts);
    xml.insert(xml.find("</part-name>") + 12, "<part-abbreviation>Vln. I</part-abbreviation>");
    MusicXmlScore read;
    ParseScoreText("test", xml.data(), xml.size(), read.file);
    BuildScoreOutline(read);
    const Score& score = read.score;
    auto part = [&](const std::string& text) { return ParseSelection(score, text).staves.front().part; };
    auto refusal = [&](const std::string& text) -> std::string {
        try {
            ParseSelection(score, text);
        } catch (const CliError& e) {
            EXPECT_EQ(e.Code(), ExitCode::BadSelection) << text;
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(part("Violino I:1#1"), 0u);
    EXPECT_EQ(part("vln i:1#1"), 0u);
    EXPECT_EQ(part("flûte à bec:1#1"), 2u);
    EXPECT_EQ(part("Flute-a-Bec:1#1"), 2u);
    Selection named = ParseSelection(score, "P1:1#1"); // the name wins, and says how to reach the id
    EXPECT_EQ(named.staves.front().part, 3u);
    ASSERT_EQ(named.warnings.size(), 1u);
    EXPECT_TRUE(Has(named.warnings[0], "write \"@P1\" for the part with that id")) << named.warnings[0];
    EXPECT_EQ(part("@P1:1#1"), 0u);
    EXPECT_EQ(ParseSelection(score, "all:2#2").staves.size(), 6u);
    Selection second = ParseSelection(score, "Piano/2:1#2-2");
    EXPECT_EQ(std::make_pair(second.firstMeasure, second.lastMeasure), std::make_pair(size_t{2}, size_t{3}));
    EXPECT_TRUE(Has(refusal("Violino:1#1"), "did you mean \"Violino I.\" or \"Violino II\"?"))
        << refusal("Violino:1#1");
    EXPECT_TRUE(Has(refusal("Tuba:1#1"), "--list shows them all"));
    EXPECT_TRUE(Has(refusal("Piano 2:1#1"), "did you mean \"Piano/2\"?"));
    EXPECT_TRUE(Has(refusal("Piano:1"), "measure 1 is printed 2 times in part P5 (1#1, 1#2); write \"1#2\""));
    EXPECT_TRUE(Has(refusal("Piano/3:1#1"), "(use Piano/1, Piano/2)"));
    EXPECT_EQ(MeasureName(score.parts[0], 3), "2#2");

    // Through the executable: one message, exit code 4, and a multi-staff source offered staff by staff.
    std::string in = Input(xml);
    RunResult r = RunTool({in, "--source", "Piano:1#1", "--to", "Violino II:1#1", "-o", Out()});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.err,
              "beatclone: selection \"Piano:1#1\": a source is one staff, and part P5 has 2 staves; write "
              "\"Piano/1:1#1\" or \"Piano/2:1#1\"\n");
    r = RunTool({in, "--list"});
    EXPECT_TRUE(Has(r.out, "4 measures: 1#1-2#1, 1#2-2#2\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "Piano/2: voice 2 = layer 1")) << r.out;
    EXPECT_EQ(JsonSchemaProblems(RunTool({in, "--list", "--json"}).out), "");
}

TEST_F(Copyist, ARepeatedSourceFillsEachStretchOnItsOwn) {
    std::string in = Input(Band());
    RunResult once = RunTool({in, "--source", "Lead:1", "--to", "Bass:2", "-o", Out(), "--tsv"});
    EXPECT_EQ(once.exitCode, 0) << once.err;
    EXPECT_EQ(Rhythm(Out(), 1, 1), "1 1/2 1/2 2");
    EXPECT_EQ(Rhythm(Out(), 1, 0), "1 1 1 1");

    RunResult thrice = RunTool({in, "--source", "Lead:1", "--to", "Bass:1-3", "-o", Out(), "--json", "--view"});
    EXPECT_EQ(thrice.exitCode, 0) << thrice.err;
    EXPECT_TRUE(Has(thrice.out, "\"view\": \"C5q D5e E5e F5h\"")) << thrice.out;
    EXPECT_EQ(JsonSchemaProblems(thrice.out), "") << thrice.out;
    EXPECT_TRUE(Has(thrice.out, "\"rebuilt\": 3")) << thrice.out;
    for (size_t m = 0; m < 3; ++m) EXPECT_EQ(Rhythm(Out(), 1, m), "1 1/2 1/2 2") << m;

    // Four stretches: the last has two attacks and is left alone, the others rebuilt.
    RunResult table = RunTool({in, "--source", "Lead:1", "--to", "Bass:1-4", "--dry-run"});
    EXPECT_TRUE(Has(table.out, "measures 1-4, 4 times the source's 1 measure")) << table.out;
    EXPECT_TRUE(Has(table.out,
                    "Measure 4:\nStaff  Layer  Voice  Attacks  Result\n"
                    "Bass   1      1      2        left alone: 2 attacks, the source has 4"))
        << table.out;
    EXPECT_TRUE(Has(table.out, "Would rebuild 3 of 4 layers")) << table.out;

    RunResult odd = RunTool({in, "--source", "Lead:1-2", "--to", "Bass:1-3", "-o", Out()});
    EXPECT_EQ(odd.exitCode, 4);
    EXPECT_TRUE(Has(odd.err, "the destination \"Bass:1-3\" has 3 measures and the source \"Lead:1-2\" 2 measures"));
}

TEST_F(Copyist, JobsChainInOrderAndTheSourceVoiceCanBeChosen) {
    std::string in = Input(Band());
    // The second job copies what the first rebuilt.
    RunResult r = RunTool({in, "--source", "Lead:1", "--to", "Bass:1", "--source", "Bass:1", "--to", "Alto:1", "--to",
                           "Alto:2", "-o", Out(), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(JsonSchemaProblems(r.out), "") << r.out;
    EXPECT_EQ(Rhythm(Out(), 2, 0), "1 1/2 1/2 2");
    EXPECT_EQ(Rhythm(Out(), 2, 1), "1 1/2 1/2 2"); // from Bass:1 as the first job left it
    EXPECT_TRUE(Has(r.out, "\"selection\": \"Alto:2\"")) << r.out;

    // Organ's first bar is in voices 3 and 4: its layer 1 (voice 1) is empty there.
    r = RunTool({in, "--source", "Organ:1", "--to", "Bass:1", "-o", Out()});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.err,
              "beatclone: selection \"Organ:1\": the source has no notes in voice 1 of Organ in measure 1 (its "
              "first voice); voices with notes there: 3 and 4; add --voice 3 after this --source\n");
    r = RunTool({in, "--source", "Organ:1", "--voice", "3", "--to", "Bass:1", "--source", "Organ:1", "--voice", "4",
                 "--to", "Bass:4", "-o", Out(), "--tsv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "\t1\t1\t1\tBass\tP2\t1\t1\t1\t4\t4\tleft alone\talready-source-rhythm\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "2\t1\t4\t4\tBass\tP2\t1\t1\t1\t2\t2\tleft alone\talready-source-rhythm\n")) << r.out;
    EXPECT_EQ(Rhythm(Out(), 1, 3), "2 2");
    EXPECT_EQ(RunTool({in, "--voice", "3", "--source", "Organ:1", "--to", "Bass:1"}).exitCode, 2);
}

TEST_F(Copyist, ConventionsOfACommand) {
    std::string text = Band();
    std::string in = Input(text);
    EXPECT_EQ(RunTool({"--version"}).out, "beatclone " BEATCLONE_VERSION "\n");
    RunResult help = RunTool({"--help"});
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
        size_t columns = std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; });
        EXPECT_LE(columns, 80u) << line;
    }
    for (const char* needed : {"5#2", "@P2", "--voice", "--list", "--tsv", "1  nothing was rebuilt"})
        EXPECT_TRUE(Has(help.out, needed)) << needed;

    // From standard input to standard output, the report on standard error.
    RunResult piped = RunTool({"-", "--source", "Lead:1", "--to", "Alto:1", "--json"}, text);
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_TRUE(Has(piped.out, "<score-partwise") && Has(piped.out, "<software>beatclone " BEATCLONE_VERSION));
    EXPECT_EQ(JsonSchemaProblems(piped.err), "") << piped.err;
    ASSERT_EQ(RunTool({in, "-o", Out("in.mxl"), "--quiet"}).exitCode, 0);
    RunResult compressed = RunTool({Out("in.mxl"), "-o", "-", "--quiet"});
    EXPECT_EQ(compressed.out.substr(0, 2), "PK");
    EXPECT_EQ(compressed.err, "");
    EXPECT_EQ(RunTool({"-", "--quiet", "-o", Out("back.musicxml")}, compressed.out).exitCode, 0);
    EXPECT_TRUE(Has(ReadText(Out("back.musicxml")), "<part-name>Organ</part-name>"));

    // Nothing rebuilt has its own code and the same JSON shape; a round trip and an error too.
    RunResult nothing = RunTool({in, "--source", "Lead:1", "--to", "Bass:4", "--json", "-o", Out()});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_TRUE(Has(nothing.out, "\"rebuilt\": 0")) << nothing.out;
    EXPECT_EQ(JsonSchemaProblems(nothing.out), "");
    RunResult copy = RunTool({in, "--json", "-o", Out()});
    EXPECT_EQ(copy.exitCode, 0);
    EXPECT_TRUE(Has(copy.out, "\"jobs\": []")) << copy.out;
    EXPECT_EQ(JsonSchemaProblems(copy.out), "");
    RunResult error = RunTool({in, "--source", "Lead:9", "--to", "Bass:1", "--json"});
    EXPECT_EQ(error.exitCode, 4);
    EXPECT_EQ(error.out, "");
    EXPECT_TRUE(Has(error.err, "\"kind\": \"bad-selection\"")) << error.err;
    EXPECT_EQ(JsonSchemaProblems(error.err), "");
}

TEST_F(Copyist, OutputNeverDestroysWhatItWritesOver) {
    std::string in = Input(Band());
    // A FIFO is written into: its reader gets the score.
    ASSERT_EQ(::mkfifo(Out("fifo").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadText(Out("fifo")); });
    RunResult r = RunTool({in, "-o", Out("fifo"), "--quiet"});
    reader.join();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Has(received, "</score-partwise>"));
    EXPECT_TRUE(fs::is_fifo(Out("fifo")));
    EXPECT_EQ(RunTool({in, "-o", "/dev/null", "--quiet"}).exitCode, 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // A link keeps being a link; its target is replaced.
    WriteText(dir_ / "target.musicxml", "old");
    fs::create_symlink("target.musicxml", dir_ / "link.musicxml");
    EXPECT_EQ(RunTool({in, "-o", Out("link.musicxml"), "--quiet"}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.musicxml"));
    EXPECT_TRUE(Has(ReadText(dir_ / "target.musicxml"), "</score-partwise>"));

    // A read-only file is refused and kept.
    fs::permissions(dir_ / "target.musicxml", fs::perms::owner_read);
    r = RunTool({in, "-o", Out("target.musicxml")});
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_TRUE(Has(r.err, "the file is read-only; make it writable (chmod u+w) or choose another -o")) << r.err;
    EXPECT_EQ(dir_.Files(), (std::vector<std::string>{"fifo", "in.musicxml", "link.musicxml", "target.musicxml"}));
}

// SIGTERM while a large score is being written: the temporary file goes, the input stays.
TEST_F(Copyist, AnInterruptedWriteLeavesNoTemporaryFile) {
    std::vector<std::string> measures(20000, "C5:q D5:q E5:q F5:q");
    std::string text = ScoreXml({OneVoicePart("P1", "Flute", measures), OneVoicePart("P2", "Oboe", measures)});
    std::string in = Input(text);
    std::string out = Out();
    std::vector<char*> argv{const_cast<char*>(BEATCLONE_CLI_EXECUTABLE),
                            in.data(),
                            const_cast<char*>("-o"),
                            out.data(),
                            const_cast<char*>("--quiet"),
                            nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    bool sawTemp = false;
    for (int i = 0; i < 20000 && !sawTemp; ++i) {
        for (const std::string& name : dir_.Files()) sawTemp |= Has(name, ".tmp-");
        if (!sawTemp) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(sawTemp) << "the write was over before it could be interrupted";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(dir_.Files(), (std::vector<std::string>{"in.musicxml"}));
    EXPECT_EQ(ReadText(in), text);
}

TEST_F(Copyist, WordsAndViewsForPeople) {
    std::string in = Input(Band());
    RunResult r = RunTool({in, "--source", "Lead:1", "--to", "Bass,Organ:4", "--dry-run", "--view"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(Has(r.out, "View: pitch and value")) << r.out;
    EXPECT_TRUE(Has(r.out, "    rhythm: C5q D5e E5e F5h\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "left alone: 1 attack, the source has 4")) << r.out;
    EXPECT_FALSE(Has(r.out, "no notes")) << r.out; // Organ's voices 3 and 4 are empty in measure 4
    EXPECT_TRUE(Has(r.out, "2 layers without notes not shown (--all-layers)")) << r.out;
    r = RunTool({in, "--source", "Lead:1", "--to", "Bass,Organ:4", "--dry-run", "--all-layers"});
    EXPECT_TRUE(Has(r.out, "left alone: no notes")) << r.out;

    // The demo's printed command works as printed.
    r = RunShell("cd '" + dir_.Path().string() + "' && " BEATCLONE_CLI_EXECUTABLE " demo");
    fs::remove(dir_ / "brass-beatclone.musicxml");
    size_t at = r.out.find("\n  beatclone ");
    ASSERT_NE(at, std::string::npos) << r.out;
    std::string command = r.out.substr(at + 3, r.out.find("\n\n", at) - at - 3);
    command.replace(0, 9, BEATCLONE_CLI_EXECUTABLE);
    RunResult printed = RunShell("cd '" + dir_.Path().string() + "' && " + command + " --quiet");
    EXPECT_EQ(printed.exitCode, 0) << command << "\n" << printed.err;
    EXPECT_TRUE(fs::exists(dir_ / "brass-beatclone.musicxml")) << command;
    EXPECT_FALSE(Has(r.out + RunTool({"--help"}).out, "the module"));
}

} // namespace
} // namespace beatclone::cli::test
