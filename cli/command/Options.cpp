#include "cli/command/Options.h"

#include "cli/CliError.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace beatclone::cli {
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
  Other layers are left alone, and so is a layer that already has the source's rhythm.
  Lyrics, slurs, fermatas, dynamics and the other markings of a rebuilt layer's notes go
  with their attacks, and so do the directions at their onsets; ties at the edges are closed
  or removed, and the report names those and anything that could not travel.

EXAMPLES
  beatclone demo
  beatclone quartet.musicxml --source "Trumpet 1:5-8" --to "Trumpet 2,Trombone:13-16" -o out.musicxml
  beatclone quartet.mxl --source P1:1-4 --to P2:1-4 --dry-run --json
  beatclone quartet.musicxml -o copy.musicxml      (no transfer: read and write back)

EXIT CODES
  0 done   2 bad command line   3 unreadable score   4 bad selection
  5 refused by the module (its message is shown)   6 output not written   7 module failure
  8 out of memory   9 refused by --strict: a marking would be dropped or a tie removed)";

} // namespace

std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    CLI::App app{
        "beatclone: copies the rhythm of one passage of a MusicXML score onto others, each keeping its "
        "own pitches, by running the Beatclone plug-in module with this program as its host.",
        "beatclone"};
    app.footer(std::string("\nUSAGE\n  beatclone SCORE [-o OUT] [--source SEL --to SEL] [--dry-run] [--strict] "
                           "[--view] [--json | --quiet]\n"
                           "  beatclone demo [-o OUT] [--json | --quiet]\n") +
               kFooter);
    app.add_option("SCORE", options.score, "MusicXML score: .musicxml, .xml or compressed .mxl (partwise)");
    app.add_option("-o,--output", options.output,
                   "Where to write the result (\"-\": standard output). The format follows the extension (.mxl "
                   "compressed), else the input's. Default: SCORE's name with .beatclone before the extension, "
                   "beside it; `demo` writes brass-beatclone.musicxml here. An existing file is replaced whole, "
                   "never half-written.");
    CLI::Option* source = app.add_option("--source", options.source,
                                         "The rhythm to copy: one staff and its measures, e.g. \"Trumpet 1:5-8\"");
    CLI::Option* to =
        app.add_option("--to", options.destination,
                       "Where to copy it: staves and as many measures, e.g. \"Trumpet 2,Trombone:13-16\"");
    source->needs(to);
    to->needs(source);
    app.add_flag("--dry-run", options.dryRun, "Run the transfer and report it, but write nothing");
    CLI::Option* json = app.add_flag("--json", options.json, "Print the report as JSON");
    CLI::Option* quiet = app.add_flag("--quiet", options.quiet,
                                      "Print the report as tab-separated lines: staff, layer, source attacks, layer "
                                      "attacks, rebuilt|left alone, reason");
    json->excludes(quiet);
    app.add_flag("--strict", options.strict,
                 "Refuse the transfer (exit code 9, nothing written) if it would drop any marking or remove a tie");
    app.add_flag("--view", options.view, "Show each destination layer before and after, in a compact notation");
    app.add_option("--module", options.modulePath,
                   "The module to load (default: beatclone.so beside this program, else in ../lib/beatclone/)");
    CLI::App* demo = app.add_subcommand("demo", "Run the transfer on the built-in brass example and show it");
    demo->fallthrough();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e); // --help
        std::cerr << "beatclone: " << e.what() << " (see beatclone --help)\n";
        return static_cast<int>(ExitCode::Usage);
    }

    options.demo = demo->parsed();
    return std::nullopt;
}

} // namespace beatclone::cli
