#include "cli/command/CommandLine.h"

#include "cli/CliError.h"
#include "cli/command/EncodingStamp.h"
#include "cli/command/ExampleScore.h"
#include "cli/command/Options.h"
#include "cli/command/ReportPrinter.h"
#include "cli/command/ScoreListing.h"
#include "cli/command/TransferRun.h"
#include "cli/musicxml/OutputFile.h"
#include "cli/musicxml/ScoreReader.h"
#include "cli/musicxml/TempFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <memory>
#include <new>

#include <unistd.h>

#ifndef BEATCLONE_VERSION
#define BEATCLONE_VERSION "unknown"
#endif

namespace beatclone::cli {
namespace {

constexpr const char* kStandardInput = "standard input";

struct Streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool processEnds = false; // the process exits as soon as the command returns
};

// A command that ends its process leaves the score to the process's end, which gives its
// pages back at once; destroying it first would walk every node and event of a large score
// (4% of a run). Pointed at from here, it is kept memory to a leak checker, not lost memory.
MusicXmlScore* scoreLeftForExit = nullptr;

// score.musicxml -> score.beatclone.musicxml beside it; a score from standard input goes to
// standard output.
std::string DefaultOutput(const std::string& input) {
    if (input == "-") return "-";
    std::filesystem::path in(input);
    std::string ext = in.extension().string();
    if (ext.empty()) ext = ".musicxml";
    return (in.parent_path() / (in.stem().string() + ".beatclone" + ext)).string();
}

// Reads the score from standard input: XML text, or a compressed score by way of a
// temporary file, since the archive reader reads files.
void ReadStandardInput(std::istream& in, MusicXmlScore& score) {
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    score.score.path = kStandardInput;
    if (bytes.empty()) throw CliError(ExitCode::BadInput, "standard input: no score (it was empty)");
    if (bytes.compare(0, 4, "PK\x03\x04", 4) == 0) {
        TempFile temp(TempFile::SystemFolder(), "beatclone-stdin", kStandardInput, ExitCode::BadInput);
        int fd = temp.TakeFd();
        bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        ::close(fd);
        if (!written) throw CliError(ExitCode::BadInput, "standard input: cannot keep the compressed score on disk");
        LoadScoreFile(temp.Path(), score.file);
    } else {
        ParseScoreText(kStandardInput, bytes.data(), bytes.size(), score.file);
    }
}

void PrintReport(const Options& options, const RunSummary& summary, std::ostream& out) {
    switch (options.format) {
        case ReportFormat::Json:
            PrintJson(out, summary);
            break;
        case ReportFormat::Tsv:
            PrintTsv(out, summary);
            break;
        case ReportFormat::Table:
            PrintTable(out, summary);
            break;
        case ReportFormat::Quiet:
            break;
    }
}

int RunOnScore(MusicXmlScore& score, const Options& options, const std::string& input, const std::string& defaultOutput,
               const Streams& io) {
    std::vector<TransferRequest> requests;
    // The table shows the views; the JSON carries them for a page to show.
    bool wantView = options.view && (options.format == ReportFormat::Table || options.format == ReportFormat::Json);
    for (const JobOptions& job : options.jobs)
        requests.push_back({job.source, job.destination, options.modulePath, wantView, job.voice, options.strict});
    RunSummary summary;
    summary.jobs = RunJobs(score, requests);
    summary.input = input;
    summary.dryRun = options.dryRun;
    summary.showViews = wantView && options.format == ReportFormat::Table;
    summary.allLayers = options.allLayers;
    // A layer that already had the source's rhythm is done as asked, not a miss.
    bool matched = false;
    for (const TransferReport& t : summary.jobs)
        for (const LayerOutcome& l : t.layers) matched |= l.result == LayerResult::AlreadyHasRhythm;
    bool nothing = !requests.empty() && summary.Rebuilt() == 0 && !matched;
    summary.exitCode = static_cast<int>(nothing ? ExitCode::NothingRebuilt : ExitCode::Ok);
    if (!options.dryRun) {
        summary.output = options.output.empty() ? defaultOutput : options.output;
        StampSoftware(score.file.document, "beatclone", "beatclone " BEATCLONE_VERSION);
        WriteScoreOutput(score.file, summary.output, FormatForPath(summary.output, score.file.format), io.out);
    }
    // With the score on standard output, every report goes to the error stream.
    std::ostream& report = summary.output == "-" ? io.err : io.out;
    PrintReport(options, summary, report);
    // The table and the JSON carry the warnings; beside the tab-separated lines they go apart.
    if (options.format == ReportFormat::Tsv)
        for (const TransferReport& t : summary.jobs)
            for (const std::string& w : t.warnings) io.err << "beatclone: warning: " << w << "\n";
    return summary.exitCode;
}

// The shipped copy of the example: installed with the program (wherever the installation was
// moved), else in the source tree.
std::string ExamplePath() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    std::filesystem::path beside =
        error ? std::filesystem::path() : exe.parent_path().parent_path() / "share/beatclone/examples/brass.musicxml";
    for (const std::filesystem::path& path :
         {beside, std::filesystem::path(BEATCLONE_EXAMPLE_INSTALLED), std::filesystem::path(BEATCLONE_EXAMPLE_SOURCE)})
        if (std::error_code missing; !path.empty() && std::filesystem::exists(path, missing)) return path.string();
    return "brass.musicxml";
}

std::string ShellQuoted(const std::string& s) {
    if (s.find_first_of(" \t\"'$\\`!*?;&|<>()[]{}#~") == std::string::npos && !s.empty()) return s;
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int RunDemo(Options options, const Streams& io) {
    MusicXmlScore score;
    score.score.path = "brass.musicxml (built-in example)";
    const char* text = ExampleScoreText();
    ParseScoreText(score.score.path, text, std::strlen(text), score.file);
    BuildScoreOutline(score);
    options.jobs = {{"Trumpet 1:1-4", "Trumpet 2,Horn,Trombone:1-4", ""}};
    std::string output = options.output.empty() ? "brass-beatclone.musicxml" : options.output;
    if (options.format == ReportFormat::Table) {
        options.view = true;
        std::ostream& out = output == "-" ? io.err : io.out;
        out << "Built-in example: a brass chorale for two trumpets, horn and trombone.\n"
            << "The same on the shipped copy of the example:\n  beatclone " << ShellQuoted(ExamplePath())
            << " --source \"" << options.jobs[0].source << "\" \\\n      --to \"" << options.jobs[0].destination
            << "\" --view -o " << ShellQuoted(output) << "\n\n";
    }
    return RunOnScore(score, options, score.score.path, output, io);
}

int Run(const Options& options, const Streams& io) {
    if (options.demo) {
        if (!options.score.empty() || !options.jobs.empty() || options.list)
            throw CliError(ExitCode::Usage, "demo takes no score, no selections and no --list (see beatclone --help)");
        return RunDemo(options, io);
    }
    if (options.score.empty())
        throw CliError(ExitCode::Usage,
                       "no score given; name a MusicXML file, or \"-\" for standard input (see "
                       "beatclone --help, or try beatclone demo)");
    auto owned = std::make_unique<MusicXmlScore>();
    MusicXmlScore& score = *owned;
    if (options.score == "-") {
        ReadStandardInput(io.in, score);
    } else {
        score.score.path = options.score;
        LoadScoreFile(options.score, score.file);
    }
    // The parts' contents are read only as far as the jobs name them: a copy alone is a parse
    // and a save.
    ReadPartList(score);
    if (options.list) {
        for (size_t p = 0; p < score.score.parts.size(); ++p) OutlinePart(score, p);
        if (options.format == ReportFormat::Json)
            PrintListingJson(io.out, score, options.score);
        else
            PrintListing(io.out, score, options.score);
        return 0;
    }
    const int code = RunOnScore(score, options, options.score, DefaultOutput(options.score), io);
    if (io.processEnds) scoreLeftForExit = owned.release();
    return code;
}

int RunWith(const std::vector<std::string>& args, const Streams& io) {
    std::ostream& err = io.err;
    std::ostream& out = io.out;
    bool json = AsksForJson(args);
    auto report = [&](ExitCode code, const std::string& message) {
        if (json)
            PrintJsonError(err, code, message);
        else
            err << "beatclone: " << message << "\n";
        return static_cast<int>(code);
    };
    try {
        Options options;
        if (std::optional<int> exit = ParseOptions(args, options, out)) return *exit;
        return Run(options, io);
    } catch (const CliError& e) {
        return report(e.Code(), e.what());
    } catch (const std::bad_alloc&) {
        return report(ExitCode::OutOfMemory, "out of memory");
    } catch (const std::exception& e) {
        // A fault of this program's own, not of the score: said as such rather than an abort.
        return report(ExitCode::ModuleFailed, std::string("internal error (") + e.what() +
                                                  "); nothing was written. Please report it with the score");
    }
}

} // namespace

int RunCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    return RunWith(args, Streams{in, out, err});
}

int RunCommandLine(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    return RunWith(args, Streams{std::cin, std::cout, std::cerr, true});
}

} // namespace beatclone::cli
