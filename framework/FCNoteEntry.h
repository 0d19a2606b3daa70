// One entry of a layer: a view of an EntryRecord inside a host frame, with its notes as
// FCNote items (owned) and a link to the entry that follows it in the layer.
#pragma once

#include "framework/FCCollection.h"
#include "framework/FCNote.h"
#include "host/HostRecords.h"

#include <cstddef>
#include <cstdint>

class FCArticulations;

class FCNoteEntry : public __FCCollection {
public:
    FCNoteEntry(EntryRecord* record, TgfFrame* frame) : record_(record), frame_(frame) {}

    const char* ClassName() const override;

    // A layer makes and drops thousands at a time.
    static void* operator new(size_t bytes);
    static void operator delete(void* block, size_t bytes);

    // 0 when the entry has no record.
    uint32_t GetEntryNumber() const { return record_ == nullptr ? 0 : record_->entryNumber; }
    // Null when the record is gone; every user checks.
    EntryRecord* GetRecord() const { return record_; }
    TgfFrame* GetFrame() const { return frame_; }
    FCNoteEntry* GetNext() const { return next_; }
    void SetNext(FCNoteEntry* next) { next_ = next; }
    FCNote* GetNoteAt(int32_t index) const { return static_cast<FCNote*>(GetItemAt(index)); }

    // 0 for an entry without a record.
    uint32_t GetEntryFlags() const { return record_ == nullptr ? 0 : record_->entryFlags; }
    bool IsNote() const { return (GetEntryFlags() & NoteEntryFlag) != 0; }

    // Makes one FCNote per note in use of the record (noteCount clamped to 12).
    void BuildNotes();
    // Points the entry and its notes, by position, at another record (null: at nothing).
    void Rebind(TgfFrame* frame, EntryRecord* record);

    // Replaces this entry's note set with a copy of `other`'s (at most 12 notes).
    void CopyNotesFrom(const FCNoteEntry& other);
    // Attaches the source entry's articulations that this entry lacks; answers how many the
    // host stored (ArticulationFlag is set only then).
    int CopyArticulationsFrom(FCNoteEntry* source);
    // The same with the source's articulations already loaded (they are rekeyed in place).
    int CopyArticulationsFrom(FCArticulations& sourceArticulations);

private:
    EntryRecord* record_;
    TgfFrame* frame_;
    FCNoteEntry* next_ = nullptr;
};
