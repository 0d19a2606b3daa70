// beatclone: the rhythm-transfer module run on MusicXML scores, with this program playing
// the host.
#include "cli/CliError.h"
#include "cli/ExampleScore.h"
#include "cli/ReportPrinter.h"
#include "cli/ScoreReader.h"
#include "cli/TransferRun.h"

#include <CLI/CLI.hpp>

#include <cstring>
#include <filesystem>
#include <iostream>

using namespace beatclone::cli;

namespace {

constexpr const char* kFooter = R"(
SELECTIONS
  STAVES:MEASURES, where STAVES is one staff or several separated by commas, each a part's
  name, abbreviation or id (any case), optionally followed by /N for staff N of a part with
  several staves, and MEASURES is one measure number or a range FIRST-LAST, as printed in the
  score (a pickup measure is usually 0). A part of several staves named without /N stands for
  all of them. Quote selections that contain spaces; name a part whose name holds ',' or ':'
  by its id.
    --source "Trumpet 1:5-8"               layer 1 of Trumpet 1, measures 5 to 8
    --to "Trumpet 2,Trombone:13-16"        every layer of both staves, measures 13 to 16
    --to "Piano/2:0-3"                     the piano's lower staff, from the pickup on

  Each destination layer (a staff's voices in order of their numbers are its layers 1-4)
  whose count of attacks (notes, a tied note counting once) equals the source's takes the
  source's rhythm, tuplets and articulations and keeps its own pitches, attack by attack.
  Other layers are left alone. Lyrics, slurs, dynamics and other markings on rebuilt notes
  cannot travel with them; the report names them.

EXAMPLES
  beatclone demo
  beatclone quartet.musicxml --source "Trumpet 1:5-8" --to "Trumpet 2,Trombone:13-16" -o out.musicxml
  beatclone quartet.mxl --source P1:1-4 --to P2:1-4 --dry-run --json
  beatclone quartet.musicxml -o copy.musicxml      (no transfer: read and write back)

EXIT CODES
  0 done   2 bad command line   3 unreadable score   4 bad selection
  5 refused by the module (its message is shown)   6 output not written   7 module failure)";

struct Options {
    std::string score;
    std::string output;
    std::string source;
    std::string destination;
    std::string modulePath;
    bool dryRun = false;
    bool json = false;
    bool quiet = false;
    bool view = false;
};

// score.musicxml -> score.beatclone.musicxml beside it.
std::string DefaultOutput(const std::string& input) {
    std::filesystem::path in(input);
    std::string ext = in.extension().string();
    if (ext.empty()) ext = ".musicxml";
    return (in.parent_path() / (in.stem().string() + ".beatclone" + ext)).string();
}

void Print(const Options& options, const RunSummary& summary) {
    if (options.json) PrintJson(std::cout, summary);
    else if (options.quiet) PrintQuiet(std::cout, summary);
    else PrintTable(std::cout, summary);
}

int RunOnScore(Score& score, const Options& options, const std::string& defaultOutput) {
    TransferReport report;
    bool transfer = !options.source.empty();
    if (transfer) {
        TransferRequest request{options.source, options.destination, options.modulePath, options.view};
        report = RunTransfer(score, request);
    }
    RunSummary summary;
    summary.transfer = transfer ? &report : nullptr;
    summary.input = score.path;
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
    Score score;
    score.path = "brass.musicxml (built-in example)";
    const char* text = ExampleScoreText();
    ParseScoreText(score.path, text, std::strlen(text), score.file);
    BuildScoreModel(score);
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

} // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"beatclone: copies the rhythm of one passage of a MusicXML score onto others, each keeping its "
                 "own pitches, by running the Beatclone plug-in module with this program as its host.",
                 "beatclone"};
    app.footer(std::string("\nUSAGE\n  beatclone SCORE [-o OUT] [--source SEL --to SEL] [--dry-run] [--view] [--json | --quiet]\n"
                           "  beatclone demo [-o OUT] [--json | --quiet]\n") + kFooter);
    app.add_option("SCORE", options.score, "MusicXML score: .musicxml, .xml or compressed .mxl (partwise)");
    app.add_option("-o,--output", options.output,
                   "Where to write the result (\"-\": standard output). The format follows the extension (.mxl "
                   "compressed), else the input's. Default: SCORE's name with .beatclone before the extension, "
                   "beside it; `demo` writes brass-beatclone.musicxml here. An existing file is replaced whole, "
                   "never half-written.");
    CLI::Option* source = app.add_option("--source", options.source,
                                         "The rhythm to copy: one staff and its measures, e.g. \"Trumpet 1:5-8\"");
    CLI::Option* to = app.add_option("--to", options.destination,
                                     "Where to copy it: staves and as many measures, e.g. \"Trumpet 2,Trombone:13-16\"");
    source->needs(to);
    to->needs(source);
    app.add_flag("--dry-run", options.dryRun, "Run the transfer and report it, but write nothing");
    CLI::Option* json = app.add_flag("--json", options.json, "Print the report as JSON");
    CLI::Option* quiet = app.add_flag("--quiet", options.quiet,
                                      "Print the report as tab-separated lines: staff, layer, source attacks, layer "
                                      "attacks, rebuilt|left alone, reason");
    json->excludes(quiet);
    app.add_flag("--view", options.view, "Show each destination layer before and after, in a compact notation");
    app.add_option("--module", options.modulePath, "The module to load (default: beatclone.so beside this program, else in ../lib/beatclone/)");
    CLI::App* demo = app.add_subcommand("demo", "Run the transfer on the built-in brass example and show it");
    demo->fallthrough();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help
        std::cerr << "beatclone: " << e.what() << " (see beatclone --help)\n";
        return static_cast<int>(ExitCode::Usage);
    }

    try {
        if (demo->parsed()) {
            if (!options.score.empty() || !options.source.empty())
                throw CliError(ExitCode::Usage, "demo takes no score and no selections");
            return RunDemo(options);
        }
        if (options.score.empty()) throw CliError(ExitCode::Usage, "no score given (try --help)");
        Score score;
        ReadScoreOutline(options.score, score);
        return RunOnScore(score, options, DefaultOutput(options.score));
    } catch (const CliError& e) {
        std::cerr << "beatclone: " << e.what() << "\n";
        return static_cast<int>(e.Code());
    } catch (const std::bad_alloc&) {
        std::cerr << "beatclone: out of memory\n";
        return static_cast<int>(ExitCode::BadInput);
    }
}
