#include "cli/command/CommandLine.h"

#include "cli/CliError.h"
#include "cli/command/ExampleScore.h"
#include "cli/command/Options.h"
#include "cli/command/ReportPrinter.h"
#include "cli/command/TransferRun.h"
#include "cli/musicxml/ScoreReader.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>

namespace beatclone::cli {
namespace {

// score.musicxml -> score.beatclone.musicxml beside it.
std::string DefaultOutput(const std::string& input) {
    std::filesystem::path in(input);
    std::string ext = in.extension().string();
    if (ext.empty()) ext = ".musicxml";
    return (in.parent_path() / (in.stem().string() + ".beatclone" + ext)).string();
}

void Print(const Options& options, const RunSummary& summary) {
    if (options.json)
        PrintJson(std::cout, summary);
    else if (options.quiet)
        PrintQuiet(std::cout, summary);
    else
        PrintTable(std::cout, summary);
}

int RunOnScore(MusicXmlScore& score, const Options& options, const std::string& defaultOutput) {
    TransferReport report;
    bool transfer = !options.source.empty();
    if (transfer) {
        TransferRequest request{options.source, options.destination, options.modulePath, options.view, options.strict};
        report = RunTransfer(score, request);
    }
    RunSummary summary;
    summary.transfer = transfer ? &report : nullptr;
    summary.input = score.score.path;
    summary.dryRun = options.dryRun;
    summary.showViews = options.view;
    if (!options.dryRun) {
        summary.output = options.output.empty() ? defaultOutput : options.output;
        SaveScoreFile(score.file, summary.output, FormatForPath(summary.output, score.file.format));
    }
    // With the score on standard output, the report goes to the error stream.
    if (summary.output == "-") {
        if (!options.quiet && !options.json) PrintTable(std::cerr, summary);
    } else {
        Print(options, summary);
    }
    for (const std::string& w : report.warnings) std::cerr << "beatclone: warning: " << w << "\n";
    return 0;
}

int RunDemo(Options options) {
    MusicXmlScore score;
    score.score.path = "brass.musicxml (built-in example)";
    const char* text = ExampleScoreText();
    ParseScoreText(score.score.path, text, std::strlen(text), score.file);
    BuildScoreOutline(score);
    options.source = "Trumpet 1:1-4";
    options.destination = "Trumpet 2,Horn,Trombone:1-4";
    options.view = !options.json && !options.quiet;
    if (options.view) {
        std::cout << "Built-in example: a brass chorale for two trumpets, horn and trombone.\n"
                  << "beatclone brass.musicxml --source \"" << options.source << "\" --to \"" << options.destination
                  << "\"\n\n";
    }
    return RunOnScore(score, options, "brass-beatclone.musicxml");
}

int Run(const Options& options) {
    if (options.demo) {
        if (!options.score.empty() || !options.source.empty())
            throw CliError(ExitCode::Usage, "demo takes no score and no selections");
        return RunDemo(options);
    }
    if (options.score.empty()) throw CliError(ExitCode::Usage, "no score given (try --help)");
    MusicXmlScore score;
    ReadScoreOutline(options.score, score);
    return RunOnScore(score, options, DefaultOutput(options.score));
}

} // namespace

int RunCommandLine(int argc, char** argv) {
    try {
        Options options;
        if (std::optional<int> exit = ParseOptions(argc, argv, options)) return *exit;
        return Run(options);
    } catch (const CliError& e) {
        std::cerr << "beatclone: " << e.what() << "\n";
        return static_cast<int>(e.Code());
    } catch (const std::bad_alloc&) {
        std::cerr << "beatclone: out of memory\n";
        return static_cast<int>(ExitCode::OutOfMemory);
    }
}

} // namespace beatclone::cli
