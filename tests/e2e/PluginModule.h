// The module as the host loads it: a fresh load per test, reached only through its exports.
#pragma once

#include "host/HostRecords.h"

#include <cstdint>
#include <string>

struct CommandDescription;
struct CommandDescriptionUtf16;

class PluginModule {
public:
    PluginModule() = default;
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    ~PluginModule() { Unload(); }

    // Loads the module afresh (its state as at the host's start); false with Error() set.
    bool Load();
    void Unload();
    const std::string& Error() const { return error_; }

    uint32_t (*Version)(uint32_t) = nullptr;
    int32_t (*Init)(void*, uint32_t*) = nullptr;
    int16_t (*Enumerate)(void*, int16_t, CommandDescription*) = nullptr;
    int16_t (*EnumerateUtf16)(void*, int16_t, CommandDescriptionUtf16*) = nullptr;
    int16_t (*GetMenuStatus)(int16_t) = nullptr;
    int16_t (*Invoke)(void*, int16_t, const RegionRecord*) = nullptr;
    void (*Terminate)() = nullptr;

private:
    // The platform's part: the library's export of that name, or null (noted in error_).
    void* Find(const char* name);
    // Finds the seven exports; false when any is missing.
    bool BindExports();
    // Calls Terminate when bound, then forgets the exports.
    void ForgetExports();

    void* handle_ = nullptr;
    std::string error_;
};
