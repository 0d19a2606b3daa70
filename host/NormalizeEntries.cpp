#include "host/NormalizeEntries.h"

#include <cstdint>
#include <cstring>

namespace {

// The smallest positive identifier no note in use holds (12 notes leave one free). Taken once
// the 16-bit range above the largest identifier is spent: a wrap to a negative value could
// meet an identifier already given.
int16_t UnusedNoteId(const EntryRecord& entry, int notes) {
    for (int32_t id = 1;; ++id) {
        bool used = false;
        for (int k = 0; k < notes && !used; ++k) used = entry.notes[k].noteId == id;
        if (!used) return static_cast<int16_t>(id);
    }
}

} // namespace

void NormalizeEntry(EntryRecord& entry) {
    const int notes = NoteCountOf(entry);

    int16_t next = 0;
    for (int k = 0; k < notes; ++k) {
        if (entry.notes[k].noteId > next) next = entry.notes[k].noteId;
    }

    // A note gets a fresh identifier when it has none or shares one with another note of the
    // entry at that moment; of equal identifiers the last one keeps its value.
    for (int k = 0; k < notes; ++k) {
        NoteRecord& note = entry.notes[k];
        bool duplicate = false;
        for (int other = 0; other < notes && !duplicate; ++other) {
            duplicate = other != k && entry.notes[other].noteId == note.noteId;
        }
        if (note.noteId == 0 || duplicate) {
            if (next < INT16_MAX) {
                next = static_cast<int16_t>(next + 1);
                note.noteId = next;
            } else {
                note.noteId = UnusedNoteId(entry, notes);
            }
        }
    }

    for (int k = 0; k < notes; ++k) {
        NoteRecord& note = entry.notes[k];
        note.noteFlags = (note.noteFlags & ~NoteIdBitsMask) |
                         ((static_cast<uint32_t>(static_cast<uint16_t>(note.noteId)) & 0x1Fu) << 16);
    }

    // The notes not in use, cleared in one stretch.
    if (notes < kMaxNotesPerEntry) {
        std::memset(&entry.notes[notes], 0, static_cast<size_t>(kMaxNotesPerEntry - notes) * sizeof(NoteRecord));
    }

    if (notes == 0) {
        entry.noteCount = 1;
        entry.notes[0].noteFlags = PlaceholderNoteFlag;
        entry.entryFlags |= EmptyEntryFlag;
    }
}

void NormalizeEntries(TgfFrame& frame) {
    const int count = EntryCountOf(frame);
    for (int i = 0; i < count; ++i) NormalizeEntry(frame.entries[i]);
}
