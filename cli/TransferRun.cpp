#include "cli/TransferRun.h"

#include "cli/CliError.h"
#include "cli/CompactView.h"
#include "cli/HostMapping.h"
#include "cli/LayerWriter.h"
#include "cli/PluginModule.h"
#include "cli/ScoreReader.h"
#include "cli/Selection.h"
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
        if (a.size() != b.size() || (!a.empty() && std::memcmp(a.data(), b.data(), a.size() * sizeof(EntryRecord)) != 0))
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
                throw CliError(ExitCode::BadSelection,
                               "the rhythm of measure " + from.number + " of " + sourcePart.StaffLabel(sourceStaff) +
                                   " lasts " + length.ToString() + " quarters, longer than measure " + to.number +
                                   " of " + part.StaffLabel(ref.staff) + " (" + to.length.ToString() +
                                   " quarters); it would not fit");
        }
    }
}

} // namespace

std::string ResultText(const LayerOutcome& outcome, int sourceAttacks) {
    switch (outcome.result) {
    case LayerResult::Rebuilt: return "rebuilt";
    case LayerResult::SameAsSource: return "left alone: it is the source";
    case LayerResult::CountDiffers:
        return "left alone: " + std::to_string(outcome.attacks) + " attacks, the source has " + std::to_string(sourceAttacks);
    case LayerResult::NoAttacks: return "left alone: no notes";
    case LayerResult::NotChanged: return "left alone by the module although the counts agree";
    }
    return "";
}

TransferReport RunTransfer(Score& score, const TransferRequest& request) {
    Selection source = ParseSelection(score, request.source);
    Selection destination = ParseSelection(score, request.destination);
    // The module sees only these measures; the measure before each range holds the ties
    // that lead into it.
    DetailMeasures(score, source.firstMeasure == 0 ? 0 : source.firstMeasure - 1, source.lastMeasure);
    DetailMeasures(score, destination.firstMeasure == 0 ? 0 : destination.firstMeasure - 1, destination.lastMeasure);
    simhost::Document& document = FreshDocument();
    HostMapping mapping = LoadIntoHost(score, document);
    PluginModule& module = PluginModule::Load(request.modulePath.empty() ? PluginModule::DefaultPath() : request.modulePath);

    auto slotOf = [&](const StaffRef& ref) { return mapping.Find(ref.part, ref.staff)->slot; };
    auto instrumentOf = [&](const StaffRef& ref) { return mapping.Find(ref.part, ref.staff)->instrument; };

    TransferReport report;
    const StaffRef& sourceRef = source.staves.front();
    report.sourceStaff = score.parts[sourceRef.part].StaffLabel(sourceRef.staff);
    report.sourceMeasures = DescribeMeasures(score, source);
    report.destinationMeasures = DescribeMeasures(score, destination);
    report.sourceAttacks = CountAttacks(document, instrumentOf(sourceRef), 0, source.firstMeasure, source.lastMeasure);

    // What each destination layer holds before the module runs.
    struct Watched {
        StaffRef ref;
        int16_t layer;
        Cells before;
    };
    std::vector<Watched> watched;
    std::vector<StaffRef> receiving;
    bool sameLength = source.MeasureCount() == destination.MeasureCount();
    for (const StaffRef& ref : destination.staves) {
        const Part& part = score.parts[ref.part];
        size_t voices = part.voicesByStaff[static_cast<size_t>(ref.staff - 1)].size();
        bool receives = false;
        for (int16_t layer = 0; layer < kLayers; ++layer) {
            LayerOutcome outcome;
            outcome.staff = part.StaffLabel(ref.staff);
            outcome.partId = part.id;
            outcome.staffNumber = ref.staff;
            outcome.layer = layer + 1;
            if (static_cast<size_t>(layer) < voices) outcome.voice = part.voicesByStaff[static_cast<size_t>(ref.staff - 1)][static_cast<size_t>(layer)];
            if (sameLength) {
                outcome.attacks = CountAttacks(document, instrumentOf(ref), layer, destination.firstMeasure, destination.lastMeasure);
                bool isSource = ref == sourceRef && layer == 0 && destination.firstMeasure == source.firstMeasure;
                receives |= outcome.attacks == report.sourceAttacks && outcome.attacks > 0 && !isSource;
            }
            if (static_cast<size_t>(layer) >= voices && outcome.attacks == 0) continue;
            if (request.wantView)
                outcome.before = CompactLayer(document, instrumentOf(ref), layer, destination.firstMeasure, destination.lastMeasure);
            watched.push_back({ref, layer, Snapshot(document, instrumentOf(ref), layer, destination.firstMeasure, destination.lastMeasure)});
            report.layers.push_back(std::move(outcome));
        }
        if (receives) receiving.push_back(ref);
    }
    if (sameLength) CheckLengthsFit(score, source, destination, receiving);

    // SET SOURCE with the source selected, as the user would.
    int16_t firstSlot = slotOf(source.staves.front()), lastSlot = firstSlot;
    for (const StaffRef& ref : source.staves) {
        firstSlot = std::min(firstSlot, slotOf(ref));
        lastSlot = std::max(lastSlot, slotOf(ref));
    }
    RegionRecord sourceRegion = simhost::Host::WholeMeasures(firstSlot, lastSlot, HostMeasure(source.firstMeasure),
                                                             HostMeasure(source.lastMeasure));
    RunCommand(module, kSetSourceCommand, sourceRegion, "the source \"" + request.source + "\"");
    if (!module.CommandEnabled(kCopyCommand))
        throw CliError(ExitCode::ModuleFailed, "the module accepted the source but left COPY disabled");

    // COPY onto each run of neighbouring destination staves.
    std::vector<int16_t> slots;
    for (const StaffRef& ref : destination.staves) slots.push_back(slotOf(ref));
    for (auto [first, last] : SlotRuns(slots)) {
        RegionRecord region = simhost::Host::WholeMeasures(first, last, HostMeasure(destination.firstMeasure),
                                                           HostMeasure(destination.lastMeasure));
        int16_t answer = RunCommand(module, kCopyCommand, region, "the destination \"" + request.destination + "\"");
        if (answer != 1) throw CliError(ExitCode::ModuleFailed, "the module's COPY failed without saying why");
    }
    simhost::Host& host = simhost::Host::Instance();
    if (!host.CheckNoLiveFrames() || !host.Problems().empty())
        for (const std::string& problem : host.Problems()) report.warnings.push_back("host: " + problem);

    // Which layers the module rebuilt, and writing them back.
    std::vector<RebuiltLayer> rebuilt;
    std::vector<size_t> rebuiltOutcome;
    for (size_t i = 0; i < watched.size(); ++i) {
        const Watched& w = watched[i];
        LayerOutcome& outcome = report.layers[i];
        int16_t instrument = instrumentOf(w.ref);
        bool changed = !Unchanged(w.before, document, instrument, w.layer, destination.firstMeasure, destination.lastMeasure);
        bool isSource = w.ref == sourceRef && w.layer == 0 && destination.firstMeasure == source.firstMeasure;
        if (changed) outcome.result = LayerResult::Rebuilt;
        else if (isSource) outcome.result = LayerResult::SameAsSource;
        else if (outcome.attacks == 0) outcome.result = LayerResult::NoAttacks;
        else if (outcome.attacks != report.sourceAttacks) outcome.result = LayerResult::CountDiffers;
        else outcome.result = LayerResult::NotChanged;
        if (request.wantView)
            outcome.after = CompactLayer(document, instrument, w.layer, destination.firstMeasure, destination.lastMeasure);
        if (changed) {
            rebuilt.push_back({slotOf(w.ref), w.layer, destination.firstMeasure, destination.lastMeasure});
            rebuiltOutcome.push_back(i);
        }
    }
    std::vector<std::map<std::string, int>> dropped = WriteRebuiltLayers(score, mapping, document, rebuilt);
    for (size_t k = 0; k < rebuilt.size(); ++k) report.layers[rebuiltOutcome[k]].dropped = dropped[k];
    return report;
}

} // namespace beatclone::cli
