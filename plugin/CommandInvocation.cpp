// FinaleExtensionInvoke: runs SET SOURCE or COPY on the selection the host hands in.
#include "framework/FCMusicRegion.h"
#include "host/HostFunctions.h"
#include "plugin/CommandList.h"
#include "plugin/FCUI.h"
#include "plugin/PluginExports.h"
#include "plugin/PluginState.h"
#include "transfer/MessageBuffer.h"
#include "transfer/SelectionChecks.h"
#include "transfer/TransferDriver.h"

namespace {

// Replaces the recorded source whatever the outcome; a refusal disables COPY.
int16_t SetSource(const FCUI& ui, const RegionRecord* selection) {
    char buffer[kMessageBufferSize] = {};
    SourceRegion.SetFromRecord(selection);
    SourceRegion.document = fx::GetCurrentEnigmaDocument();
    SourceValid = CheckSourceSelection(buffer);
    if (!SourceValid) ui.AlertError(buffer, "Source Selection Error");
    return 0;
}

int16_t Copy(const FCUI& ui, const RegionRecord* selection) {
    if (!SourceValid) return 0;
    char buffer[kMessageBufferSize] = {};
    FCMusicRegion destination;
    if (selection != nullptr) {
        destination.SetFromRecord(selection);
        destination.document = fx::GetCurrentEnigmaDocument();
    }
    if (TransferRhythm(destination, buffer)) return 1;
    ui.AlertError(buffer, "Orvane Beatclone Error");
    return 0;
}

} // namespace

extern "C" int16_t FinaleExtensionInvoke(void* ownerWindow, int16_t index, const RegionRecord* selection) {
    const FCUI ui(ownerWindow);
    return index == kSetSourceCommand ? SetSource(ui, selection) : Copy(ui, selection);
}
