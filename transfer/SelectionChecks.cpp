#include "transfer/SelectionChecks.h"

#include "framework/FCMusicRegion.h"
#include "host/HostFunctions.h"
#include "transfer/MessageBuffer.h"

#include <cstdint>

namespace {

int32_t MeasureCount(const FCMusicRegion& region) { return region.GetEndMeasure() - region.GetStartMeasure() + 1; }

bool Refuse(char* buffer, const char* message) {
    WriteMessage(buffer, message);
    return false;
}

} // namespace

bool CheckSourceSelection(char* buffer) {
    if (!SourceRegion.CoversWholeMeasures())
        return Refuse(buffer, "Partial measure selection are not allowed for this plug-in.");
    if (SourceRegion.endSlot != SourceRegion.startSlot)
        return Refuse(buffer, "Only one individual staff is allowed as the selected source region.");
    return true;
}

bool CheckDestinationSelection(const FCMusicRegion& destination, char* buffer) {
    if (!destination.CoversWholeMeasures())
        return Refuse(buffer, "Partial selections are not allowed for this plug-in.");
    if (MeasureCount(destination) != MeasureCount(SourceRegion))
        return Refuse(buffer, "The destination region must have the same number of measures as the source region.");
    if (SourceRegion.document != fx::GetCurrentEnigmaDocument())
        return Refuse(buffer, "The source region must belong to the current document.");
    return true;
}
