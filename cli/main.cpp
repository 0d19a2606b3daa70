// beatclone: the rhythm-transfer module run on MusicXML scores, with this program playing
// the host.
#include "cli/command/CommandLine.h"
#include "cli/musicxml/TreeArena.h"

int main(int argc, char** argv) {
    beatclone::cli::TreeArena::Install(); // before any document: blocks go back where they came from
    return beatclone::cli::RunCommandLine(argc, argv);
}
