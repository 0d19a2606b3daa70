#include "framework/FCNoteEntryLayer.h"

#include "framework/FCMusicRegion.h"
#include "host/HostFunctions.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Highest measure number a 16-bit field can name.
constexpr int32_t kLastPossibleMeasure = INT16_MAX;

// Index of `record` in the frame's entry array, or -1 when it is not one of its entries.
// Compared as addresses, so a record from another array is never taken for one of these.
int32_t IndexOfRecord(const TgfFrame& frame, const EntryRecord* record) {
    const int count = EntryCountOf(frame);
    if (record == nullptr || count == 0) return -1;
    const auto first = reinterpret_cast<uintptr_t>(frame.entries);
    const auto address = reinterpret_cast<uintptr_t>(record);
    if (address < first) return -1;
    const uintptr_t offset = address - first;
    if (offset % sizeof(EntryRecord) != 0) return -1;
    const uintptr_t index = offset / sizeof(EntryRecord);
    return index < static_cast<uintptr_t>(count) ? static_cast<int32_t>(index) : -1;
}

bool HoldsUnnumberedEntry(const TgfFrame& frame) {
    const int count = EntryCountOf(frame);
    for (int j = 0; j < count; ++j) {
        if (frame.entries[j].entryNumber == 0) return true;
    }
    return false;
}

} // namespace

FCNoteEntryLayer::FCNoteEntryLayer(ExactRange, int16_t layer, int16_t instrument, int16_t firstMeasure,
                                   int16_t lastMeasure)
    : layer_(layer),
      instrument_(instrument),
      firstMeasure_(firstMeasure < 1 ? int16_t{1} : firstMeasure),
      lastMeasure_(lastMeasure) {}

FCNoteEntryLayer::FCNoteEntryLayer(int16_t layer, int16_t instrument, int16_t firstMeasure, int16_t lastMeasure)
    : FCNoteEntryLayer(ExactRange{}, layer, instrument, firstMeasure, lastMeasure) {
    // The layer never reaches beyond the selection that is current now.
    FCMusicRegion selection;
    selection.SetCurrentSelection();
    const int32_t end = selection.GetEndMeasure();
    if (lastMeasure_ == -1 || lastMeasure_ > end) lastMeasure_ = static_cast<int16_t>(end);
}

FCNoteEntryLayer* FCNoteEntryLayer::CreateExact(int16_t layer, int16_t instrument, int16_t firstMeasure,
                                                int16_t lastMeasure) {
    return new FCNoteEntryLayer(ExactRange{}, layer, instrument, firstMeasure, lastMeasure);
}

FCNoteEntryLayer::~FCNoteEntryLayer() { FreeFrames(); }

const char* FCNoteEntryLayer::ClassName() const { return "FCNoteEntryLayer"; }

TgfFrame* FCNoteEntryLayer::GetFrameAt(int32_t i) const {
    if (frames_ == nullptr || i < 0 || i >= frameCount_) return nullptr;
    return frames_[i];
}

void FCNoteEntryLayer::AllocateFrames(int32_t n) {
    frames_ = new TgfFrame*[n]();
    frameCount_ = n;
}

bool FCNoteEntryLayer::Load() {
    if (lastMeasure_ < 1 || instrument_ < 1 || firstMeasure_ < 1) return false;
    const int32_t n = int32_t{lastMeasure_} - firstMeasure_ + 1;
    if (n < 1) return false;

    FreeFrames();
    AllocateFrames(n);
    for (int32_t i = 0; i < n; ++i) {
        const auto measure = static_cast<int16_t>(firstMeasure_ + i);
        const bool shown = fx::GetShowLayer(layer_) != 0;
        if (visibleOnly_ && !shown) continue;
        frames_[i] =
            fx::LoadTGF(0, fx::InstToSlot(instrument_), measure, layer_, frameRequired_ ? int16_t{1} : int16_t{0});
        if (frameRequired_ && frames_[i] == nullptr) {
            FreeFrames();
            return false;
        }
    }
    BuildEntries();
    return true;
}

void FCNoteEntryLayer::BuildEntries() {
    frameFirstItem_.assign(static_cast<size_t>(frameCount_) + 1, GetCount());
    // One growth for the whole layer rather than one every few entries.
    int32_t total = 0;
    for (int32_t i = 0; i < frameCount_; ++i) {
        if (frames_[i] != nullptr) total += EntryCountOf(*frames_[i]);
    }
    if (total > 0) ReserveRoom(total);
    FCNoteEntry* previous = nullptr;
    for (int32_t i = 0; i < frameCount_; ++i) {
        frameFirstItem_[i] = GetCount();
        TgfFrame* frame = frames_[i];
        if (frame == nullptr) continue;
        const int count = EntryCountOf(*frame);
        for (int j = 0; j < count; ++j) {
            auto* entry = new FCNoteEntry(&frame->entries[j], frame);
            entry->BuildNotes();
            if (previous != nullptr) previous->SetNext(entry);
            Add(entry);
            previous = entry;
        }
    }
    frameFirstItem_[frameCount_] = GetCount();
}

bool FCNoteEntryLayer::CloneTo(int16_t dstLayer, int16_t dstInstrument, int16_t dstFirstMeasure) {
    FreeFrames();
    const int32_t n = int32_t{lastMeasure_} - firstMeasure_ + 1;
    if (n < 1) return false;
    // The destination must be a range of real measures that a 16-bit number can reach.
    const int32_t dstLast = int32_t{dstFirstMeasure} + n - 1;
    if (dstFirstMeasure < 1 || dstLast > kLastPossibleMeasure) return false;

    AllocateFrames(n);
    for (int32_t i = 0; i < n; ++i) {
        const bool shown = fx::GetShowLayer(layer_) != 0;
        if (visibleOnly_ && !shown) continue;

        frames_[i] =
            fx::LoadTGF(0, fx::InstToSlot(dstInstrument), static_cast<int16_t>(dstFirstMeasure + i), dstLayer, 0);
        if (frames_[i] == nullptr) {
            FreeFrames();
            return false;
        }
        // Read afresh: this layer's own frames are already given back.
        TgfFrame* source =
            fx::LoadTGF(0, fx::InstToSlot(instrument_), static_cast<int16_t>(firstMeasure_ + i), layer_, 0);
        if (source == nullptr) {
            // Half a clone is worse than none: drop the destination frames unsaved.
            FreeFrames();
            return false;
        }
        const bool copied = CopyFrameEntries(*source, *frames_[i]);
        fx::FreeTGF(source);
        if (!copied) {
            FreeFrames();
            return false;
        }
    }

    instrument_ = dstInstrument;
    firstMeasure_ = dstFirstMeasure;
    lastMeasure_ = static_cast<int16_t>(dstLast);
    layer_ = dstLayer;
    BuildEntries();
    return true;
}

bool FCNoteEntryLayer::CopyFrameEntries(const TgfFrame& source, TgfFrame& destination) {
    fx::DeleteEXENTRY(&destination, 0, static_cast<int16_t>(EntryCountOf(destination)));
    // Old entries left beside the new ones would be saved with them.
    if (EntryCountOf(destination) != 0) return false;
    const int wanted = EntryCountOf(source);
    fx::InsertEXENTRY(&destination, 0, static_cast<int16_t>(wanted));
    // Fewer or more entries than the source has would not be the source's rhythm.
    if (EntryCountOf(destination) != wanted) return false;

    const int count = wanted;
    for (int i = 0; i < count; ++i) {
        // The insert may have moved the array: take the address from the frame each time.
        EntryRecord& entry = destination.entries[i];
        const uint32_t entryNumber = entry.entryNumber;
        std::memcpy(&entry, &source.entries[i], sizeof(EntryRecord));
        entry.entryFlags &= ~CloneClearMask;
        entry.entryFlags2 &= static_cast<uint16_t>(~CloneClearFlags2);
        entry.entryNumber = entryNumber;
    }
    return true;
}

bool FCNoteEntryLayer::Save() {
    if (frames_ == nullptr) return false;
    refused_.resize(static_cast<size_t>(frameCount_), false);
    bool result = true;
    for (int32_t i = 0; i < frameCount_; ++i) {
        TgfFrame* frame = frames_[i];
        if (frame == nullptr || frame->saveInhibit != 0) continue;
        // A frame the host refused once keeps what the score held: it is not offered again.
        if (refused_[i]) {
            result = false;
            continue;
        }
        const bool unnumbered = HoldsUnnumberedEntry(*frame);
        if (fx::SaveTGF(frame) == 0) {
            // A reload would bring the old entries under this layer's wrappers, and details
            // meant for the new ones would land on them: the wrappers are let go instead.
            refused_[i] = true;
            ReleaseMeasure(i);
            result = false;
            continue;
        }
        // The host numbers new entries as it saves; the fresh frame shows the numbers. Entries
        // still unnumbered or gone afterwards cannot take details.
        if (unnumbered && !Renumbered(i)) result = false;
    }
    return result;
}

bool FCNoteEntryLayer::Renumbered(int32_t measureIndex) {
    TgfFrame* frame = ReloadFrame(measureIndex);
    if (frame == nullptr || HoldsUnnumberedEntry(*frame)) return false;
    if (static_cast<size_t>(measureIndex) + 1 >= frameFirstItem_.size()) return true;
    for (int32_t item = frameFirstItem_[measureIndex]; item < frameFirstItem_[measureIndex + 1]; ++item) {
        const FCNoteEntry* entry = GetEntryAt(item);
        if (entry == nullptr || entry->GetRecord() == nullptr) return false;
    }
    return true;
}

void FCNoteEntryLayer::ReleaseMeasure(int32_t measureIndex) {
    if (static_cast<size_t>(measureIndex) + 1 >= frameFirstItem_.size()) return;
    for (int32_t item = frameFirstItem_[measureIndex]; item < frameFirstItem_[measureIndex + 1]; ++item) {
        FCNoteEntry* entry = GetEntryAt(item);
        if (entry != nullptr) entry->Rebind(nullptr, nullptr);
    }
}

TgfFrame* FCNoteEntryLayer::ReloadFrame(int32_t measureIndex) {
    TgfFrame* old = frames_[measureIndex];
    if (old == nullptr || static_cast<size_t>(measureIndex) + 1 >= frameFirstItem_.size()) return old;
    TgfFrame* fresh =
        fx::LoadTGF(static_cast<int16_t>(old->slotList), static_cast<int16_t>(old->slot), old->measure, old->layer, 0);
    // Without a fresh frame the old one and its wrappers stay; it is given back later.
    if (fresh == nullptr) return old;

    const int freshCount = EntryCountOf(*fresh);
    for (int32_t item = frameFirstItem_[measureIndex]; item < frameFirstItem_[measureIndex + 1]; ++item) {
        FCNoteEntry* entry = GetEntryAt(item);
        if (entry == nullptr || entry->GetFrame() != old) continue;
        const int32_t j = IndexOfRecord(*old, entry->GetRecord());
        // An entry the fresh frame no longer has is bound to nothing rather than left
        // pointing into a frame that is given back.
        if (j >= 0 && j < freshCount) {
            entry->Rebind(fresh, &fresh->entries[j]);
        } else {
            entry->Rebind(nullptr, nullptr);
        }
    }
    fx::FreeTGF(old);
    frames_[measureIndex] = fresh;
    return fresh;
}

void FCNoteEntryLayer::FreeFrames() {
    ClearAll();
    if (frames_ != nullptr) {
        for (int32_t i = 0; i < frameCount_; ++i) {
            if (frames_[i] == nullptr) continue;
            fx::FreeTGF(frames_[i]);
            frames_[i] = nullptr;
        }
        delete[] frames_;
    }
    frames_ = nullptr;
    frameCount_ = 0;
    frameFirstItem_.clear();
    refused_.clear();
}
