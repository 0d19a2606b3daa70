// The module as the host loads it: a fresh load per test, reached only through its exports.
#pragma once

#include "plugin/ExportTypes.h"

#include <cstdint>
#include <string>

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

    // One pointer per export, named for its PluginExport: Version, Init, Enumerate,
    // EnumerateUtf16, GetMenuStatus, Invoke, Terminate.
#define BEATCLONE_EXPORT_POINTER(id, name) name##Fn id = nullptr;
    BEATCLONE_PLUGIN_EXPORTS(BEATCLONE_EXPORT_POINTER)
#undef BEATCLONE_EXPORT_POINTER

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
