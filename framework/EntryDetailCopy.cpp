// Articulations and tuplets carried from source entries to the entries of a rebuilt layer,
// stored as host detail records under the rebuilt entries' numbers.
#include "framework/FCArticulations.h"
#include "framework/FCNoteEntry.h"
#include "framework/FCNoteEntryLayer.h"
#include "host/HostFunctions.h"

#include <cstdint>

namespace {

bool HasArticulation(const FCArticulations& articulations, uint16_t id) {
    for (int32_t i = 0; i < articulations.GetCount(); ++i) {
        const FCArticulation* item = articulations.GetArticulationAt(i);
        if (item != nullptr && item->GetArticulationId() == id) return true;
    }
    return false;
}

// The first placement in `frame` of tuplet number `tupletIndex` on the entry numbered
// `entryNumber`, or null. Only placements and entries the frame really holds are looked at.
const FrameTupletRecord* FindTuplet(const TgfFrame& frame, uint32_t entryNumber,
                                    int32_t tupletIndex) {
    const int entryCount = EntryCountOf(frame);
    const int tupletCount = TupletCountOf(frame);
    for (int t = 0; t < tupletCount; ++t) {
        const FrameTupletRecord& placement = frame.tuplets[t];
        if (placement.tupletIndex != tupletIndex) continue;
        if (placement.entryIndex < 0 || placement.entryIndex >= entryCount) continue;
        if (frame.entries[placement.entryIndex].entryNumber == entryNumber) return &placement;
    }
    return nullptr;
}

// Stores the tuplets of `source` for `destination`, under sequence numbers 0, 1, ... up to
// the first tuplet number the source's frame lacks; answers how many saves it made. A save
// the host refuses is not told apart (such failures go unreported).
int32_t CopyEntryTuplets(const FCNoteEntry& source, const FCNoteEntry& destination) {
    const TgfFrame* frame = source.GetFrame();
    if (frame == nullptr) return 0;
    int32_t k = 0;
    while (const FrameTupletRecord* placement = FindTuplet(*frame, source.GetEntryNumber(), k)) {
        EDataKey key{destination.GetEntryNumber(), static_cast<uint16_t>(k)};
        fx::SaveEData(kTupletDetailTag, &key, placement->definition, sizeof placement->definition);
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

    int taken = 0;
    for (int32_t i = 0; i < sourceArticulations.GetCount(); ++i) {
        FCArticulation* articulation = sourceArticulations.GetArticulationAt(i);
        if (articulation == nullptr) continue;
        // Only what this entry had before the copy counts as a duplicate.
        if (HasArticulation(present, articulation->GetArticulationId())) continue;
        // A shifted sequence number beyond the last usable one has no key to go under.
        const int32_t sequence = articulation->GetSequence() + presentCount;
        if (sequence >= kNoSequence) continue;
        articulation->ConnectToEntry(this);
        articulation->SetSequence(static_cast<uint16_t>(sequence));
        if (articulation->Save()) articulation->SetEntryFlag(this, true);
        ++taken;
    }
    if (taken > 0 && GetRecord() != nullptr) GetRecord()->entryFlags |= ArticulationFlag;
    return taken;
}

bool FCNoteEntryLayer::CopyTupletsFrom(const FCNoteEntryLayer& source) {
    if (GetCount() != source.GetCount()) return false;
    for (int32_t i = 0; i < GetCount(); ++i) {
        const FCNoteEntry* from = source.GetEntryAt(i);
        FCNoteEntry* to = GetEntryAt(i);
        if (from == nullptr || to == nullptr || (from->GetEntryFlags() & TupletFlag) == 0) continue;
        EntryRecord* record = to->GetRecord();
        // Details stored under number 0 would belong to no entry.
        if (record == nullptr) continue;
        const int32_t stored = record->entryNumber == 0 ? 0 : CopyEntryTuplets(*from, *to);
        record->entryFlags = stored > 0 ? (record->entryFlags | TupletFlag)
                                        : (record->entryFlags & ~TupletFlag);
    }
    return true;
}
