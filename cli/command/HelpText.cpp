#include "cli/command/HelpText.h"

// A build with Beatclone linked in (WebAssembly) has no plug-in to choose.
#ifdef BEATCLONE_MODULE_BUILT_IN
#define BEATCLONE_MODULE_HELP ""
#else
#define BEATCLONE_MODULE_HELP                                                           \
    "  --module PATH     The Beatclone plug-in to load (default: beatclone.so beside\n" \
    "                    this program, else in ../lib/beatclone/).\n"
#endif

namespace beatclone::cli {

const char* HelpText() {
    return R"(beatclone: copies the rhythm of one passage of a MusicXML score onto others,
each keeping its own pitches, by running the Beatclone plug-in with this
program as its host.

USAGE
  beatclone SCORE --list [--json]
  beatclone SCORE [-o OUT] [--source SEL [--voice V] --to SEL]... [--dry-run]
            [--strict] [--view] [--all-layers] [--json | --tsv | --quiet]
  beatclone demo [-o OUT] [--json | --tsv | --quiet]
  beatclone --help | --version

OPTIONS
  SCORE             MusicXML score: .musicxml, .xml or compressed .mxl
                    (partwise); "-" reads it from standard input.
  --list            Show the parts (id, name, abbreviation), their staves, the
                    voices of each staff and the layer each is, and the measure
                    numbers as selections name them; change nothing.
  --source SEL      The rhythm to copy: one staff and its measures.
  --voice V         The source's voice, numbered as in the score (--list shows
                    them); it stands for the source's layer 1. Default: the
                    staff's first voice. Goes after the --source it is for.
  --to SEL          Where to copy it: staves and as many measures as the
                    source, or a whole multiple of that many.
  -o, --output OUT  Where to write the result; "-" is standard output. The
                    format follows OUT's extension (.mxl compressed), else the
                    input's. Default: SCORE's name with .beatclone before the
                    extension, beside it (standard output when SCORE is "-");
                    `demo` writes brass-beatclone.musicxml here.
  --dry-run         Run the jobs and report them, but write nothing.
  --strict          Refuse (exit code 9, nothing written) if any marking would
                    be dropped or a tie removed.
  --view            Show the source's rhythm and each layer before and after,
                    in a compact notation (a legend comes with it); with --json
                    the report carries them.
  --all-layers      List in the table also the layers without notes there.
  --json            Print the report (or the --list) as JSON; an error is then
                    a JSON object on standard error.
  --tsv             Print the report as tab-separated lines under a header.
  --quiet           Print nothing but errors.
)" BEATCLONE_MODULE_HELP R"(  -h, --help        Show this help.
  -V, --version     Show the version.

SELECTIONS
  STAVES:MEASURES. STAVES is "all" or one staff or several separated by commas:
  a part's name or abbreviation, then /N for staff N of a part of several
  staves (a part named without /N stands for all of its staves). Names match
  in any case, without accents, punctuation or spacing: "vln i" finds
  "Vln. I", "flute a bec" finds "FLÛTE À BEC". A part's id works too when no
  name fits; "@P2" is the part whose id is exactly P2, whatever the names say.
  MEASURES is a measure number as printed (a pickup is usually 0) or a range
  FIRST-LAST. A number printed more than once (several movements, a repeat)
  needs "#K" for its K-th time: "5#2" is the second measure printed 5, and
  "1#2-8" is 1 to 8 of the second movement (a range's end is the first of its
  number from the start on). --list shows every measure the way to name it.
    --source "Trumpet 1:5-8"         Trumpet 1, measures 5 to 8
    --to "Trumpet 2,Trombone:13-16"  both staves, measures 13 to 16
    --to "Piano/2:0-3"               the piano's lower staff, from the pickup
    --to "all:1#2-4#2"               every staff, the second movement's 1-4

JOBS
  Each --source with the --to after it is one job; jobs run in order on the
  same score, each on what the one before left. A --to without a --source of
  its own takes the one before. A destination whose length is a whole multiple
  of the source's takes the source once per stretch as long as the source, each
  stretch counted and rebuilt on its own.
  In each job every destination layer (a staff's voices in order of their
  numbers are its layers 1-4) whose count of attacks (notes, a tied note
  counting once) equals the source's takes the source's rhythm, tuplets and
  articulations and keeps its own pitches, attack by attack. Other layers are
  left alone, and so is a layer that already has the source's rhythm.
  Lyrics, slurs, fermatas, dynamics and the other markings of a rebuilt
  layer's notes go with their attacks, and so do the directions at their
  onsets; ties at the edges are closed or removed, and the report names those
  and counts per kind anything that could not travel.

EXAMPLES
  beatclone demo
  beatclone quartet.musicxml --list
  beatclone quartet.musicxml --source "Trumpet 1:5-8" \
      --to "Trumpet 2,Trombone:13-16" -o out.musicxml
  beatclone quartet.musicxml --source "Violin 1:1" --to "Violin 2:2-8"
  beatclone quartet.mxl --source P1:1-4 --to P2:1-4 --to P3:9-12 \
      --source "Piano/1:1" --voice 3 --to "Piano/2:1" --dry-run --json
  cat quartet.musicxml | beatclone - --source Horn:1 --to Tuba:1 > out.musicxml

OUTPUT
  The result is written to a temporary file beside OUT and renamed over it, so
  that a failure or an interruption (Ctrl-C, SIGTERM, SIGHUP) never leaves half
  a file; the temporary file is removed. When OUT is a symbolic link its target
  is replaced and the link kept; a FIFO or device (/dev/null) is written into.
  A read-only OUT is refused. SCORE itself is replaced only when -o names it.
  With -o - every report goes to standard error.

EXIT CODES
  0  done: at least one layer rebuilt (or nothing asked but a copy)
  1  nothing was rebuilt: no destination layer matched its source
  2  bad command line
  3  the score cannot be read
  4  a selection names what the score does not have, or does not fit
  5  Beatclone refused the selection (its message is shown)
  6  the output could not be written
  7  Beatclone could not be loaded or misbehaved
  8  out of memory
  9  --strict: a marking would be dropped or a tie removed; nothing written
)";
}

} // namespace beatclone::cli
