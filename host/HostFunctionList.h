// The host functions as values: an index for each, in the order of HostFunctions.def, and
// the C name the host exports it under.
#pragma once

namespace host_binding {

enum class HostFunction : int {
#define BEATCLONE_HOST_FUNCTION(result, name, parameters, missing) name,
#include "host/HostFunctions.def"
    Count
};

inline constexpr int kHostFunctionCount = static_cast<int>(HostFunction::Count);

// "FX_" and the function's name; null for an index out of range.
constexpr const char* HostFunctionName(HostFunction f) {
    constexpr const char* kNames[kHostFunctionCount] = {
#define BEATCLONE_HOST_FUNCTION(result, name, parameters, missing) "FX_" #name,
#include "host/HostFunctions.def"
    };
    const int i = static_cast<int>(f);
    return i >= 0 && i < kHostFunctionCount ? kNames[i] : nullptr;
}

} // namespace host_binding
