// The score loaded into the stand-in host: each staff of each part becomes one staff of the
// host document, and each voice of a staff one of its layers.
#pragma once

#include "cli/score/ScoreModel.h"
#include "simhost/SimHost.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace beatclone::cli {

struct HostStaff {
    size_t part = 0; // index into Score::parts
    int staff = 1;   // 1-based within the part
    int16_t slot = 0;
    int16_t instrument = 0;
};

struct HostMapping {
    std::vector<HostStaff> staves; // in slot order

    const HostStaff* Find(size_t part, int staff) const;
    const HostStaff* FindSlot(int16_t slot) const;
};

// The host's measure number for measure index `m` of the score (from 0).
inline int16_t HostMeasure(size_t m) { return static_cast<int16_t>(m + 1); }

// The entries of one voice in one measure as the host holds them, with gaps for the time the
// voice skips. Throws CliError(BadInput) when the voice overlaps itself.
std::vector<Event> WithGaps(const VoiceMeasure& voice, const std::string& where);
// The same, with the place named only when an error message needs it.
std::vector<Event> WithGaps(const VoiceMeasure& voice, const std::function<std::string()>& where);

// Fills `document` (empty) with the score: staves, measures, entries of every layer and
// their tuplet and articulation details. Every part has its staves, so that the staves keep
// their order and neighbours; a part not outlined (no selection names it) has one staff,
// without entries, and only measures read in detail have entries.
HostMapping LoadIntoHost(const Score& score, simhost::Document& document);

} // namespace beatclone::cli
