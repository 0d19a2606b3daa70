// beatclone: the rhythm-transfer module run on MusicXML scores, with this program playing
// the host.
#include "cli/command/CommandLine.h"

int main(int argc, char** argv) { return beatclone::cli::RunCommandLine(argc, argv); }
