#include "cli/command/TransferRun.h"

#include "cli/CliError.h"
#include "cli/command/CompactView.h"
#include "cli/command/LayerWriter.h"
#include "cli/command/Selection.h"
#include "cli/command/Words.h"
#include "cli/hostmap/AttackCount.h"
#include "cli/hostmap/HostMapping.h"
#include "cli/hostmap/PluginModule.h"
#include "cli/musicxml/ScoreReader.h"
#include "host/Utf8.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace beatclone::cli {
namespace {

constexpr int16_t kLayers = 4;

[[noreturn]] void FailSelection(const std::string& selection, const std::string& what) {
    throw CliError(ExitCode::BadSelection, "selection \"" + selection + "\": " + what);
}

simhost::Document& FreshDocument() {
    simhost::Host& host = simhost::Host::Instance();
    host.Reset();
    host.SetChecks(false); // they are for tests: the module is answered alike without them
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
        throw CliError(ExitCode::Refused, "Beatclone refused " + what + ": " + Utf16ToUtf8(box.text));
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

// What the score takes from a destination layer's cells, kept to tell afterwards whether the
// module changed them: each entry's fields, the notes in use and the host's trailing bytes,
// not the note slots beyond them that nothing reads (most entries use one of twelve).
class LayerImage {
public:
    LayerImage(const simhost::Document& document, int16_t instrument, int16_t layer, const MeasureSpan& span) {
        for (size_t m = span.first; m <= span.last; ++m) {
            const std::vector<EntryRecord>& entries = document.Entries(instrument, HostMeasure(m), layer);
            entriesPerCell_.push_back(entries.size());
            for (const EntryRecord& entry : entries) {
                const Pieces pieces = PiecesOf(entry);
                bytes_.insert(bytes_.end(), pieces.head, pieces.head + pieces.headBytes);
                bytes_.insert(bytes_.end(), pieces.tail, pieces.tail + kTailBytes);
            }
        }
    }

    // Whether the cells still hold what the image took of them; compared in place.
    bool Matches(const simhost::Document& document, int16_t instrument, int16_t layer, const MeasureSpan& span) const {
        if (entriesPerCell_.size() != span.Count()) return false;
        size_t at = 0;
        for (size_t i = 0; i < entriesPerCell_.size(); ++i) {
            const std::vector<EntryRecord>& entries = document.Entries(instrument, HostMeasure(span.first + i), layer);
            if (entries.size() != entriesPerCell_[i]) return false;
            for (const EntryRecord& entry : entries) {
                const Pieces pieces = PiecesOf(entry);
                if (bytes_.size() - at < pieces.headBytes + kTailBytes ||
                    std::memcmp(bytes_.data() + at, pieces.head, pieces.headBytes) != 0 ||
                    std::memcmp(bytes_.data() + at + pieces.headBytes, pieces.tail, kTailBytes) != 0)
                    return false;
                at += pieces.headBytes + kTailBytes;
            }
        }
        return at == bytes_.size();
    }

private:
    static constexpr size_t kTailBytes = sizeof(EntryRecord::hostData2);
    struct Pieces {
        const unsigned char* head; // the fields, then the notes in use
        size_t headBytes;
        const unsigned char* tail; // the host's bytes after the note slots
    };
    static Pieces PiecesOf(const EntryRecord& entry) {
        // noteCount is part of the head, so a changed count always shows.
        const size_t notes = static_cast<size_t>(std::clamp<int>(entry.noteCount, 0, kMaxNotesPerEntry));
        const auto* record = reinterpret_cast<const unsigned char*>(&entry);
        return {record, offsetof(EntryRecord, notes) + notes * sizeof(NoteRecord),
                record + offsetof(EntryRecord, hostData2)};
    }

    std::vector<size_t> entriesPerCell_;
    std::vector<unsigned char> bytes_;
};

std::string Quarters(const Rational& length) {
    return length.ToString() + (length == Rational(1) ? " quarter" : " quarters");
}

MeasureSpan SpanOf(const Part& part, size_t first, size_t last) {
    return {first, last, MeasureName(part, first), MeasureName(part, last)};
}

// The score in the host, with the selections it is run on.
struct HostedScore {
    const Score& score;
    simhost::Document& document;
    HostMapping mapping;
    Selection source;
    Selection destination;
    std::vector<std::string> sourceStaffVoices; // the source staff's voices in the score's own order

    int16_t SlotOf(const StaffRef& ref) const { return mapping.Find(ref.part, ref.staff)->slot; }
    int16_t InstrumentOf(const StaffRef& ref) const { return mapping.Find(ref.part, ref.staff)->instrument; }
    const StaffRef& SourceStaff() const { return source.staves.front(); }
    // Whether layer index `layer` of `ref` over `chunk` is the source itself.
    bool IsSource(const StaffRef& ref, int16_t layer, const MeasureSpan& chunk) const {
        return ref == SourceStaff() && layer == 0 && chunk.first == source.firstMeasure;
    }
    const std::vector<std::string>& VoicesOf(const StaffRef& ref) const {
        return score.parts[ref.part].voicesByStaff[static_cast<size_t>(ref.staff - 1)];
    }
    // The layer the user sees in the score for layer index `layer` of `ref` in this job.
    int ScoreLayer(const StaffRef& ref, int16_t layer) const {
        const std::vector<std::string>& voices = VoicesOf(ref);
        if (ref == SourceStaff() && static_cast<size_t>(layer) < voices.size()) {
            auto at = std::find(sourceStaffVoices.begin(), sourceStaffVoices.end(), voices[static_cast<size_t>(layer)]);
            return static_cast<int>(at - sourceStaffVoices.begin()) + 1;
        }
        return layer + 1;
    }
};

// The rhythm of each source measure must fit the destination measure it goes to.
void CheckLengthsFit(const HostedScore& hosted, const MeasureSpan& chunk, const std::vector<StaffRef>& receiving) {
    const Score& score = hosted.score;
    const Selection& source = hosted.source;
    const Part& sourcePart = score.parts[hosted.SourceStaff().part];
    int sourceStaff = hosted.SourceStaff().staff;
    const std::vector<std::string>& voices = hosted.VoicesOf(hosted.SourceStaff());
    if (voices.empty()) return;
    for (size_t i = 0; i < source.MeasureCount(); ++i) {
        const Measure& from = sourcePart.measures[source.firstMeasure + i];
        const VoiceMeasure* voice = from.Find(sourceStaff, voices.front());
        Rational length(0);
        if (voice != nullptr)
            for (const Event& e : voice->events) length = std::max(length, e.End());
        for (const StaffRef& ref : receiving) {
            const Part& part = score.parts[ref.part];
            const Measure& to = part.measures[chunk.first + i];
            if (length > to.length)
                throw CliError(ExitCode::BadSelection,
                               "the rhythm of measure " + from.number + " of " + sourcePart.StaffLabel(sourceStaff) +
                                   " lasts " + Quarters(length) + ", longer than measure " + to.number + " of " +
                                   part.StaffLabel(ref.staff) + " (" + Quarters(to.length) +
                                   "); it would not fit: choose destination measures at least as long");
        }
    }
}

// A source is one staff: a part of several staves is offered staff by staff.
void CheckSourceIsOneStaff(const Score& score, const Selection& source) {
    if (source.staves.size() == 1) return;
    const Part& first = score.parts[source.staves.front().part];
    std::string range = source.text.substr(source.text.rfind(':') + 1);
    bool onePart = std::all_of(source.staves.begin(), source.staves.end(),
                               [&](const StaffRef& r) { return r.part == source.staves.front().part; });
    if (onePart) {
        // Offered as the user named the part, else by its id.
        std::string named = source.text.substr(0, source.text.rfind(':'));
        named = named.find(',') == std::string::npos ? named : "@" + first.id;
        std::vector<std::string> choices;
        for (const StaffRef& r : source.staves)
            choices.push_back("\"" + named + "/" + std::to_string(r.staff) + ":" + range + "\"");
        FailSelection(source.text, "a source is one staff, and part " + first.id + " has " +
                                       Counted(first.staffCount, "staff", "staves") + "; write " +
                                       ListInWords(choices, " or "));
    }
    FailSelection(source.text, "a source is one staff; this names " +
                                   Counted(static_cast<long long>(source.staves.size()), "staff", "staves") +
                                   "; copy from each in a job of its own (--source ... --to ... again)");
}

// The destination is the source's length or a whole multiple of it.
std::vector<MeasureSpan> Chunks(const Score& score, const Selection& source, const Selection& destination) {
    size_t length = source.MeasureCount(), total = destination.MeasureCount();
    if (total % length != 0) {
        std::string multiples;
        for (size_t k = 1; k <= 4; ++k) multiples += std::to_string(k * length) + ", ";
        throw CliError(
            ExitCode::BadSelection,
            "the destination \"" + destination.text + "\" has " + Counted(static_cast<long long>(total), "measure") +
                " and the source \"" + source.text + "\" " + Counted(static_cast<long long>(length), "measure") +
                "; a destination is as long as its source or a whole multiple of it (" + multiples + "... measures)");
    }
    const Part& part = score.parts[destination.staves.front().part];
    std::vector<MeasureSpan> chunks;
    for (size_t first = destination.firstMeasure; first <= destination.lastMeasure; first += length)
        chunks.push_back(SpanOf(part, first, first + length - 1));
    // A chunk that overlaps the source on its own staff without being it would change the
    // source under the chunks after it.
    bool onSourceStaff = std::find(destination.staves.begin(), destination.staves.end(), source.staves.front()) !=
                         destination.staves.end();
    if (onSourceStaff && chunks.size() > 1)
        for (const MeasureSpan& c : chunks)
            if (c.first != source.firstMeasure && c.first <= source.lastMeasure && source.firstMeasure <= c.last)
                throw CliError(ExitCode::BadSelection,
                               "the destination \"" + destination.text + "\" overlaps the source \"" + source.text +
                                   "\" on its own staff without lining up with it; start the destination at the "
                                   "source's first measure or after its last");
    return chunks;
}

// The parts a selection names, each once.
std::vector<size_t> PartsOf(const Selection& selection) {
    std::vector<size_t> parts;
    for (const StaffRef& ref : selection.staves)
        if (std::find(parts.begin(), parts.end(), ref.part) == parts.end()) parts.push_back(ref.part);
    return parts;
}

// Lays the chosen voice of the source staff out as its layer 1 for this job.
void ChooseSourceVoice(Score& score, const Selection& source, const std::string& voice) {
    if (voice.empty()) return;
    const StaffRef& ref = source.staves.front();
    Part& part = score.parts[ref.part];
    std::vector<std::string>& voices = part.voicesByStaff[static_cast<size_t>(ref.staff - 1)];
    auto at = std::find(voices.begin(), voices.end(), voice);
    if (at == voices.end())
        FailSelection(source.text, part.StaffLabel(ref.staff) + " has no voice " + voice + "; its voices are " +
                                       (voices.empty() ? "none" : ListInWords(voices)) +
                                       " (beatclone SCORE --list shows the voices of every staff)");
    std::rotate(voices.begin(), at, at + 1);
}

// A source without notes in the voice taken: say which voices have some.
[[noreturn]] void SourceWithoutNotes(const HostedScore& hosted, const std::string& chosenVoice) {
    const StaffRef& ref = hosted.SourceStaff();
    const std::vector<std::string>& voices = hosted.VoicesOf(ref);
    std::vector<std::string> withNotes;
    for (size_t j = 0; j < voices.size(); ++j)
        if (CountAttacks(hosted.document, hosted.InstrumentOf(ref), static_cast<int16_t>(j), hosted.source.firstMeasure,
                         hosted.source.lastMeasure) > 0)
            withNotes.push_back(voices[j]);
    std::string label = hosted.score.parts[ref.part].StaffLabel(ref.staff);
    std::string measures = DescribeMeasures(hosted.score, hosted.source);
    std::string what = voices.empty()
                           ? "the source has no notes: " + label + " has no voice in " + measures
                           : "the source has no notes in voice " + voices.front() + " of " + label + " in " + measures;
    if (withNotes.empty()) FailSelection(hosted.source.text, what + ", nor in any other voice; choose other measures");
    FailSelection(hosted.source.text, what + (chosenVoice.empty() ? " (its first voice)" : "") +
                                          "; voices with notes there: " + ListInWords(withNotes) + "; add --voice " +
                                          withNotes.front() + " after this --source");
}

// A destination layer and what it held before the module ran.
struct Watched {
    StaffRef ref;
    int16_t layer;
    LayerImage before;
};

struct Watch {
    std::vector<Watched> layers;     // parallel to the chunk's outcomes
    std::vector<StaffRef> receiving; // the staves with a layer whose count matches the source's
};

// Every layer of the chunk that holds something, with its attacks and (if asked) its view.
Watch WatchChunk(const HostedScore& hosted, const MeasureSpan& chunk, size_t chunkIndex, bool wantView,
                 TransferReport& report) {
    Watch watch;
    for (const StaffRef& ref : hosted.destination.staves) {
        const Part& part = hosted.score.parts[ref.part];
        const std::vector<std::string>& voices = hosted.VoicesOf(ref);
        int16_t instrument = hosted.InstrumentOf(ref);
        bool receives = false;
        for (int16_t layer = 0; layer < kLayers; ++layer) {
            LayerOutcome outcome;
            outcome.staff = part.StaffLabel(ref.staff);
            outcome.partId = part.id;
            outcome.staffNumber = ref.staff;
            outcome.layer = hosted.ScoreLayer(ref, layer);
            outcome.chunk = chunkIndex;
            if (static_cast<size_t>(layer) < voices.size()) outcome.voice = voices[static_cast<size_t>(layer)];
            outcome.attacks = CountAttacks(hosted.document, instrument, layer, chunk.first, chunk.last);
            receives |= outcome.attacks == report.sourceAttacks && !hosted.IsSource(ref, layer, chunk);
            if (static_cast<size_t>(layer) >= voices.size() && outcome.attacks == 0) continue;
            if (wantView) outcome.before = CompactLayer(hosted.document, instrument, layer, chunk.first, chunk.last);
            watch.layers.push_back({ref, layer, LayerImage(hosted.document, instrument, layer, chunk)});
            report.layers.push_back(std::move(outcome));
        }
        if (receives) watch.receiving.push_back(ref);
    }
    return watch;
}

// SET SOURCE with the source selected, as the user would.
void SetSource(const PluginModule& module, const HostedScore& hosted) {
    const Selection& source = hosted.source;
    int16_t slot = hosted.SlotOf(hosted.SourceStaff());
    RegionRecord region =
        simhost::Host::WholeMeasures(slot, slot, HostMeasure(source.firstMeasure), HostMeasure(source.lastMeasure));
    RunCommand(module, kSetSourceCommand, region, "the source \"" + source.text + "\"");
    if (!module.CommandEnabled(kCopyCommand))
        throw CliError(ExitCode::ModuleFailed,
                       "Beatclone accepted the source \"" + source.text + "\" but left COPY disabled");
}

// COPY onto each run of neighbouring destination staves over one chunk.
void CopyOntoChunk(const PluginModule& module, const HostedScore& hosted, const MeasureSpan& chunk) {
    std::vector<int16_t> slots;
    for (const StaffRef& ref : hosted.destination.staves) slots.push_back(hosted.SlotOf(ref));
    std::string what = "the destination \"" + hosted.destination.text + "\"" +
                       (chunk.Count() == hosted.destination.MeasureCount() ? "" : " at " + chunk.Describe());
    for (auto [first, last] : SlotRuns(slots)) {
        RegionRecord region =
            simhost::Host::WholeMeasures(first, last, HostMeasure(chunk.first), HostMeasure(chunk.last));
        int16_t answer = RunCommand(module, kCopyCommand, region, what);
        if (answer != 1)
            throw CliError(ExitCode::ModuleFailed, "Beatclone's COPY of " + what + " failed without saying why");
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

// Settles each watched layer's result after COPY ran on the chunk; adds the rebuilt layers and,
// for each, its index into report.layers.
void JudgeChunk(const HostedScore& hosted, const MeasureSpan& chunk, const Watch& watch, size_t firstOutcome,
                bool wantView, TransferReport& report, std::vector<RebuiltLayer>& rebuilt,
                std::vector<size_t>& rebuiltOutcome) {
    for (size_t i = 0; i < watch.layers.size(); ++i) {
        const Watched& w = watch.layers[i];
        LayerOutcome& outcome = report.layers[firstOutcome + i];
        int16_t instrument = hosted.InstrumentOf(w.ref);
        bool changed = !w.before.Matches(hosted.document, instrument, w.layer, chunk);
        outcome.result =
            ResultOf(changed, hosted.IsSource(w.ref, w.layer, chunk), outcome.attacks, report.sourceAttacks);
        if (wantView) outcome.after = CompactLayer(hosted.document, instrument, w.layer, chunk.first, chunk.last);
        if (changed) {
            rebuilt.push_back({hosted.SlotOf(w.ref), w.layer, chunk.first, chunk.last,
                               hosted.SlotOf(hosted.source.staves.front()), hosted.source.firstMeasure});
            rebuiltOutcome.push_back(firstOutcome + i);
        }
    }
}

} // namespace

std::string MeasureSpan::Describe() const {
    return first == last ? "measure " + firstText : "measures " + firstText + "-" + lastText;
}

int TransferReport::Rebuilt() const {
    return static_cast<int>(std::count_if(layers.begin(), layers.end(),
                                          [](const LayerOutcome& l) { return l.result == LayerResult::Rebuilt; }));
}

std::string ResultText(const LayerOutcome& outcome, int sourceAttacks) {
    switch (outcome.result) {
        case LayerResult::Rebuilt:
            return "rebuilt";
        case LayerResult::SameAsSource:
            return "left alone: it is the source";
        case LayerResult::CountDiffers:
            return "left alone: " + Counted(outcome.attacks, "attack") + ", the source has " +
                   std::to_string(sourceAttacks);
        case LayerResult::NoAttacks:
            return "left alone: no notes";
        case LayerResult::NotChanged:
            return "left alone by Beatclone although the counts agree";
        case LayerResult::AlreadyHasRhythm:
            return "left alone: already has the source's rhythm";
    }
    return "";
}

const char* ResultWord(LayerResult result) { return result == LayerResult::Rebuilt ? "rebuilt" : "left alone"; }

const char* ReasonWord(LayerResult result) {
    switch (result) {
        case LayerResult::Rebuilt:
            return "";
        case LayerResult::SameAsSource:
            return "source";
        case LayerResult::CountDiffers:
            return "count-differs";
        case LayerResult::NoAttacks:
            return "no-notes";
        case LayerResult::NotChanged:
            return "unchanged";
        case LayerResult::AlreadyHasRhythm:
            return "already-source-rhythm";
    }
    return "";
}

TransferReport RunTransfer(MusicXmlScore& xml, const TransferRequest& request) {
    Score& score = xml.score;
    Selection source = ParseSelection(xml, request.source);
    Selection destination = ParseSelection(xml, request.destination);
    CheckSourceIsOneStaff(score, source);
    std::vector<MeasureSpan> chunks = Chunks(score, source, destination);
    // Only the parts named are read; the measure before each range holds the ties that lead
    // into it.
    DetailMeasures(xml, PartsOf(source), source.firstMeasure == 0 ? 0 : source.firstMeasure - 1, source.lastMeasure);
    DetailMeasures(xml, PartsOf(destination), destination.firstMeasure == 0 ? 0 : destination.firstMeasure - 1,
                   destination.lastMeasure);
    const StaffRef sourceRef = source.staves.front();
    const Part& sourcePart = score.parts[sourceRef.part];
    std::vector<std::string> ownVoices = sourcePart.voicesByStaff[static_cast<size_t>(sourceRef.staff - 1)];
    ChooseSourceVoice(score, source, request.voice);

    simhost::Document& document = FreshDocument();
    HostMapping mapping = LoadIntoHost(score, document);
    HostedScore hosted{
        score, document, std::move(mapping), std::move(source), std::move(destination), std::move(ownVoices)};
    PluginModule& module =
        PluginModule::Load(request.modulePath.empty() ? PluginModule::DefaultPath() : request.modulePath);

    TransferReport report;
    report.sourceText = request.source;
    report.destinationText = request.destination;
    report.sourceStaff = sourcePart.StaffLabel(sourceRef.staff);
    report.sourcePartId = sourcePart.id;
    report.sourceStaffNumber = sourceRef.staff;
    const std::vector<std::string>& laidOut = hosted.VoicesOf(sourceRef);
    if (!laidOut.empty()) report.sourceVoice = laidOut.front();
    report.sourceMeasures = SpanOf(sourcePart, hosted.source.firstMeasure, hosted.source.lastMeasure);
    report.destinationMeasures = SpanOf(score.parts[hosted.destination.staves.front().part],
                                        hosted.destination.firstMeasure, hosted.destination.lastMeasure);
    report.chunks = chunks;
    for (const Selection* s : {&hosted.source, &hosted.destination})
        report.warnings.insert(report.warnings.end(), s->warnings.begin(), s->warnings.end());
    report.sourceAttacks = CountAttacks(document, hosted.InstrumentOf(sourceRef), 0, hosted.source.firstMeasure,
                                        hosted.source.lastMeasure);
    if (report.sourceAttacks == 0) SourceWithoutNotes(hosted, request.voice);
    if (request.wantView)
        report.sourceView = CompactLayer(document, hosted.InstrumentOf(sourceRef), 0, hosted.source.firstMeasure,
                                         hosted.source.lastMeasure);

    SetSource(module, hosted);
    std::vector<RebuiltLayer> rebuilt;
    std::vector<size_t> rebuiltOutcome;
    for (size_t c = 0; c < chunks.size(); ++c) {
        size_t firstOutcome = report.layers.size();
        Watch watch = WatchChunk(hosted, chunks[c], c, request.wantView, report);
        CheckLengthsFit(hosted, chunks[c], watch.receiving);
        CopyOntoChunk(module, hosted, chunks[c]);
        JudgeChunk(hosted, chunks[c], watch, firstOutcome, request.wantView, report, rebuilt, rebuiltOutcome);
    }
    AddHostWarnings(report);

    std::vector<LayerWritten> written = WriteRebuiltLayers(xml, hosted.mapping, document, rebuilt);
    std::string refusal;
    for (size_t k = 0; k < rebuilt.size(); ++k) {
        LayerOutcome& outcome = report.layers[rebuiltOutcome[k]];
        outcome.dropped = written[k].dropped;
        outcome.tiesClosed = written[k].tiesClosed;
        outcome.tiesRemoved = written[k].tiesRemoved;
        outcome.restsFilled = written[k].restsFilled;
        if (outcome.restsFilled > 0) outcome.notes["rests filled"] = outcome.restsFilled;
        if (!outcome.tiesClosed.empty()) outcome.notes["ties closed"] = static_cast<int>(outcome.tiesClosed.size());
        if (!outcome.tiesRemoved.empty()) outcome.notes["ties removed"] = static_cast<int>(outcome.tiesRemoved.size());
        if (written[k].alreadyHadRhythm) outcome.result = LayerResult::AlreadyHasRhythm;
        if (!outcome.dropped.empty() || !outcome.tiesRemoved.empty())
            refusal += (refusal.empty() ? "" : ", ") + outcome.staff;
    }
    if (request.strict && !refusal.empty())
        throw CliError(ExitCode::WouldDrop, "--strict: the transfer would drop markings or remove ties on " + refusal +
                                                "; run without --strict (or with --dry-run) to see what and where");
    return report;
}

std::vector<TransferReport> RunJobs(MusicXmlScore& xml, const std::vector<TransferRequest>& jobs) {
    std::vector<TransferReport> reports;
    for (size_t j = 0; j < jobs.size(); ++j) {
        if (j > 0) {
            // The job before rewrote the XML (and may have laid voices out anew): read it again.
            xml.score.parts.clear();
            xml.measureNodes.clear();
            ReadPartList(xml);
        }
        reports.push_back(RunTransfer(xml, jobs[j]));
    }
    return reports;
}

} // namespace beatclone::cli
