#include "framework/FCMusicRegion.h"

#include "host/HostFunctions.h"

FCMusicRegion SourceRegion;

const char* FCMusicRegion::ClassName() const { return "FCMusicRegion"; }

void FCMusicRegion::SetFromRecord(const RegionRecord* record) {
    const RegionRecord r = record != nullptr ? *record : RegionRecord{};
    startSlotList = r.startSlotList;
    startSlot = r.startSlot;
    startMeasure = r.startMeasure;
    startPosition = r.startPosition;
    endSlotList = r.endSlotList;
    endSlot = r.endSlot;
    endMeasure = r.endMeasure;
    endPosition = r.endPosition;
}

RegionRecord FCMusicRegion::ToRecord() const {
    RegionRecord r{};
    r.startSlotList = startSlotList;
    r.startSlot = startSlot;
    r.startMeasure = startMeasure;
    r.startPosition = startPosition;
    r.endSlotList = endSlotList;
    r.endSlot = endSlot;
    r.endMeasure = endMeasure;
    r.endPosition = endPosition;
    return r;
}

bool FCMusicRegion::SetCurrentSelection() {
    // Starts from the region's own fields, so a host without the function leaves them as
    // they were.
    RegionRecord current = ToRecord();
    fx::GetCurERegions(&current);
    SetFromRecord(&current);
    document = fx::GetCurrentEnigmaDocument();
    return true;
}

bool FCMusicRegion::IsEqual(const FCMusicRegion* other) const {
    if (other == nullptr) return false;
    if (startSlotList != other->startSlotList) return false;
    if (fx::SlotToInst(startSlot, startSlotList) != fx::SlotToInst(other->startSlot, other->startSlotList))
        return false;
    if (fx::SlotToInst(endSlot, endSlotList) != fx::SlotToInst(other->endSlot, other->endSlotList)) return false;
    if (GetStartMeasure() != other->GetStartMeasure()) return false;
    if (GetEndMeasure() != other->GetEndMeasure()) return false;
    if (startPosition != other->startPosition) return false;
    return endPosition == other->endPosition;
}
