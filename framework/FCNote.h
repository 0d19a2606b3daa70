// One note of an entry: a view of a NoteRecord inside its entry's record.
#pragma once

#include "framework/FCBase.h"
#include "host/HostRecords.h"

#include <cstddef>
#include <cstdint>

class FCNoteEntry;

class FCNote : public __FCBase {
public:
    FCNote(NoteRecord* record, int32_t index, FCNoteEntry* entry) : record_(record), index_(index), entry_(entry) {}

    const char* ClassName() const override;

    // Every entry of a layer makes its own.
    static void* operator new(size_t bytes);
    static void operator delete(void* block, size_t bytes);

    // Null once the entry's record is gone (a frame reloaded with fewer entries).
    NoteRecord* GetRecord() const { return record_; }
    int32_t GetIndex() const { return index_; }
    FCNoteEntry* GetEntry() const { return entry_; }

    void Rebind(NoteRecord* record) { record_ = record; }

private:
    NoteRecord* record_;
    int32_t index_;
    FCNoteEntry* entry_;
};
