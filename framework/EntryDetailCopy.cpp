// Articulations and tuplets carried from source entries to the entries of a rebuilt layer,
// stored as host detail records under the rebuilt entries' numbers.
#include "framework/FCArticulations.h"
#include "framework/FCNoteEntry.h"
#include "framework/FCNoteEntryLayer.h"
#include "host/HostFunctions.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

// Which articulation ids `articulations` holds, looked up in constant time.
std::vector<bool> ArticulationIds(const FCArticulations& articulations) {
    std::vector<bool> ids(size_t{UINT16_MAX} + 1, false);
    for (int32_t i = 0; i < articulations.GetCount(); ++i) {
        const FCArticulation* item = articulations.GetArticulationAt(i);
        if (item != nullptr) ids[item->GetArticulationId()] = true;
    }
    return ids;
}

// The tuplet placements of one frame by (entry number, tuplet number): the first in array
// order of each, found in one pass over what the frame holds, so that a frame with many
// placements is not walked once per tuplet.
class TupletPlacements {
public:
    explicit TupletPlacements(const TgfFrame& frame) : frame_(&frame) {
        const int entryCount = EntryCountOf(frame);
        const int tupletCount = TupletCountOf(frame);
        for (int t = 0; t < tupletCount; ++t) {
            const FrameTupletRecord& placement = frame.tuplets[t];
            if (placement.entryIndex < 0 || placement.entryIndex >= entryCount || placement.tupletIndex < 0) continue;
            const uint64_t key = Key(frame.entries[placement.entryIndex].entryNumber, placement.tupletIndex);
            first_.emplace(key, &placement);
        }
    }
    const TgfFrame* Frame() const { return frame_; }
    // Null when the frame places no such tuplet.
    const FrameTupletRecord* Find(uint32_t entryNumber, int32_t tupletIndex) const {
        const auto it = first_.find(Key(entryNumber, tupletIndex));
        return it == first_.end() ? nullptr : it->second;
    }

private:
    static uint64_t Key(uint32_t entryNumber, int32_t tupletIndex) {
        return uint64_t{entryNumber} << 32 | static_cast<uint32_t>(tupletIndex);
    }
    const TgfFrame* frame_;
    std::unordered_map<uint64_t, const FrameTupletRecord*> first_;
};

// Stores the tuplets of `source` for `destination`, under sequence numbers 0, 1, ... up to
// the first tuplet number the source's frame lacks or the host refuses; answers how many were
// stored, and sets `refused` when the host refused one.
int32_t CopyEntryTuplets(const TupletPlacements& placements, const FCNoteEntry& source, const FCNoteEntry& destination,
                         bool& refused) {
    int32_t k = 0;
    while (const FrameTupletRecord* placement = placements.Find(source.GetEntryNumber(), k)) {
        // A 16-bit sequence number has no key for more.
        if (k >= kNoSequence) break;
        EDataKey key{destination.GetEntryNumber(), static_cast<uint16_t>(k)};
        if (fx::SaveEData(kTupletDetailTag, &key, placement->definition, sizeof placement->definition) == 0) {
            refused = true;
            break;
        }
        ++k;
    }
    return k;
}

} // namespace

int FCNoteEntry::CopyArticulationsFrom(FCNoteEntry* source) {
    if (source == nullptr || GetEntryNumber() == 0) return 0;
    FCArticulations sourceArticulations(source);
    sourceArticulations.LoadAll();
    return CopyArticulationsFrom(sourceArticulations);
}

int FCNoteEntry::CopyArticulationsFrom(FCArticulations& sourceArticulations) {
    if (GetEntryNumber() == 0) return 0;
    FCArticulations present(this);
    const int32_t presentCount = present.LoadAll();
    // Only what this entry had before the copy counts as a duplicate.
    const std::vector<bool> presentIds = ArticulationIds(present);

    int stored = 0;
    for (int32_t i = 0; i < sourceArticulations.GetCount(); ++i) {
        FCArticulation* articulation = sourceArticulations.GetArticulationAt(i);
        if (articulation == nullptr) continue;
        if (presentIds[articulation->GetArticulationId()]) continue;
        // A shifted sequence number beyond the last usable one has no key to go under.
        const int32_t sequence = articulation->GetSequence() + presentCount;
        if (sequence >= kNoSequence) continue;
        articulation->ConnectToEntry(this);
        articulation->SetSequence(static_cast<uint16_t>(sequence));
        // The flag goes only where a record was stored.
        if (!articulation->Save()) continue;
        articulation->SetEntryFlag(this, true);
        ++stored;
    }
    return stored;
}

bool FCNoteEntryLayer::CopyTupletsFrom(const FCNoteEntryLayer& source) {
    if (GetCount() != source.GetCount()) return false;
    bool refused = false;
    std::unique_ptr<TupletPlacements> placements;
    for (int32_t i = 0; i < GetCount(); ++i) {
        const FCNoteEntry* from = source.GetEntryAt(i);
        FCNoteEntry* to = GetEntryAt(i);
        if (from == nullptr || to == nullptr || (from->GetEntryFlags() & TupletFlag) == 0) continue;
        EntryRecord* record = to->GetRecord();
        // Details stored under number 0 would belong to no entry.
        if (record == nullptr) continue;
        int32_t stored = 0;
        if (record->entryNumber != 0 && from->GetFrame() != nullptr) {
            // Entries come frame by frame: each frame's placements are gathered once.
            if (placements == nullptr || placements->Frame() != from->GetFrame()) {
                placements = std::make_unique<TupletPlacements>(*from->GetFrame());
            }
            stored = CopyEntryTuplets(*placements, *from, *to, refused);
        }
        record->entryFlags = stored > 0 ? (record->entryFlags | TupletFlag) : (record->entryFlags & ~TupletFlag);
    }
    return !refused;
}
