#include "host/HostFunctions.h"

#include "host/HostFunctionList.h"
#include "host/NormalizeEntries.h"
#include "host/Platform.h"

#include <cstddef>

namespace {

using host_binding::HostFunction;

// One entry of the table: a host function's name and its address, bound on first use.
struct BindingEntry {
    const char* name;
    void* address;
    bool looked;
};

BindingEntry gTable[host_binding::kHostFunctionCount] = {
#define BEATCLONE_HOST_FUNCTION(result, name, parameters, missing) \
    {host_binding::HostFunctionName(HostFunction::name), nullptr, false},
#include "host/HostFunctions.def"
};

// Each function's C type and what a call yields when the host lacks it.
template <HostFunction>
struct HostSignature;
#define BEATCLONE_HOST_FUNCTION(result, name, parameters, missing) \
    template <>                                                    \
    struct HostSignature<HostFunction::name> {                     \
        using Pointer = result(*) parameters;                      \
        static constexpr result kMissing = missing;                \
    };
#include "host/HostFunctions.def"

void* PlatformResolve(const char* name) {
    // The host module is looked up once, at the first host call, and kept.
    static void* const hostModule = platform::FindHostModule();
    return platform::FindHostFunction(hostModule, name);
}

host_binding::Resolver gResolver = &PlatformResolve;

template <HostFunction fn>
typename HostSignature<fn>::Pointer Bind() {
    BindingEntry& entry = gTable[static_cast<int>(fn)];
    if (!entry.looked) {
        entry.address = gResolver(entry.name);
        entry.looked = true;
    }
    return reinterpret_cast<typename HostSignature<fn>::Pointer>(entry.address);
}

// Calls the bound function with HostApiVersion appended, or answers what a missing one yields.
template <HostFunction fn, typename... Args>
auto Call(Args... args) {
    const auto f = Bind<fn>();
    return f == nullptr ? HostSignature<fn>::kMissing : f(args..., HostApiVersion);
}

} // namespace

namespace fx {

TgfFrame* LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t flag) {
    return Call<HostFunction::LoadTGF>(slotList, slot, measure, layer, flag);
}

int16_t SaveTGF(TgfFrame* frame) {
    if (frame != nullptr) NormalizeEntries(*frame);
    return Call<HostFunction::SaveTGF>(frame);
}

int16_t FreeTGF(TgfFrame* frame) { return Call<HostFunction::FreeTGF>(frame); }

int16_t InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count) {
    if (frame != nullptr) NormalizeEntries(*frame);
    return Call<HostFunction::InsertEXENTRY>(frame, index, count);
}

int16_t DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count) {
    if (frame != nullptr) NormalizeEntries(*frame);
    return Call<HostFunction::DeleteEXENTRY>(frame, index, count);
}

int16_t LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size) {
    return Call<HostFunction::LoadEData>(tag, key, buffer, size);
}

int16_t SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size) {
    return Call<HostFunction::SaveEData>(tag, key, buffer, size);
}

int16_t CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size) {
    return Call<HostFunction::CreateEData>(tag, key, buffer, size);
}

int16_t DeleteEData(uint32_t tag, EDataKey* key) { return Call<HostFunction::DeleteEData>(tag, key); }

int16_t NextEData(uint32_t tag, EDataKey* key) {
    return Call<HostFunction::NextEData>(tag, key, static_cast<void*>(nullptr), static_cast<void*>(nullptr));
}

int16_t SlotToInst(int16_t slot, int16_t slotList) { return Call<HostFunction::SlotToInst>(slot, slotList); }

int16_t InstToSlot(int16_t instrument) { return Call<HostFunction::InstToSlot>(instrument, static_cast<int16_t>(0)); }

int16_t GetShowLayer(int16_t layer) { return Call<HostFunction::GetShowLayer>(layer); }

int16_t GetCurERegions(RegionRecord* region) {
    // The first two outputs are not used; they get scratch room of the sizes the host fills.
    alignas(8) unsigned char first[8] = {};
    alignas(8) unsigned char second[24] = {};
    return Call<HostFunction::GetCurERegions>(static_cast<void*>(first), static_cast<void*>(second), region);
}

int16_t GetCurrentEnigmaDocument() { return Call<HostFunction::GetCurrentEnigmaDocument>(); }

int16_t GetMaxLayers() { return Call<HostFunction::GetMaxLayers>(); }

} // namespace fx

namespace host_binding {

void SetResolverForTesting(Resolver resolver) {
    gResolver = resolver != nullptr ? resolver : &PlatformResolve;
    for (BindingEntry& entry : gTable) {
        entry.address = nullptr;
        entry.looked = false;
    }
}

} // namespace host_binding
