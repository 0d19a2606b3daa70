#include "framework/FCEntryPitchesCollection.h"

#include "framework/FCNoteEntry.h"
#include "framework/FCNoteEntryLayer.h"
#include "framework/AttackGroups.h"

FCEntryPitchesCollection::~FCEntryPitchesCollection() { ForgetItems(); }

void FCEntryPitchesCollection::CollectFrom(const FCNoteEntryLayer& layer) {
    // A group starts at one of the layer's entries at most: one growth, where growing in
    // steps of 100 would copy the slots over and over on a long layer.
    if (layer.GetCount() > 0) ReserveRoom(layer.GetCount());
    ForEachAttackGroupStart(layer, [this](FCNoteEntry* entry) { Add(entry); });
}

FCNoteEntry* FCEntryPitchesCollection::GetEntryAt(int32_t index) const {
    return static_cast<FCNoteEntry*>(GetItemAt(index));
}
