#include "cli/command/ReportPrinter.h"

#include <algorithm>
#include <cstdio>

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

std::string JsonList(const std::vector<std::string>& items);

std::string Pad(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string text = "[";
    for (const std::string& item : items) text += (text.size() > 1 ? ", " : "") + JsonString(item);
    return text + "]";
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

} // namespace

void PrintTable(std::ostream& out, const RunSummary& run) {
    const TransferReport* t = run.transfer;
    if (t == nullptr) {
        if (!run.output.empty())
            out << "Round trip: " << run.input << " -> " << run.output << " (nothing transferred)\n";
        return;
    }
    out << "Source: " << t->sourceStaff << ", " << t->sourceMeasures << ", layer 1: " << t->sourceAttacks
        << " attacks\n";
    out << "Destination: " << t->destinationMeasures << (run.dryRun ? " (dry run: nothing is written)" : "") << "\n\n";
    size_t width = 5;
    for (const LayerOutcome& l : t->layers) width = std::max(width, l.staff.size());
    out << Pad("Staff", width + 2) << "Layer  Voice  Attacks  Result\n";
    for (const LayerOutcome& l : t->layers) {
        std::string result = ResultText(l, t->sourceAttacks);
        if (run.dryRun && l.result == LayerResult::Rebuilt) result = "would be rebuilt";
        out << Pad(l.staff, width + 2) << Pad(std::to_string(l.layer), 7) << Pad(l.voice.empty() ? "-" : l.voice, 7)
            << Pad(std::to_string(l.attacks), 9) << result;
        if (!l.dropped.empty()) out << " (dropped: " << DroppedText(l.dropped) << ")";
        if (l.restsFilled > 0)
            out << " (filled with " << l.restsFilled << " rest" << (l.restsFilled > 1 ? "s" : "") << ")";
        if (!l.tiesClosed.empty()) out << " (ties closed: " << JoinedText(l.tiesClosed) << ")";
        if (!l.tiesRemoved.empty()) out << " (ties removed: " << JoinedText(l.tiesRemoved) << ")";
        out << "\n";
        if (run.showViews && (!l.before.empty() || !l.after.empty())) {
            out << "    before: " << l.before << "\n";
            if (l.result == LayerResult::Rebuilt) out << "    after:  " << l.after << "\n";
        }
    }
    for (const std::string& w : t->warnings) out << "warning: " << w << "\n";
    if (!run.output.empty()) out << "\nWrote " << run.output << "\n";
}

void PrintQuiet(std::ostream& out, const RunSummary& run) {
    const TransferReport* t = run.transfer;
    if (t == nullptr) return;
    for (const LayerOutcome& l : t->layers)
        out << l.staff << '\t' << l.layer << '\t' << t->sourceAttacks << '\t' << l.attacks << '\t'
            << ResultWord(l.result) << '\t' << ReasonWord(l.result) << '\n';
}

void PrintJson(std::ostream& out, const RunSummary& run) {
    out << "{\n  \"input\": " << JsonString(run.input) << ",\n";
    out << "  \"output\": " << (run.output.empty() ? "null" : JsonString(run.output)) << ",\n";
    out << "  \"dryRun\": " << (run.dryRun ? "true" : "false");
    const TransferReport* t = run.transfer;
    if (t == nullptr) {
        out << ",\n  \"transfer\": null\n}\n";
        return;
    }
    out << ",\n  \"source\": {\"staff\": " << JsonString(t->sourceStaff)
        << ", \"measures\": " << JsonString(t->sourceMeasures) << ", \"attacks\": " << t->sourceAttacks << "},\n";
    out << "  \"destinationMeasures\": " << JsonString(t->destinationMeasures) << ",\n  \"layers\": [";
    for (size_t i = 0; i < t->layers.size(); ++i) {
        const LayerOutcome& l = t->layers[i];
        out << (i ? "," : "") << "\n    {\"staff\": " << JsonString(l.staff) << ", \"part\": " << JsonString(l.partId)
            << ", \"staffNumber\": " << l.staffNumber << ", \"layer\": " << l.layer
            << ", \"voice\": " << (l.voice.empty() ? "null" : JsonString(l.voice)) << ", \"attacks\": " << l.attacks
            << ", \"sourceAttacks\": " << t->sourceAttacks << ", \"result\": " << JsonString(ResultWord(l.result))
            << ", \"reason\": " << JsonString(ResultText(l, t->sourceAttacks)) << ", \"dropped\": {";
        size_t k = 0;
        for (const auto& [kind, count] : l.dropped) out << (k++ ? ", " : "") << JsonString(kind) << ": " << count;
        out << "}, \"restsFilled\": " << l.restsFilled << ", \"tiesClosed\": " << JsonList(l.tiesClosed)
            << ", \"tiesRemoved\": " << JsonList(l.tiesRemoved) << "}";
    }
    out << "\n  ],\n  \"strict\": " << (t->strict ? "true" : "false") << ",\n  \"warnings\": [";
    for (size_t i = 0; i < t->warnings.size(); ++i) out << (i ? ", " : "") << JsonString(t->warnings[i]);
    out << "]\n}\n";
}

} // namespace beatclone::cli
