#include "cli/command/ReportPrinter.h"

#include "cli/command/JsonText.h"
#include "cli/command/Words.h"

#include <algorithm>

namespace beatclone::cli {
namespace {

std::string DroppedText(const std::map<std::string, int>& dropped) {
    std::string text;
    for (const auto& [kind, count] : dropped) {
        text += text.empty() ? "" : ", ";
        text += std::to_string(count) + " " + kind + (count == 1 || kind.back() == 's' ? "" : "s");
    }
    return text;
}

std::string JoinedText(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : "; ") + item;
    return text;
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string text = "[";
    for (const std::string& item : items) text += (text.size() > 1 ? ", " : "") + JsonString(item);
    return text + "]";
}

std::string Pad(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

constexpr const char* kViewLegend =
    "View: pitch and value (w h q e s t x, dots after); r rest, ~ tie, [ ] chord,\n"
    "      3:2[ ] tuplet, {.} {>} {-} marks, | barline\n";

bool Shown(const RunSummary& run, const LayerOutcome& l) { return run.allLayers || l.result != LayerResult::NoAttacks; }

void PrintJobHeader(std::ostream& out, const RunSummary& run, const TransferReport& t, size_t index) {
    if (run.jobs.size() > 1) out << (index ? "\n" : "") << "Job " << index + 1 << " of " << run.jobs.size() << "\n";
    out << "Source: " << t.sourceStaff << ", " << t.sourceMeasures.Describe() << ", voice "
        << (t.sourceVoice.empty() ? "-" : t.sourceVoice) << ": " << Counted(t.sourceAttacks, "attack") << "\n";
    if (run.showViews) out << "    rhythm: " << t.sourceView << "\n";
    out << "Destination: " << t.destinationMeasures.Describe();
    if (t.chunks.size() > 1)
        out << ", " << t.chunks.size() << " times the source's "
            << Counted(static_cast<long long>(t.sourceMeasures.Count()), "measure");
    out << (run.dryRun ? " (dry run: nothing is written)" : "") << "\n";
}

void PrintLayers(std::ostream& out, const RunSummary& run, const TransferReport& t, size_t& hidden) {
    size_t width = 5;
    for (const LayerOutcome& l : t.layers) width = std::max(width, l.staff.size());
    for (size_t c = 0; c < t.chunks.size(); ++c) {
        out << "\n";
        if (t.chunks.size() > 1) {
            std::string span = t.chunks[c].Describe();
            span[0] = 'M';
            out << span << ":\n";
        }
        bool any = false;
        for (const LayerOutcome& l : t.layers) {
            if (l.chunk != c) continue;
            if (!Shown(run, l)) {
                ++hidden;
                continue;
            }
            if (!any) out << Pad("Staff", width + 2) << "Layer  Voice  Attacks  Result\n";
            any = true;
            std::string result = ResultText(l, t.sourceAttacks);
            if (run.dryRun && l.result == LayerResult::Rebuilt) result = "would be rebuilt";
            out << Pad(l.staff, width + 2) << Pad(std::to_string(l.layer), 7) << Pad(l.voice.empty() ? "-" : l.voice, 7)
                << Pad(std::to_string(l.attacks), 9) << result;
            if (!l.dropped.empty()) out << " (dropped: " << DroppedText(l.dropped) << ")";
            if (auto filled = l.notes.find("rests filled"); filled != l.notes.end())
                out << " (filled with " << Counted(filled->second, "rest") << ")";
            if (!l.tiesClosed.empty()) out << " (ties closed: " << JoinedText(l.tiesClosed) << ")";
            if (!l.tiesRemoved.empty()) out << " (ties removed: " << JoinedText(l.tiesRemoved) << ")";
            out << "\n";
            if (run.showViews && (!l.before.empty() || !l.after.empty())) {
                out << "    before: " << l.before << "\n";
                if (l.result == LayerResult::Rebuilt) out << "    after:  " << l.after << "\n";
            }
        }
        if (!any) out << "No layer of the destination has notes here.\n";
    }
}

void PrintCounts(std::ostream& out, const std::map<std::string, int>& counts) {
    size_t k = 0;
    for (const auto& [kind, count] : counts) out << (k++ ? ", " : "") << JsonString(kind) << ": " << count;
}

void PrintLayerJson(std::ostream& out, const LayerOutcome& l, int sourceAttacks) {
    out << "{\"staff\": " << JsonString(l.staff) << ", \"part\": " << JsonString(l.partId)
        << ", \"staffNumber\": " << l.staffNumber << ", \"layer\": " << l.layer
        << ", \"voice\": " << JsonStringOrNull(l.voice) << ", \"attacks\": " << l.attacks
        << ", \"sourceAttacks\": " << sourceAttacks << ", \"result\": " << JsonString(ResultWord(l.result))
        << ", \"reason\": " << JsonStringOrNull(ReasonWord(l.result))
        << ", \"message\": " << JsonString(ResultText(l, sourceAttacks)) << ", \"dropped\": {";
    PrintCounts(out, l.dropped);
    out << "}, \"notes\": {";
    PrintCounts(out, l.notes);
    out << "}, \"ties\": {\"closed\": " << JsonList(l.tiesClosed) << ", \"removed\": " << JsonList(l.tiesRemoved)
        << "}, \"before\": " << JsonStringOrNull(l.before) << ", \"after\": " << JsonStringOrNull(l.after) << "}";
}

void PrintJobJson(std::ostream& out, const TransferReport& t) {
    out << "{\n      \"source\": {\"selection\": " << JsonString(t.sourceText)
        << ", \"staff\": " << JsonString(t.sourceStaff) << ", \"part\": " << JsonString(t.sourcePartId)
        << ", \"staffNumber\": " << t.sourceStaffNumber << ", \"voice\": " << JsonStringOrNull(t.sourceVoice)
        << ", \"measures\": " << MeasureSpanJson(t.sourceMeasures) << ", \"attacks\": " << t.sourceAttacks
        << ", \"view\": " << JsonStringOrNull(t.sourceView) << "},\n";
    out << "      \"destination\": {\"selection\": " << JsonString(t.destinationText)
        << ", \"measures\": " << MeasureSpanJson(t.destinationMeasures) << "},\n";
    out << "      \"rebuilt\": " << t.Rebuilt() << ",\n      \"chunks\": [";
    for (size_t c = 0; c < t.chunks.size(); ++c) {
        int rebuilt = 0;
        for (const LayerOutcome& l : t.layers) rebuilt += l.chunk == c && l.result == LayerResult::Rebuilt;
        out << (c ? "," : "") << "\n        {\"measures\": " << MeasureSpanJson(t.chunks[c])
            << ", \"rebuilt\": " << rebuilt << ", \"layers\": [";
        bool first = true;
        for (const LayerOutcome& l : t.layers) {
            if (l.chunk != c) continue;
            out << (first ? "" : ",") << "\n          ";
            first = false;
            PrintLayerJson(out, l, t.sourceAttacks);
        }
        out << "]}";
    }
    out << "\n      ]\n    }";
}

} // namespace

int RunSummary::Rebuilt() const {
    int n = 0;
    for (const TransferReport& t : jobs) n += t.Rebuilt();
    return n;
}

std::string MeasureSpanJson(const MeasureSpan& span) {
    return "{\"first\": " + JsonMeasureNumber(span.firstText) + ", \"last\": " + JsonMeasureNumber(span.lastText) +
           ", \"firstText\": " + JsonString(span.firstText) + ", \"lastText\": " + JsonString(span.lastText) +
           ", \"firstIndex\": " + std::to_string(span.first + 1) + ", \"lastIndex\": " + std::to_string(span.last + 1) +
           ", \"count\": " + std::to_string(span.Count()) + "}";
}

void PrintTable(std::ostream& out, const RunSummary& run) {
    if (run.jobs.empty()) {
        if (!run.output.empty())
            out << "Round trip: " << run.input << " -> " << run.output << " (nothing transferred)\n";
        return;
    }
    if (run.showViews) out << kViewLegend << "\n";
    size_t hidden = 0, layers = 0;
    for (size_t j = 0; j < run.jobs.size(); ++j) {
        const TransferReport& t = run.jobs[j];
        PrintJobHeader(out, run, t, j);
        PrintLayers(out, run, t, hidden);
        layers += t.layers.size();
        for (const std::string& w : t.warnings) out << "warning: " << w << "\n";
    }
    out << "\n"
        << (run.dryRun ? "Would rebuild " : "Rebuilt ") << run.Rebuilt() << " of "
        << Counted(static_cast<long long>(layers), "layer");
    if (hidden > 0)
        out << "; " << Counted(static_cast<long long>(hidden), "layer") << " without notes not shown (--all-layers)";
    out << "\n";
    if (!run.output.empty()) out << "Wrote " << run.output << "\n";
}

void PrintTsv(std::ostream& out, const RunSummary& run) {
    out << "job\tchunk\tfirst\tlast\tstaff\tpart\tstaffNumber\tlayer\tvoice\tsourceAttacks\tattacks\tresult\treason\n";
    for (size_t j = 0; j < run.jobs.size(); ++j) {
        const TransferReport& t = run.jobs[j];
        for (const LayerOutcome& l : t.layers) {
            const MeasureSpan& c = t.chunks[l.chunk];
            out << j + 1 << '\t' << l.chunk + 1 << '\t' << c.firstText << '\t' << c.lastText << '\t' << l.staff << '\t'
                << l.partId << '\t' << l.staffNumber << '\t' << l.layer << '\t' << l.voice << '\t' << t.sourceAttacks
                << '\t' << l.attacks << '\t' << ResultWord(l.result) << '\t' << ReasonWord(l.result) << '\n';
        }
    }
}

void PrintJson(std::ostream& out, const RunSummary& run) {
    out << "{\n  \"schemaVersion\": " << kJsonSchemaVersion << ",\n  \"input\": " << JsonString(run.input) << ",\n";
    out << "  \"output\": " << JsonStringOrNull(run.output) << ",\n";
    out << "  \"dryRun\": " << (run.dryRun ? "true" : "false") << ",\n  \"exitCode\": " << run.exitCode
        << ",\n  \"rebuilt\": " << run.Rebuilt() << ",\n  \"jobs\": [";
    for (size_t j = 0; j < run.jobs.size(); ++j) {
        out << (j ? ", " : "\n    ");
        PrintJobJson(out, run.jobs[j]);
    }
    out << (run.jobs.empty() ? "" : "\n  ") << "],\n  \"warnings\": [";
    size_t k = 0;
    for (const TransferReport& t : run.jobs)
        for (const std::string& w : t.warnings) out << (k++ ? ", " : "") << JsonString(w);
    out << "]\n}\n";
}

void PrintJsonError(std::ostream& out, ExitCode code, const std::string& message) {
    out << "{\"schemaVersion\": " << kJsonSchemaVersion << ", \"error\": {\"exitCode\": " << static_cast<int>(code)
        << ", \"kind\": " << JsonString(ExitCodeName(code)) << ", \"message\": " << JsonString(message) << "}}\n";
}

} // namespace beatclone::cli
