// The host functions under the C names the module binds to (HostFunctions.def), exported from
// the stand-in host (the shared library, or the Windows test host's executable).
#pragma once

#include "host/HostRecords.h"

#include <cstdint>

#if defined(_WIN32)
#define SIMHOST_EXPORT __declspec(dllexport)
#else
#define SIMHOST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
#define BEATCLONE_HOST_FUNCTION(result, name, parameters, missing) SIMHOST_EXPORT result FX_##name parameters;
#include "host/HostFunctions.def"
SIMHOST_EXPORT int32_t MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, uint32_t style);
}
