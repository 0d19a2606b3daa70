// A host record that belongs to one note entry: keyed by the entry's number and by a
// sequence number, the detail's place among the details of its kind on that entry.
#pragma once

#include "framework/FCBaseData.h"

#include <cstdint>

class FCNoteEntry;

class __FCEntryDetail : public __FCBaseData {
public:
    const char* ClassName() const override;

    __FCEntryDetail* CreateObject() const override = 0;
    // Loads the record under the current key again; false without a record (no host call).
    bool Reload() override;
    // The detail with sequence number 0 of the bound entry; false without an entry.
    bool LoadFirst() override;
    // The detail with the next sequence number; on failure the key stays where it was.
    bool LoadNext() override;

    // Sets the key to (entryNumber, sequence) and loads.
    virtual bool LoadDetail(uint32_t entryNumber, uint16_t sequence);
    // Binds the detail to `entry` and takes its entry number as the key's number; the sequence
    // number stays. Null unbinds and leaves the key alone.
    virtual void ConnectToEntry(FCNoteEntry* entry);
    // Creates the record in the host under a sequence number the host chooses, then learns
    // that number. False without an entry, without a record, or when the host refuses.
    virtual bool SaveNew();
    // Sets or clears this kind of detail's flag in the entry's record.
    virtual void SetEntryFlag(FCNoteEntry* entry, bool on) = 0;

    FCNoteEntry* GetEntry() const { return entry_; }
    uint16_t GetSequence() const { return GetKey().sequence; }
    void SetSequence(uint16_t sequence) { Key().sequence = sequence; }

private:
    // The sequence number of the bound entry's last stored detail, found by walking from 0;
    // kNoSequence when the walk cannot start.
    uint16_t FindLastSequence() const;

    FCNoteEntry* entry_ = nullptr;
};
