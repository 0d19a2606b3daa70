// The host's plug-in functions. Each is bound by name on its first call and the answer, found
// or not, is kept for the life of the process. A function the host does not export is never
// called: its wrapper answers 0 (null for LoadTGF), except GetMaxLayers, which answers 4.
// Every call passes HostApiVersion as the last argument.
#pragma once

#include "host/HostRecords.h"

#include <cstdint>

namespace fx {

// A fresh frame echoing (slotList, slot, measure, layer); null when the host has none.
TgfFrame* LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t flag);
// Normalizes the frame's entries, then saves it. Non-zero on success.
int16_t SaveTGF(TgfFrame* frame);
// Releases the frame; the module touches it no more.
int16_t FreeTGF(TgfFrame* frame);
// Normalizes, then adds `count` entries at `index`; the entry array may move.
int16_t InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count);
// Normalizes, then removes `count` entries from `index`; the entry array may move.
int16_t DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count);
// `size`: in, the buffer's size; out, the record's size (which may exceed the buffer).
int16_t LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size);
// Creates or replaces the record under `key`.
int16_t SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size);
// Creates a record; the host may fill in the key's sequence number.
int16_t CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size);
int16_t DeleteEData(uint32_t tag, EDataKey* key);
// Moves `key` on to the next record of `tag`; 0 when there is none.
int16_t NextEData(uint32_t tag, EDataKey* key);
// The instrument a slot holds; 0 when missing.
int16_t SlotToInst(int16_t slot, int16_t slotList);
// The slot holding an instrument; 0 when missing.
int16_t InstToSlot(int16_t instrument);
// Non-zero when the layer index is shown.
int16_t GetShowLayer(int16_t layer);
// Fills `region` with the current selection; leaves it alone when the host lacks the function.
int16_t GetCurERegions(RegionRecord* region);
int16_t GetCurrentEnigmaDocument();
// The number of layers; 4 when the host lacks the function.
int16_t GetMaxLayers();

} // namespace fx

namespace host_binding {

// Where names are looked up. The default asks the platform for the host module's exports;
// unit tests replace it to play a host that lacks some functions.
using Resolver = void* (*)(const char* name);

// Installs `resolver` (null restores the platform's) and forgets every earlier binding.
void SetResolverForTesting(Resolver resolver);

} // namespace host_binding
