#include "framework/FCEntryPitchesCollection.h"

#include "framework/FCNoteEntry.h"
#include "framework/FCNoteEntryLayer.h"
#include "framework/AttackGroups.h"

FCEntryPitchesCollection::~FCEntryPitchesCollection() { ForgetItems(); }

void FCEntryPitchesCollection::CollectFrom(const FCNoteEntryLayer& layer) {
    ForEachAttackGroupStart(layer, [this](FCNoteEntry* entry) { Add(entry); });
}

FCNoteEntry* FCEntryPitchesCollection::GetEntryAt(int32_t index) const {
    return static_cast<FCNoteEntry*>(GetItemAt(index));
}
