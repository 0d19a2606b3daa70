// The first entry of every attack group of a destination layer, gathered before the layer is
// rebuilt. It borrows its items: the layer owns them, so the collection forgets them before
// it is destroyed.
#pragma once

#include "framework/FCCollection.h"

class FCNoteEntry;
class FCNoteEntryLayer;

class FCEntryPitchesCollection : public __FCCollection {
public:
    // Forgets the borrowed items; deletes nothing but the slot array.
    ~FCEntryPitchesCollection() override;

    // Appends the first entry of every attack group of `layer`, in order.
    void CollectFrom(const FCNoteEntryLayer& layer);
    // Empties the collection without deleting its items.
    void Forget() { ForgetItems(); }
    FCNoteEntry* GetEntryAt(int32_t index) const;
};
