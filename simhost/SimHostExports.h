// The host functions under the C names the module binds to, exported from the stand-in host
// (the shared library, or the Windows test host's executable).
#pragma once

#include "host/HostRecords.h"

#include <cstdint>

#if defined(_WIN32)
#define SIMHOST_EXPORT __declspec(dllexport)
#else
#define SIMHOST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
SIMHOST_EXPORT TgfFrame* FX_LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t flag,
                                    uint32_t v);
SIMHOST_EXPORT int16_t FX_SaveTGF(TgfFrame* frame, uint32_t v);
SIMHOST_EXPORT int16_t FX_FreeTGF(TgfFrame* frame, uint32_t v);
SIMHOST_EXPORT int16_t FX_InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count, uint32_t v);
SIMHOST_EXPORT int16_t FX_DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count, uint32_t v);
SIMHOST_EXPORT int16_t FX_LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size, uint32_t v);
SIMHOST_EXPORT int16_t FX_SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size, uint32_t v);
SIMHOST_EXPORT int16_t FX_CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size, uint32_t v);
SIMHOST_EXPORT int16_t FX_DeleteEData(uint32_t tag, EDataKey* key, uint32_t v);
SIMHOST_EXPORT int16_t FX_NextEData(uint32_t tag, EDataKey* key, void* reserved1, void* reserved2, uint32_t v);
SIMHOST_EXPORT int16_t FX_SlotToInst(int16_t slot, int16_t slotList, uint32_t v);
SIMHOST_EXPORT int16_t FX_InstToSlot(int16_t instrument, int16_t reserved, uint32_t v);
SIMHOST_EXPORT int16_t FX_GetShowLayer(int16_t layer, uint32_t v);
SIMHOST_EXPORT int16_t FX_GetCurERegions(void* out8, void* out24, RegionRecord* region, uint32_t v);
SIMHOST_EXPORT int16_t FX_GetCurrentEnigmaDocument(uint32_t v);
SIMHOST_EXPORT int16_t FX_GetMaxLayers(uint32_t v);
SIMHOST_EXPORT int32_t MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, uint32_t style);
}
