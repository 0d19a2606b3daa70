// The host's plug-in functions, called from the module. Each wrapper calls the function of the
// same name in HostFunctions.def, whose contract it keeps, with HostApiVersion appended.
// Each function is bound by name on its first call and the answer, found or not, is kept for
// the life of the process. A function the host does not export is never called: its wrapper
// answers the list's "missing" value (0; null for LoadTGF; 4 for GetMaxLayers).
#pragma once

#include "host/HostRecords.h"

#include <cstdint>

namespace fx {

TgfFrame* LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t flag);
// Normalizes the frame's entries first (NormalizeEntries), as every frame handed back is.
int16_t SaveTGF(TgfFrame* frame);
int16_t FreeTGF(TgfFrame* frame);
// Normalizes first.
int16_t InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count);
// Normalizes first.
int16_t DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count);
int16_t LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size);
int16_t SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size);
int16_t CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size);
int16_t DeleteEData(uint32_t tag, EDataKey* key);
// Passes null for both reserved arguments.
int16_t NextEData(uint32_t tag, EDataKey* key);
int16_t SlotToInst(int16_t slot, int16_t slotList);
// Passes 0 for the reserved argument.
int16_t InstToSlot(int16_t instrument);
int16_t GetShowLayer(int16_t layer);
// Gives the two unused outputs scratch room; leaves `region` alone when the host lacks the
// function.
int16_t GetCurERegions(RegionRecord* region);
int16_t GetCurrentEnigmaDocument();
int16_t GetMaxLayers();

} // namespace fx

namespace host_binding {

// Where names are looked up. The default asks the platform for the host module's exports;
// unit tests replace it to play a host that lacks some functions.
using Resolver = void* (*)(const char* name);

// Installs `resolver` (null restores the platform's) and forgets every earlier binding.
void SetResolverForTesting(Resolver resolver);

} // namespace host_binding
