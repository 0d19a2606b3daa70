#include "framework/AttackGroups.h"

#include "framework/FCEntryPitchesCollection.h"

bool TiesForward(const FCNoteEntry& entry) {
    if (!entry.IsNote()) return false;
    for (int32_t k = 0; k < entry.GetCount(); ++k) {
        const FCNote* note = entry.GetNoteAt(k);
        if (note != nullptr && note->GetRecord() != nullptr && (note->GetRecord()->noteFlags & TieForwardFlag) != 0) {
            return true;
        }
    }
    return false;
}

int FCNoteEntryLayer::CountAttackGroups() const {
    int count = 0;
    ForEachAttackGroupStart(*this, [&count](FCNoteEntry*) { ++count; });
    return count;
}

namespace {

void SetTies(FCNoteEntry& entry, bool tied) {
    for (int32_t k = 0; k < entry.GetCount(); ++k) {
        FCNote* note = entry.GetNoteAt(k);
        NoteRecord* record = note == nullptr ? nullptr : note->GetRecord();
        if (record == nullptr) continue;
        record->noteFlags = tied ? (record->noteFlags | TieForwardFlag) : (record->noteFlags & ~TieForwardFlag);
    }
}

} // namespace

void FCNoteEntryLayer::ApplyPitches(const FCEntryPitchesCollection& pitches) {
    FCNoteEntry* entry = GetEntryAt(0);
    // The walk follows the entries' links; it never takes more steps than the layer has
    // entries, whatever the links say.
    int32_t steps = GetCount();
    for (int32_t group = 0; entry != nullptr && group < pitches.GetCount(); ++group) {
        const FCNoteEntry* source = pitches.GetEntryAt(group);
        while (entry != nullptr && !entry->IsNote()) {
            entry = --steps > 0 ? entry->GetNext() : nullptr;
        }
        // Every member of the group: the struck entry and each entry its ties carry it into,
        // a rest included (which ends the group, as a rest never ties forward).
        bool tied = true;
        while (entry != nullptr && tied) {
            tied = TiesForward(*entry);
            if (source != nullptr) {
                entry->CopyNotesFrom(*source);
                if (entry->IsNote()) SetTies(*entry, tied);
            }
            entry = --steps > 0 ? entry->GetNext() : nullptr;
        }
    }
}
