// Each host function hands its call to the process's stand-in host. The version argument is
// not checked: the host answers every caller alike.
#include "simhost/SimHostExports.h"

#include "simhost/SimHost.h"

using simhost::Host;

extern "C" {

TgfFrame* FX_LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t flag, uint32_t) {
    return Host::Instance().LoadTGF(slotList, slot, measure, layer, flag);
}
int16_t FX_SaveTGF(TgfFrame* frame, uint32_t) { return Host::Instance().SaveTGF(frame); }
int16_t FX_FreeTGF(TgfFrame* frame, uint32_t) { return Host::Instance().FreeTGF(frame); }
int16_t FX_InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count, uint32_t) {
    return Host::Instance().InsertEXENTRY(frame, index, count);
}
int16_t FX_DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count, uint32_t) {
    return Host::Instance().DeleteEXENTRY(frame, index, count);
}
int16_t FX_LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size, uint32_t) {
    return Host::Instance().LoadEData(tag, key, buffer, size);
}
int16_t FX_SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size, uint32_t) {
    return Host::Instance().SaveEData(tag, key, buffer, size);
}
int16_t FX_CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size, uint32_t) {
    return Host::Instance().CreateEData(tag, key, buffer, size);
}
int16_t FX_DeleteEData(uint32_t tag, EDataKey* key, uint32_t) { return Host::Instance().DeleteEData(tag, key); }
int16_t FX_NextEData(uint32_t tag, EDataKey* key, void*, void*, uint32_t) {
    return Host::Instance().NextEData(tag, key);
}
int16_t FX_SlotToInst(int16_t slot, int16_t slotList, uint32_t) { return Host::Instance().SlotToInst(slot, slotList); }
int16_t FX_InstToSlot(int16_t instrument, int16_t, uint32_t) { return Host::Instance().InstToSlot(instrument); }
int16_t FX_GetShowLayer(int16_t layer, uint32_t) { return Host::Instance().GetShowLayer(layer); }
int16_t FX_GetCurERegions(void* out8, void* out24, RegionRecord* region, uint32_t) {
    return Host::Instance().GetCurERegions(out8, out24, region);
}
int16_t FX_GetCurrentEnigmaDocument(uint32_t) { return Host::Instance().GetCurrentEnigmaDocument(); }
int16_t FX_GetMaxLayers(uint32_t) { return Host::Instance().GetMaxLayers(); }
int32_t MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
    return Host::Instance().MessageBox(owner, text, caption, style);
}

} // extern "C"
