// WebAssembly has no dynamic symbol lookup: the module, the host and the program are linked into
// one binary, and the host's exported names are found in a table of those names built here.
// The names and C types are the ones a dynamic host exports (HostFunctions.def).
#include "host/Platform.h"

#include "host/HostRecords.h"
#include <cstring>

extern "C" {
#define BEATCLONE_HOST_FUNCTION(result, name, parameters, missing) result FX_##name parameters;
#include "host/HostFunctions.def"
int32_t MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, uint32_t style);
}

namespace platform {
namespace {

struct ExportedName {
    const char* name;
    void* address;
};

const ExportedName kHostExports[] = {
#define BEATCLONE_HOST_FUNCTION(result, name, parameters, missing) {"FX_" #name, reinterpret_cast<void*>(&FX_##name)},
#include "host/HostFunctions.def"
    {"MessageBoxW", reinterpret_cast<void*>(&MessageBoxW)},
};

} // namespace

// Any non-null handle will do: the table is the only host there is.
void* FindHostModule() { return const_cast<ExportedName*>(kHostExports); }

void* FindHostFunction(void* hostModule, const char* name) {
    if (hostModule == nullptr || name == nullptr) return nullptr;
    for (const ExportedName& exported : kHostExports)
        if (std::strcmp(exported.name, name) == 0) return exported.address;
    return nullptr;
}

// The host linked in always has one.
void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
    MessageBoxW(owner, text, caption, style);
}

} // namespace platform
