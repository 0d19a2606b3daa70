#include "cli/command/LayerWriter.h"

#include "cli/CliError.h"
#include "cli/hostmap/HostLayerReader.h"
#include "cli/musicxml/MeasureRewriter.h"

#include <algorithm>
#include <set>

namespace beatclone::cli {
namespace {

// The voice a layer holds; a layer past the staff's voices gets the next free number.
std::string VoiceOfLayer(const Part& part, int staff, int16_t layer) {
    const std::vector<std::string>& voices = part.voicesByStaff[static_cast<size_t>(staff - 1)];
    if (static_cast<size_t>(layer) < voices.size()) return voices[static_cast<size_t>(layer)];
    int next = 1;
    for (const auto& staffVoices : part.voicesByStaff)
        for (const std::string& v : staffVoices) next = std::max(next, std::atoi(v.c_str()) + 1);
    return std::to_string(next + layer);
}

// The layer as the host holds it after the transfer; a time value too large to compute is
// refused with the place named.
std::vector<Event> ReadRebuilt(const simhost::Document& document, const HostStaff& staff, const Part& part, size_t m,
                               int16_t layer) {
    try {
        return ReadHostLayer(document, staff.instrument, HostMeasure(m), layer);
    } catch (const TimeOverflow& e) {
        throw CliError(ExitCode::BadInput,
                       "part " + part.id + ", measure " + part.measures[m].number + ": " + e.what());
    }
}

struct Work {
    size_t layerIndex; // into the caller's list
    RebuiltVoice voice;
};

} // namespace

std::vector<std::map<std::string, int>> WriteRebuiltLayers(MusicXmlScore& xml, const HostMapping& mapping,
                                                           const simhost::Document& document,
                                                           const std::vector<RebuiltLayer>& layers) {
    Score& score = xml.score;
    std::vector<std::map<std::string, int>> dropped(layers.size());
    std::vector<std::set<int>> openSlurs(layers.size());
    // (part, measure) -> the voices rebuilt there.
    std::map<std::pair<size_t, size_t>, std::vector<Work>> byMeasure;
    for (size_t i = 0; i < layers.size(); ++i) {
        const RebuiltLayer& l = layers[i];
        const HostStaff* staff = mapping.FindSlot(l.slot);
        if (staff == nullptr) continue;
        const Part& part = score.parts[staff->part];
        std::string voice = VoiceOfLayer(part, staff->staff, l.layer);
        for (size_t m = l.firstMeasure; m <= l.lastMeasure && m < part.measures.size(); ++m) {
            RebuiltVoice v{staff->staff, voice, ReadRebuilt(document, *staff, part, m, l.layer)};
            byMeasure[{staff->part, m}].push_back({i, std::move(v)});
        }
    }
    for (auto& [where, work] : byMeasure) {
        Part& part = score.parts[where.first];
        Measure& measure = part.measures[where.second];
        std::vector<RebuiltVoice> voices;
        for (Work& w : work) voices.push_back(std::move(w.voice));
        RewriteResult result = RewriteMeasure(part, measure, xml.MeasureNode(where.first, where.second), voices);
        for (size_t i = 0; i < work.size(); ++i) {
            size_t layer = work[i].layerIndex;
            for (const auto& [kind, count] : result.dropped[i]) dropped[layer][kind] += count;
            for (auto [starts, number] : result.slurEnds[i]) {
                if (starts) openSlurs[layer].insert(number);
                if (starts || openSlurs[layer].erase(number) == 0) ++dropped[layer]["slur"];
            }
        }
        if (result.divisionsChanged && where.second + 1 < part.measures.size())
            EnsureDivisionsAtStart(xml.MeasureNode(where.first, where.second + 1), result.divisionsForNext);
    }
    return dropped;
}

} // namespace beatclone::cli
