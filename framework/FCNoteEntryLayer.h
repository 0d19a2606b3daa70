// One layer of one staff over a range of measures. It borrows one host frame per measure,
// wraps every entry and note, and gives every frame back to the host exactly once.
#pragma once

#include "framework/FCCollection.h"
#include "framework/FCNoteEntry.h"
#include "host/HostRecords.h"

#include <cstdint>
#include <vector>

class FCEntryPitchesCollection;

class __FCNoteEntryCollection : public __FCCollection {};

class FCNoteEntryLayer : public __FCNoteEntryCollection {
public:
    // A layer index (0 = the user's layer 1), an instrument and a measure range. The first
    // measure is raised to 1; a last measure of -1 or beyond the current selection's end is
    // cut to that end. Loads nothing.
    FCNoteEntryLayer(int16_t layer, int16_t instrument, int16_t firstMeasure, int16_t lastMeasure);
    // Gives back every frame; unsaved changes are dropped.
    ~FCNoteEntryLayer() override;

    const char* ClassName() const override;

    // The same layer placed over exactly [firstMeasure, lastMeasure], whatever the current
    // selection is. Loads nothing.
    static FCNoteEntryLayer* CreateExact(int16_t layer, int16_t instrument, int16_t firstMeasure, int16_t lastMeasure);

    // False, changing nothing, for a position that is not a range of real measures; false,
    // emptied, when a required frame is missing.
    bool Load();
    // Copies the entries of this position into the frames of the destination; afterwards the
    // layer stands for the destination. False, emptied and unmoved, when a frame is missing.
    bool CloneTo(int16_t dstLayer, int16_t dstInstrument, int16_t dstFirstMeasure);
    // Saves every frame not inhibited; reloads frames that held unnumbered entries. False
    // without frames, when any save failed, or when an entry is left without a number. A
    // frame the host refused is not reloaded or offered again, and its wrappers are bound to
    // nothing, so no detail reaches the entries the score still holds.
    bool Save();

    int16_t GetLayer() const { return layer_; }
    int16_t GetInstrument() const { return instrument_; }
    int16_t GetFirstMeasure() const { return firstMeasure_; }
    int16_t GetLastMeasure() const { return lastMeasure_; }
    bool GetVisibleOnly() const { return visibleOnly_; }
    void SetVisibleOnly(bool on) { visibleOnly_ = on; }
    bool GetFrameRequired() const { return frameRequired_; }
    int32_t GetFrameCount() const { return frameCount_; }
    // The frame of the layer's i-th measure (0 = the first), or null when skipped or out of
    // range.
    TgfFrame* GetFrameAt(int32_t i) const;
    FCNoteEntry* GetEntryAt(int32_t index) const { return static_cast<FCNoteEntry*>(GetItemAt(index)); }

    // Attack groups: a note entry with the entries its ties carry it into.
    int CountAttackGroups() const;
    // Gives every entry of the i-th attack group the notes of the i-th gathered entry, with
    // ties set from this layer's rhythm. Groups beyond the collection are left as they are.
    void ApplyPitches(const FCEntryPitchesCollection& pitches);
    // Stores the tuplets of each source entry for the entry at the same index here; an entry
    // is flagged only when one was stored. False when the entry counts differ or the host
    // refused a record.
    bool CopyTupletsFrom(const FCNoteEntryLayer& source);

private:
    struct ExactRange {};
    FCNoteEntryLayer(ExactRange, int16_t layer, int16_t instrument, int16_t firstMeasure, int16_t lastMeasure);

    // Makes room for the position's frames, all empty: one per measure, n from firstMeasure on.
    void AllocateFrames(int32_t n);
    void BuildEntries();
    // False when the host did not leave exactly the source's number of entries.
    static bool CopyFrameEntries(const TgfFrame& source, TgfFrame& destination);
    // Loads the frame of the layer's measure `measureIndex` (0 = the first) afresh, moves its
    // wrappers onto it and gives the old one back. Answers the frame held there afterwards.
    TgfFrame* ReloadFrame(int32_t measureIndex);
    // Reloads that measure's frame after its save; whether every wrapper of it now has a
    // numbered entry.
    bool Renumbered(int32_t measureIndex);
    // Binds the wrappers built from that measure's frame to nothing.
    void ReleaseMeasure(int32_t measureIndex);
    void FreeFrames();

    int16_t layer_;
    int16_t instrument_;
    int16_t firstMeasure_;
    int16_t lastMeasure_;
    bool frameRequired_ = true;
    bool visibleOnly_ = true;
    int32_t frameCount_ = 0;
    TgfFrame** frames_ = nullptr;
    // The items built from the i-th measure's frame are [frameFirstItem_[i], frameFirstItem_[i + 1]).
    std::vector<int32_t> frameFirstItem_;
    // Slots whose frame the host refused to save.
    std::vector<bool> refused_;
};
