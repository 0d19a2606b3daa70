// A rectangle of the score: a run of staff slots by a run of measures, with a position inside
// the first and the last measure, and the document it was taken from.
#pragma once

#include "framework/FCBase.h"
#include "host/HostRecords.h"

#include <cstdint>

class FCMusicRegion : public __FCBase {
public:
    // The empty region of document 0.
    FCMusicRegion() = default;

    const char* ClassName() const override;
    // Compares staves by instrument: start slot lists, start and end instruments, measures,
    // then positions. The document takes no part.
    virtual bool IsEqual(const FCMusicRegion* other) const;

    // Takes the host's current selection and the current document number. Always true;
    // without GetCurERegions the region fields stay as they were.
    bool SetCurrentSelection();
    // Takes the 20 bytes of a host region record; null counts as 20 zero bytes.
    void SetFromRecord(const RegionRecord* record);
    RegionRecord ToRecord() const;

    // 0 for an empty region.
    int32_t GetStartMeasure() const { return startMeasure; }
    int32_t GetEndMeasure() const { return endMeasure; }
    bool IsEmpty() const { return startMeasure == 0 && endMeasure == 0; }
    // An empty region counts as whole measures whatever its positions hold.
    bool CoversWholeMeasures() const { return IsEmpty() || (startPosition == 0 && endPosition == WholeMeasureEnd); }

    int16_t startSlotList = 0;
    int16_t startSlot = 0;
    int16_t startMeasure = 0;
    int32_t startPosition = 0;
    int16_t endSlotList = 0;
    int16_t endSlot = 0;
    int16_t endMeasure = 0;
    int32_t endPosition = 0;
    int16_t document = 0;
};

// The rhythm source: written by SET SOURCE only, empty at load.
extern FCMusicRegion SourceRegion;
