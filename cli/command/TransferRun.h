// One run of the tool on a score: the score goes into the stand-in host, the module is given
// the source with SET SOURCE and the destination with COPY, exactly as a user would in the
// host, and the layers the module rebuilt are written back into the score.
#pragma once

#include "cli/musicxml/MusicXmlScore.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace beatclone::cli {

struct TransferRequest {
    std::string source; // selection texts, see Selection.h
    std::string destination;
    std::string modulePath; // empty: PluginModule::DefaultPath()
    bool wantView = false;  // fill in the before/after views
    bool strict = false;    // refuse (ExitCode::WouldDrop) rather than drop a marking or remove a tie
};

enum class LayerResult {
    Rebuilt,
    SameAsSource,     // the source layer itself: never rebuilt from itself
    CountDiffers,     // its attack count is not the source's
    NoAttacks,        // nothing to carry pitches from
    NotChanged,       // counts agreed, yet the module left it as it was
    AlreadyHasRhythm, // rebuilt to what it was: written back untouched
};

struct LayerOutcome {
    std::string staff; // "Trombone", "Piano/2"
    std::string partId;
    int staffNumber = 1;
    int layer = 1;     // as the user counts: 1..4
    std::string voice; // the MusicXML voice it holds
    int attacks = 0;
    LayerResult result = LayerResult::NoAttacks;
    std::map<std::string, int> dropped;
    int restsFilled = 0;                  // rests that fill a measure the source does not
    std::vector<std::string> tiesClosed;  // ties out of the layer given their stop
    std::vector<std::string> tiesRemoved; // ties at its edges that no note continues
    std::string before;                   // compact views, when asked for
    std::string after;
};

struct TransferReport {
    std::string sourceStaff;
    std::string sourceMeasures; // "measures 1-4"
    std::string destinationMeasures;
    int sourceAttacks = 0;
    std::vector<LayerOutcome> layers;
    std::vector<std::string> warnings; // misuse of the host the module was caught at
    bool strict = false;               // run with --strict: nothing was dropped, no tie removed
};

// Runs the transfer on `score` (an outline is enough: the measures involved are read in detail
// here) and rewrites its XML where layers were rebuilt.
// Throws CliError: BadSelection, Refused (with the module's own message), ModuleFailed.
TransferReport RunTransfer(MusicXmlScore& score, const TransferRequest& request);

std::string ResultText(const LayerOutcome& outcome, int sourceAttacks);

} // namespace beatclone::cli
