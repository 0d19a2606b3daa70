// One job of the tool on a score: the score goes into the stand-in host, the module is given
// the source with SET SOURCE and then each chunk of the destination with COPY, exactly as a
// user would in the host, and the layers the module rebuilt are written back into the score.
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
    bool wantView = false;  // fill in the compact views
    std::string voice{};    // the source's voice as numbered in the score; empty: its first
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

// Measures of the score: indices from 0, and the texts that select them ("5", "5#2").
struct MeasureSpan {
    size_t first = 0;
    size_t last = 0;
    std::string firstText;
    std::string lastText;

    size_t Count() const { return last - first + 1; }
    std::string Describe() const; // "measure 5", "measures 5-8"
};

struct LayerOutcome {
    std::string staff; // "Trombone", "Piano/2"
    std::string partId;
    int staffNumber = 1;
    int layer = 1;     // as the user counts: 1..4, in the score's own order of voices
    std::string voice; // the MusicXML voice it holds
    int attacks = 0;
    LayerResult result = LayerResult::NoAttacks;
    size_t chunk = 0;                     // into TransferReport::chunks
    std::map<std::string, int> dropped;   // markings the rebuilt notes could not keep, per kind
    std::map<std::string, int> notes;     // what else was done to the rebuilt notes, per kind
    int restsFilled = 0;                  // rests that fill a measure the source does not
    std::vector<std::string> tiesClosed;  // ties out of the layer given their stop, where
    std::vector<std::string> tiesRemoved; // ties at its edges that no note continues
    std::string before;                   // compact views, when asked for
    std::string after;
};

struct TransferReport {
    std::string sourceText; // the selections as given
    std::string destinationText;
    std::string sourceStaff;
    std::string sourcePartId;
    int sourceStaffNumber = 1;
    std::string sourceVoice;
    MeasureSpan sourceMeasures;
    MeasureSpan destinationMeasures;
    std::vector<MeasureSpan> chunks; // the destination cut into pieces as long as the source
    int sourceAttacks = 0;
    std::string sourceView;            // the source's rhythm, when views are asked for
    std::vector<LayerOutcome> layers;  // chunk by chunk
    std::vector<std::string> warnings; // misuse of the host, selections read one of two ways

    int Rebuilt() const;
};

// Runs one job on `score` (an outline is enough: the measures involved are read in detail
// here) and rewrites its XML where layers were rebuilt; the model no longer matches the XML
// afterwards (RunJobs reads it again between jobs).
// Throws CliError: BadSelection, Refused (with the module's own message), ModuleFailed.
TransferReport RunTransfer(MusicXmlScore& score, const TransferRequest& request);

// Runs the jobs in order, each on the score as the one before left it.
std::vector<TransferReport> RunJobs(MusicXmlScore& score, const std::vector<TransferRequest>& jobs);

std::string ResultText(const LayerOutcome& outcome, int sourceAttacks);

// Short words for scripts: "rebuilt" / "left alone", and why ("source", "count-differs" ...).
const char* ResultWord(LayerResult result);
const char* ReasonWord(LayerResult result);

} // namespace beatclone::cli
