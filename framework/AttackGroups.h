// Attack groups of a layer: the walk shared by counting them (FCNoteEntryLayer::
// CountAttackGroups) and gathering their first entries (FCEntryPitchesCollection).
// AttackGroups.cpp also defines FCNoteEntryLayer::ApplyPitches.
#pragma once

#include "framework/FCNoteEntry.h"
#include "framework/FCNoteEntryLayer.h"

#include <cstdint>

// A note entry ties forward when one of its notes does; a rest, or a note entry without
// notes, never does.
bool TiesForward(const FCNoteEntry& entry);

// Calls `visit` with the first entry of every attack group of `layer`, in layer order. A
// note entry starts a group unless the entry just before it is a note entry that ties
// forward; rests (and entries that lost their record) start none and break every tie.
template <typename Visit>
void ForEachAttackGroupStart(const FCNoteEntryLayer& layer, Visit visit) {
    bool tied = false;
    for (int32_t i = 0; i < layer.GetCount(); ++i) {
        FCNoteEntry* entry = layer.GetEntryAt(i);
        if (entry == nullptr || !entry->IsNote()) {
            tied = false;
            continue;
        }
        if (!tied) visit(entry);
        tied = TiesForward(*entry);
    }
}
