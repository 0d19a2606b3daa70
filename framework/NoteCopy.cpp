#include "framework/FCNote.h"
#include "framework/FCNoteEntry.h"

#include <cstring>

void FCNoteEntry::CopyNotesFrom(const FCNoteEntry& other) {
    EntryRecord* record = GetRecord();
    const EntryRecord* from = other.GetRecord();
    if (record == nullptr || from == nullptr) return;

    // A count the other record cannot hold is read as the notes it does hold.
    const int16_t count = static_cast<int16_t>(NoteCountOf(*from));
    if (record != from) {
        std::memcpy(record->notes, from->notes, sizeof(NoteRecord) * static_cast<size_t>(count));
    }
    record->noteCount = count;

    ClearAll();
    for (int32_t k = 0; k < count; ++k) Add(new FCNote(&record->notes[k], k, this));
}
