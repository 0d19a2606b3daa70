#include "cli/command/ScoreListing.h"

#include "cli/command/JsonText.h"
#include "cli/command/Words.h"

#include <map>

namespace beatclone::cli {
namespace {

struct MeasureInfo {
    std::string number; // as printed
    std::string text;   // as a selection names it: "5", "5#2"
    size_t occurrence = 1;
    bool pickup = false;
    bool duplicate = false;
    bool numeric = true;
};

std::vector<MeasureInfo> Measures(const MusicXmlScore& xml) {
    std::vector<MeasureInfo> out;
    if (xml.score.parts.empty()) return out;
    const Part& part = xml.score.parts.front();
    std::map<std::string, size_t> seen, total;
    for (const Measure& m : part.measures) ++total[m.number];
    for (size_t i = 0; i < part.measures.size(); ++i) {
        MeasureInfo info;
        info.number = part.measures[i].number;
        info.occurrence = ++seen[info.number];
        info.duplicate = total[info.number] > 1;
        info.text = info.duplicate ? info.number + "#" + std::to_string(info.occurrence) : info.number;
        info.numeric = JsonMeasureNumber(info.number) != "null";
        std::string_view implicit = xml.MeasureNode(0, i).attribute("implicit").as_string();
        info.pickup = implicit == "yes" || (i == 0 && info.number == "0");
        out.push_back(std::move(info));
    }
    return out;
}

// Whether `b` carries on a run that `a` ends: the next number, the same time printed, nothing flagged.
bool Continues(const MeasureInfo& a, const MeasureInfo& b) {
    return a.numeric && b.numeric && !a.pickup && !b.pickup && a.occurrence == b.occurrence &&
           std::stol(b.number) == std::stol(a.number) + 1;
}

std::string MeasureRuns(const std::vector<MeasureInfo>& measures) {
    std::string out;
    for (size_t i = 0; i < measures.size();) {
        size_t j = i;
        while (j + 1 < measures.size() && Continues(measures[j], measures[j + 1])) ++j;
        out += out.empty() ? "" : ", ";
        out += measures[i].text;
        if (j > i) out += "-" + measures[j].text;
        const char* pickup = measures[i].pickup ? "pickup" : "";
        const char* numeric = measures[i].numeric ? "" : "not a number";
        if (*pickup || *numeric) out += std::string(" (") + pickup + (*pickup && *numeric ? ", " : "") + numeric + ")";
        i = j + 1;
    }
    return out;
}

std::string VoiceLayers(const std::vector<std::string>& voices) {
    if (voices.empty()) return "no notes";
    std::string out = voices.size() == 1 ? "voice " : "voices ";
    for (size_t j = 0; j < voices.size(); ++j) out += (j ? ", " : "") + voices[j] + " = layer " + std::to_string(j + 1);
    return out;
}

} // namespace

void PrintListing(std::ostream& out, const MusicXmlScore& xml, const std::string& input) {
    const Score& score = xml.score;
    out << input << ": " << Counted(static_cast<long long>(score.parts.size()), "part") << "\n\n";
    for (const Part& p : score.parts) {
        out << "  " << p.id << "  " << (p.name.empty() ? "(no name)" : "\"" + p.name + "\"");
        if (!p.abbreviation.empty()) out << "  abbreviated \"" << p.abbreviation << "\"";
        out << "  " << Counted(p.staffCount, "staff", "staves") << "\n";
        for (int s = 1; s <= p.staffCount; ++s)
            out << "      " << p.StaffLabel(s) << ": " << VoiceLayers(p.voicesByStaff[static_cast<size_t>(s - 1)])
                << "\n";
    }
    std::vector<MeasureInfo> measures = Measures(xml);
    out << "\n" << Counted(static_cast<long long>(measures.size()), "measure") << ": " << MeasureRuns(measures) << "\n";
    for (const MeasureInfo& m : measures)
        if (m.duplicate) {
            out << "Numbers printed more than once are named with #K: \"" << m.number << "#2\" is the second "
                << "measure printed " << m.number << ".\n";
            break;
        }
}

void PrintListingJson(std::ostream& out, const MusicXmlScore& xml, const std::string& input) {
    const Score& score = xml.score;
    out << "{\n  \"schemaVersion\": " << kJsonSchemaVersion << ",\n  \"input\": " << JsonString(input)
        << ",\n  \"parts\": [";
    for (size_t i = 0; i < score.parts.size(); ++i) {
        const Part& p = score.parts[i];
        out << (i ? "," : "") << "\n    {\"id\": " << JsonString(p.id) << ", \"name\": " << JsonString(p.name)
            << ", \"abbreviation\": " << JsonString(p.abbreviation) << ", \"staves\": [";
        for (int s = 1; s <= p.staffCount; ++s) {
            const std::vector<std::string>& voices = p.voicesByStaff[static_cast<size_t>(s - 1)];
            out << (s > 1 ? ", " : "") << "{\"staff\": " << s << ", \"label\": " << JsonString(p.StaffLabel(s))
                << ", \"voices\": [";
            for (size_t j = 0; j < voices.size(); ++j)
                out << (j ? ", " : "") << "{\"voice\": " << JsonString(voices[j]) << ", \"layer\": " << j + 1 << "}";
            out << "]}";
        }
        out << "]}";
    }
    out << "\n  ],\n  \"measures\": [";
    std::vector<MeasureInfo> measures = Measures(xml);
    for (size_t i = 0; i < measures.size(); ++i) {
        const MeasureInfo& m = measures[i];
        out << (i ? "," : "") << "\n    {\"index\": " << i + 1 << ", \"number\": " << JsonMeasureNumber(m.number)
            << ", \"printed\": " << JsonString(m.number) << ", \"selection\": " << JsonString(m.text)
            << ", \"pickup\": " << (m.pickup ? "true" : "false")
            << ", \"duplicate\": " << (m.duplicate ? "true" : "false") << "}";
    }
    out << "\n  ]\n}\n";
}

} // namespace beatclone::cli
