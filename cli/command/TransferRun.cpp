#include "cli/command/TransferRun.h"

#include "cli/CliError.h"
#include "cli/command/CompactView.h"
#include "cli/hostmap/AttackCount.h"
#include "cli/hostmap/HostMapping.h"
#include "cli/command/LayerWriter.h"
#include "cli/hostmap/PluginModule.h"
#include "cli/musicxml/ScoreReader.h"
#include "cli/command/Selection.h"
#include "host/Utf8.h"

#include <algorithm>
#include <cstring>

namespace beatclone::cli {
namespace {

constexpr int16_t kLayers = 4;

simhost::Document& FreshDocument() {
    simhost::Host& host = simhost::Host::Instance();
    host.Reset();
    return host.AddDocument(1);
}

// Runs one command and turns a message box into the refusal the user sees.
int16_t RunCommand(const PluginModule& module, int16_t command, const RegionRecord& region, const std::string& what) {
    simhost::Host& host = simhost::Host::Instance();
    host.SetSelection(region);
    size_t boxes = host.MessageBoxes().size();
    int16_t answer = module.Invoke(command, &region);
    if (host.MessageBoxes().size() > boxes) {
        const simhost::MessageBoxCall& box = host.MessageBoxes()[boxes];
        throw CliError(ExitCode::Refused, "the module refused " + what + ": " + Utf16ToUtf8(box.text));
    }
    return answer;
}

// The slots of a destination in runs of neighbours: one COPY covers one run.
std::vector<std::pair<int16_t, int16_t>> SlotRuns(std::vector<int16_t> slots) {
    std::sort(slots.begin(), slots.end());
    std::vector<std::pair<int16_t, int16_t>> runs;
    for (int16_t s : slots) {
        if (!runs.empty() && s == runs.back().second + 1)
            runs.back().second = s;
        else
            runs.push_back({s, s});
    }
    return runs;
}

using Cells = std::vector<std::vector<EntryRecord>>;

Cells Snapshot(const simhost::Document& document, int16_t instrument, int16_t layer, size_t first, size_t last) {
    Cells cells;
    for (size_t m = first; m <= last; ++m) cells.push_back(document.Entries(instrument, HostMeasure(m), layer));
    return cells;
}

// Whether the cells still hold what `before` took of them; compared in place, not copied again.
bool Unchanged(const Cells& before, const simhost::Document& document, int16_t instrument, int16_t layer, size_t first,
               size_t last) {
    if (before.size() != last - first + 1) return false;
    for (size_t i = 0; i < before.size(); ++i) {
        const std::vector<EntryRecord>& a = before[i];
        const std::vector<EntryRecord>& b = document.Entries(instrument, HostMeasure(first + i), layer);
        if (a.size() != b.size() ||
            (!a.empty() && std::memcmp(a.data(), b.data(), a.size() * sizeof(EntryRecord)) != 0))
            return false;
    }
    return true;
}

// The rhythm of each source measure must fit the destination measure it goes to.
void CheckLengthsFit(const Score& score, const Selection& source, const Selection& destination,
                     const std::vector<StaffRef>& receiving) {
    const Part& sourcePart = score.parts[source.staves.front().part];
    int sourceStaff = source.staves.front().staff;
    const auto& voices = sourcePart.voicesByStaff[static_cast<size_t>(sourceStaff - 1)];
    if (voices.empty()) return;
    for (size_t i = 0; i < source.MeasureCount(); ++i) {
        const Measure& from = sourcePart.measures[source.firstMeasure + i];
        const VoiceMeasure* voice = from.Find(sourceStaff, voices.front());
        Rational length(0);
        if (voice != nullptr)
            for (const Event& e : voice->events) length = std::max(length, e.End());
        for (const StaffRef& ref : receiving) {
            const Part& part = score.parts[ref.part];
            const Measure& to = part.measures[destination.firstMeasure + i];
            if (length > to.length)
                throw CliError(ExitCode::BadSelection, "the rhythm of measure " + from.number + " of " +
                                                           sourcePart.StaffLabel(sourceStaff) + " lasts " +
                                                           length.ToString() + " quarters, longer than measure " +
                                                           to.number + " of " + part.StaffLabel(ref.staff) + " (" +
                                                           to.length.ToString() + " quarters); it would not fit");
        }
    }
}

// The score in the host, with the selections it is run on.
struct HostedScore {
    const Score& score;
    simhost::Document& document;
    HostMapping mapping;
    Selection source;
    Selection destination;

    int16_t SlotOf(const StaffRef& ref) const { return mapping.Find(ref.part, ref.staff)->slot; }
    int16_t InstrumentOf(const StaffRef& ref) const { return mapping.Find(ref.part, ref.staff)->instrument; }
    // Whether layer index `layer` of `ref` over the destination is the source itself.
    bool IsSource(const StaffRef& ref, int16_t layer) const {
        return ref == source.staves.front() && layer == 0 && destination.firstMeasure == source.firstMeasure;
    }
};

// Reads the measures the module sees in detail and loads the score into a fresh host document.
HostedScore LoadSelections(MusicXmlScore& xml, const TransferRequest& request) {
    Selection source = ParseSelection(xml.score, request.source);
    Selection destination = ParseSelection(xml.score, request.destination);
    // The measure before each range holds the ties that lead into it.
    DetailMeasures(xml, source.firstMeasure == 0 ? 0 : source.firstMeasure - 1, source.lastMeasure);
    DetailMeasures(xml, destination.firstMeasure == 0 ? 0 : destination.firstMeasure - 1, destination.lastMeasure);
    simhost::Document& document = FreshDocument();
    HostMapping mapping = LoadIntoHost(xml.score, document);
    return HostedScore{xml.score, document, std::move(mapping), std::move(source), std::move(destination)};
}

// A destination layer and what it held before the module ran.
struct Watched {
    StaffRef ref;
    int16_t layer;
    Cells before;
};

struct Watch {
    std::vector<Watched> layers;     // parallel to TransferReport::layers
    std::vector<StaffRef> receiving; // the staves with a layer whose count matches the source's
};

LayerOutcome OutcomeBefore(const HostedScore& hosted, const StaffRef& ref, int16_t layer, bool sameLength) {
    const Part& part = hosted.score.parts[ref.part];
    const std::vector<std::string>& voices = part.voicesByStaff[static_cast<size_t>(ref.staff - 1)];
    LayerOutcome outcome;
    outcome.staff = part.StaffLabel(ref.staff);
    outcome.partId = part.id;
    outcome.staffNumber = ref.staff;
    outcome.layer = layer + 1;
    if (static_cast<size_t>(layer) < voices.size()) outcome.voice = voices[static_cast<size_t>(layer)];
    if (sameLength)
        outcome.attacks = CountAttacks(hosted.document, hosted.InstrumentOf(ref), layer,
                                       hosted.destination.firstMeasure, hosted.destination.lastMeasure);
    return outcome;
}

// Every destination layer that holds something, with its attacks and (if asked) its view.
Watch WatchDestination(const HostedScore& hosted, bool wantView, TransferReport& report) {
    Watch watch;
    const Selection& destination = hosted.destination;
    bool sameLength = hosted.source.MeasureCount() == destination.MeasureCount();
    for (const StaffRef& ref : destination.staves) {
        size_t voices = hosted.score.parts[ref.part].voicesByStaff[static_cast<size_t>(ref.staff - 1)].size();
        int16_t instrument = hosted.InstrumentOf(ref);
        bool receives = false;
        for (int16_t layer = 0; layer < kLayers; ++layer) {
            LayerOutcome outcome = OutcomeBefore(hosted, ref, layer, sameLength);
            receives |= sameLength && outcome.attacks == report.sourceAttacks && outcome.attacks > 0 &&
                        !hosted.IsSource(ref, layer);
            if (static_cast<size_t>(layer) >= voices && outcome.attacks == 0) continue;
            if (wantView)
                outcome.before =
                    CompactLayer(hosted.document, instrument, layer, destination.firstMeasure, destination.lastMeasure);
            watch.layers.push_back(
                {ref, layer,
                 Snapshot(hosted.document, instrument, layer, destination.firstMeasure, destination.lastMeasure)});
            report.layers.push_back(std::move(outcome));
        }
        if (receives) watch.receiving.push_back(ref);
    }
    return watch;
}

// SET SOURCE with the source selected, as the user would.
void SetSource(const PluginModule& module, const HostedScore& hosted, const std::string& text) {
    const Selection& source = hosted.source;
    int16_t firstSlot = hosted.SlotOf(source.staves.front()), lastSlot = firstSlot;
    for (const StaffRef& ref : source.staves) {
        firstSlot = std::min(firstSlot, hosted.SlotOf(ref));
        lastSlot = std::max(lastSlot, hosted.SlotOf(ref));
    }
    RegionRecord region = simhost::Host::WholeMeasures(firstSlot, lastSlot, HostMeasure(source.firstMeasure),
                                                       HostMeasure(source.lastMeasure));
    RunCommand(module, kSetSourceCommand, region, "the source \"" + text + "\"");
    if (!module.CommandEnabled(kCopyCommand))
        throw CliError(ExitCode::ModuleFailed, "the module accepted the source but left COPY disabled");
}

// COPY onto each run of neighbouring destination staves.
void CopyOntoDestination(const PluginModule& module, const HostedScore& hosted, const std::string& text) {
    const Selection& destination = hosted.destination;
    std::vector<int16_t> slots;
    for (const StaffRef& ref : destination.staves) slots.push_back(hosted.SlotOf(ref));
    for (auto [first, last] : SlotRuns(slots)) {
        RegionRecord region = simhost::Host::WholeMeasures(first, last, HostMeasure(destination.firstMeasure),
                                                           HostMeasure(destination.lastMeasure));
        int16_t answer = RunCommand(module, kCopyCommand, region, "the destination \"" + text + "\"");
        if (answer != 1) throw CliError(ExitCode::ModuleFailed, "the module's COPY failed without saying why");
    }
}

// The misuses of the host the module was caught at.
void AddHostWarnings(TransferReport& report) {
    simhost::Host& host = simhost::Host::Instance();
    if (!host.CheckNoLiveFrames() || !host.Problems().empty())
        for (const std::string& problem : host.Problems()) report.warnings.push_back("host: " + problem);
}

LayerResult ResultOf(bool changed, bool isSource, int attacks, int sourceAttacks) {
    if (changed) return LayerResult::Rebuilt;
    if (isSource) return LayerResult::SameAsSource;
    if (attacks == 0) return LayerResult::NoAttacks;
    if (attacks != sourceAttacks) return LayerResult::CountDiffers;
    return LayerResult::NotChanged;
}

// Settles each watched layer's result after the module ran; answers the rebuilt layers and,
// for each, its index into report.layers.
std::vector<RebuiltLayer> JudgeLayers(const HostedScore& hosted, const Watch& watch, bool wantView,
                                      TransferReport& report, std::vector<size_t>& rebuiltOutcome) {
    const Selection& destination = hosted.destination;
    std::vector<RebuiltLayer> rebuilt;
    for (size_t i = 0; i < watch.layers.size(); ++i) {
        const Watched& w = watch.layers[i];
        LayerOutcome& outcome = report.layers[i];
        int16_t instrument = hosted.InstrumentOf(w.ref);
        bool changed = !Unchanged(w.before, hosted.document, instrument, w.layer, destination.firstMeasure,
                                  destination.lastMeasure);
        outcome.result = ResultOf(changed, hosted.IsSource(w.ref, w.layer), outcome.attacks, report.sourceAttacks);
        if (wantView)
            outcome.after =
                CompactLayer(hosted.document, instrument, w.layer, destination.firstMeasure, destination.lastMeasure);
        if (changed) {
            rebuilt.push_back({hosted.SlotOf(w.ref), w.layer, destination.firstMeasure, destination.lastMeasure,
                               hosted.SlotOf(hosted.source.staves.front()), hosted.source.firstMeasure});
            rebuiltOutcome.push_back(i);
        }
    }
    return rebuilt;
}

} // namespace

std::string ResultText(const LayerOutcome& outcome, int sourceAttacks) {
    switch (outcome.result) {
        case LayerResult::Rebuilt:
            return "rebuilt";
        case LayerResult::SameAsSource:
            return "left alone: it is the source";
        case LayerResult::CountDiffers:
            return "left alone: " + std::to_string(outcome.attacks) + " attacks, the source has " +
                   std::to_string(sourceAttacks);
        case LayerResult::NoAttacks:
            return "left alone: no notes";
        case LayerResult::NotChanged:
            return "left alone by the module although the counts agree";
        case LayerResult::AlreadyHasRhythm:
            return "left alone: already has the source's rhythm";
    }
    return "";
}

TransferReport RunTransfer(MusicXmlScore& xml, const TransferRequest& request) {
    HostedScore hosted = LoadSelections(xml, request);
    PluginModule& module =
        PluginModule::Load(request.modulePath.empty() ? PluginModule::DefaultPath() : request.modulePath);

    TransferReport report;
    const StaffRef& sourceRef = hosted.source.staves.front();
    report.sourceStaff = xml.score.parts[sourceRef.part].StaffLabel(sourceRef.staff);
    report.sourceMeasures = DescribeMeasures(xml.score, hosted.source);
    report.destinationMeasures = DescribeMeasures(xml.score, hosted.destination);
    report.sourceAttacks = CountAttacks(hosted.document, hosted.InstrumentOf(sourceRef), 0, hosted.source.firstMeasure,
                                        hosted.source.lastMeasure);
    Watch watch = WatchDestination(hosted, request.wantView, report);
    if (hosted.source.MeasureCount() == hosted.destination.MeasureCount())
        CheckLengthsFit(xml.score, hosted.source, hosted.destination, watch.receiving);

    SetSource(module, hosted, request.source);
    CopyOntoDestination(module, hosted, request.destination);
    AddHostWarnings(report);

    std::vector<size_t> rebuiltOutcome;
    std::vector<RebuiltLayer> rebuilt = JudgeLayers(hosted, watch, request.wantView, report, rebuiltOutcome);
    std::vector<LayerWritten> written = WriteRebuiltLayers(xml, hosted.mapping, hosted.document, rebuilt);
    std::string refusal;
    for (size_t k = 0; k < rebuilt.size(); ++k) {
        LayerOutcome& outcome = report.layers[rebuiltOutcome[k]];
        outcome.dropped = written[k].dropped;
        outcome.restsFilled = written[k].restsFilled;
        outcome.tiesClosed = written[k].tiesClosed;
        outcome.tiesRemoved = written[k].tiesRemoved;
        if (written[k].alreadyHadRhythm) outcome.result = LayerResult::AlreadyHasRhythm;
        if (!outcome.dropped.empty() || !outcome.tiesRemoved.empty())
            refusal += (refusal.empty() ? "" : ", ") + outcome.staff;
    }
    report.strict = request.strict;
    if (request.strict && !refusal.empty())
        throw CliError(ExitCode::WouldDrop, "--strict: the transfer would drop markings or remove ties on " + refusal +
                                                "; run without --strict (or with --dry-run) to see what and where");
    return report;
}

} // namespace beatclone::cli
