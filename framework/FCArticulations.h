// Collections of host data records: the records of one kind, loaded into owned items.
#pragma once

#include "framework/FCArticulation.h"
#include "framework/FCBaseData.h"
#include "framework/FCCollection.h"
#include "framework/FCEntryDetail.h"

#include <cstdint>

class FCNoteEntry;

class __FCCollectionData : public __FCCollection {
public:
    const char* ClassName() const override;

    // A new, empty record object of the collection's kind, owned by the caller.
    virtual __FCBaseData* CreateElement() = 0;
    // Replaces the items by the records found in the host; answers their number.
    virtual int32_t LoadAll() = 0;
    // Saves every item in index order; false at the first refusal.
    virtual bool SaveAll();

    __FCBaseData* GetDataAt(int32_t index) const { return static_cast<__FCBaseData*>(GetItemAt(index)); }
};

// The details of one kind that belong to one note entry (borrowed).
class __FCCollectionEntryDetail : public __FCCollectionData {
public:
    explicit __FCCollectionEntryDetail(FCNoteEntry* entry) : entry_(entry) {}

    const char* ClassName() const override;

    __FCEntryDetail* CreateElement() override = 0;
    // The entry's details with sequence numbers 0, 1, 2, ... up to the first one missing.
    // 0 without an entry or for an entry numbered 0.
    int32_t LoadAll() override;
    // Stores every item as a new detail of the entry; nothing without a numbered entry.
    virtual void SaveAllNew();

    FCNoteEntry* GetEntry() const { return entry_; }
    __FCEntryDetail* GetDetailAt(int32_t index) const { return static_cast<__FCEntryDetail*>(GetItemAt(index)); }

private:
    FCNoteEntry* entry_;
};

class FCArticulations : public __FCCollectionEntryDetail {
public:
    explicit FCArticulations(FCNoteEntry* entry) : __FCCollectionEntryDetail(entry) {}

    const char* ClassName() const override;

    FCArticulation* CreateElement() override;

    FCArticulation* GetArticulationAt(int32_t index) const { return static_cast<FCArticulation*>(GetItemAt(index)); }
};
