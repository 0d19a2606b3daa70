#include "host/HostFunctions.h"

#include "host/NormalizeEntries.h"
#include "host/Platform.h"

#include <cstddef>

namespace {

// The table: one slot per host function, bound on first use.
enum Fn : int {
    kLoadTGF, kSaveTGF, kFreeTGF, kInsertEXENTRY, kDeleteEXENTRY,
    kLoadEData, kSaveEData, kCreateEData, kDeleteEData, kNextEData,
    kSlotToInst, kInstToSlot, kGetShowLayer, kGetCurERegions,
    kGetCurrentEnigmaDocument, kGetMaxLayers, kFunctionCount
};

struct Slot {
    const char* name;
    void* address;
    bool looked;
};

Slot gTable[kFunctionCount] = {
    {"FX_LoadTGF", nullptr, false},
    {"FX_SaveTGF", nullptr, false},
    {"FX_FreeTGF", nullptr, false},
    {"FX_InsertEXENTRY", nullptr, false},
    {"FX_DeleteEXENTRY", nullptr, false},
    {"FX_LoadEData", nullptr, false},
    {"FX_SaveEData", nullptr, false},
    {"FX_CreateEData", nullptr, false},
    {"FX_DeleteEData", nullptr, false},
    {"FX_NextEData", nullptr, false},
    {"FX_SlotToInst", nullptr, false},
    {"FX_InstToSlot", nullptr, false},
    {"FX_GetShowLayer", nullptr, false},
    {"FX_GetCurERegions", nullptr, false},
    {"FX_GetCurrentEnigmaDocument", nullptr, false},
    {"FX_GetMaxLayers", nullptr, false},
};

void* PlatformResolve(const char* name) {
    // The host module is looked up once, at the first host call, and kept.
    static void* const hostModule = platform::FindHostModule();
    return platform::FindHostFunction(hostModule, name);
}

host_binding::Resolver gResolver = &PlatformResolve;

template <typename F>
F Bind(Fn fn) {
    Slot& slot = gTable[fn];
    if (!slot.looked) {
        slot.address = gResolver(slot.name);
        slot.looked = true;
    }
    return reinterpret_cast<F>(slot.address);
}

// Calls the bound function with HostApiVersion appended, or answers `missing`.
template <typename R, typename... Args>
R Call(Fn fn, R missing, Args... args) {
    using F = R (*)(Args..., uint32_t);
    F f = Bind<F>(fn);
    return f == nullptr ? missing : f(args..., HostApiVersion);
}

} // namespace

namespace fx {

TgfFrame* LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t flag) {
    return Call<TgfFrame*>(kLoadTGF, nullptr, slotList, slot, measure, layer, flag);
}

int16_t SaveTGF(TgfFrame* frame) {
    if (frame != nullptr) NormalizeEntries(*frame);
    return Call<int16_t>(kSaveTGF, 0, frame);
}

int16_t FreeTGF(TgfFrame* frame) {
    return Call<int16_t>(kFreeTGF, 0, frame);
}

int16_t InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count) {
    if (frame != nullptr) NormalizeEntries(*frame);
    return Call<int16_t>(kInsertEXENTRY, 0, frame, index, count);
}

int16_t DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count) {
    if (frame != nullptr) NormalizeEntries(*frame);
    return Call<int16_t>(kDeleteEXENTRY, 0, frame, index, count);
}

int16_t LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size) {
    return Call<int16_t>(kLoadEData, 0, tag, key, buffer, size);
}

int16_t SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size) {
    return Call<int16_t>(kSaveEData, 0, tag, key, buffer, size);
}

int16_t CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size) {
    return Call<int16_t>(kCreateEData, 0, tag, key, buffer, size);
}

int16_t DeleteEData(uint32_t tag, EDataKey* key) {
    return Call<int16_t>(kDeleteEData, 0, tag, key);
}

int16_t NextEData(uint32_t tag, EDataKey* key) {
    return Call<int16_t>(kNextEData, 0, tag, key, static_cast<void*>(nullptr),
                         static_cast<void*>(nullptr));
}

int16_t SlotToInst(int16_t slot, int16_t slotList) {
    return Call<int16_t>(kSlotToInst, 0, slot, slotList);
}

int16_t InstToSlot(int16_t instrument) {
    return Call<int16_t>(kInstToSlot, 0, instrument, static_cast<int16_t>(0));
}

int16_t GetShowLayer(int16_t layer) {
    return Call<int16_t>(kGetShowLayer, 0, layer);
}

int16_t GetCurERegions(RegionRecord* region) {
    // The first two outputs are not used; they get scratch room of the sizes the host fills.
    alignas(8) unsigned char first[8] = {};
    alignas(8) unsigned char second[24] = {};
    return Call<int16_t>(kGetCurERegions, 0, static_cast<void*>(first),
                         static_cast<void*>(second), region);
}

int16_t GetCurrentEnigmaDocument() {
    return Call<int16_t>(kGetCurrentEnigmaDocument, 0);
}

int16_t GetMaxLayers() {
    return Call<int16_t>(kGetMaxLayers, 4);
}

} // namespace fx

namespace host_binding {

void SetResolverForTesting(Resolver resolver) {
    gResolver = resolver != nullptr ? resolver : &PlatformResolve;
    for (Slot& slot : gTable) {
        slot.address = nullptr;
        slot.looked = false;
    }
}

} // namespace host_binding
