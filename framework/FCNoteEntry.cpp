#include "framework/FCNoteEntry.h"

#include "framework/BlockPool.h"

const char* FCNoteEntry::ClassName() const { return "FCNoteEntry"; }

void FCNoteEntry::BuildNotes() {
    ClearAll();
    if (record_ == nullptr) return;
    const int notes = NoteCountOf(*record_);
    for (int k = 0; k < notes; ++k) Add(new FCNote(&record_->notes[k], k, this));
}

void FCNoteEntry::Rebind(TgfFrame* frame, EntryRecord* record) {
    frame_ = frame;
    record_ = record;
    // Notes follow by position; a wrapper beyond the record's room points at nothing.
    for (int32_t k = 0; k < GetCount(); ++k) {
        FCNote* note = GetNoteAt(k);
        if (note == nullptr) continue;
        note->Rebind(record != nullptr && k < kMaxNotesPerEntry ? &record->notes[k] : nullptr);
    }
}

void* FCNoteEntry::operator new(size_t bytes) { return BlockPool<sizeof(FCNoteEntry)>::Take(bytes); }

void FCNoteEntry::operator delete(void* block, size_t bytes) { BlockPool<sizeof(FCNoteEntry)>::Give(block, bytes); }
