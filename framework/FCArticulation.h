// One articulation of a note entry: the host's 12-byte articulation detail record, kept in a
// buffer of the object's own.
#pragma once

#include "framework/FCEntryDetail.h"

#include <cstdint>

inline constexpr uint32_t kArticulationRecordSize = 12;

class FCArticulation : public __FCEntryDetail {
public:
    // Key (0, 0), no entry, and an all-zero record of 12 bytes.
    FCArticulation();

    int32_t ClassID() const override { return 3; }
    const char* ClassName() const override;

    void* DefaultBuffer() override { return builtIn_; }
    FCArticulation* CreateObject() const override;
    uint32_t Tag() const override { return kArticulationDetailTag; }
    uint32_t LoadSize() const override { return kArticulationRecordSize; }
    int64_t SaveSize() const override { return kArticulationRecordSize; }
    // Takes the 12 record bytes of another articulation; anything else changes nothing.
    void CopyDataFrom(const __FCBaseData& other) override;
    void SetEntryFlag(FCNoteEntry* entry, bool on) override;

    // Two articulations with the same identifier are the same articulation.
    uint16_t GetArticulationId() const;

private:
    unsigned char builtIn_[kArticulationRecordSize] = {};
};
