// The module, loaded the way the host loads it: dlopen, then its seven exports by name. The
// tool talks to it through these and nothing else.
#pragma once

#include "plugin/ExportTypes.h"

#include <cstdint>
#include <string>

namespace beatclone::cli {

// The module's command indexes, as the host numbers them.
using ::kCopyCommand;
using ::kSetSourceCommand;

class PluginModule {
public:
    // The module at `path`, loaded and initialised once per process (a later call with
    // another path answers the first module). Throws CliError(ModuleFailed).
    static PluginModule& Load(const std::string& path);

    // Where the module is looked for when no path is given: beside this executable, then in
    // ../lib/beatclone/ from it (the installed layout), then where the build put it.
    static std::string DefaultPath();

    const std::string& Path() const { return path_; }
    // The command names the module lists, to check that it is the right module.
    std::string CommandName(int16_t index) const;
    bool CommandEnabled(int16_t index) const { return getMenuStatus_(index) != 0; }
    int16_t Invoke(int16_t index, const RegionRecord* selection) const { return invoke_(nullptr, index, selection); }

    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

private:
    explicit PluginModule(const std::string& path);

    std::string path_;
    void* handle_ = nullptr;
    FinaleExtensionVersionFn version_ = nullptr;
    FinaleExtensionInitFn init_ = nullptr;
    FinaleExtensionEnumerateFn enumerate_ = nullptr;
    FinaleExtensionEnumerate_UTF16Fn enumerateUtf16_ = nullptr;
    FinaleExtensionGetMenuStatusFn getMenuStatus_ = nullptr;
    FinaleExtensionInvokeFn invoke_ = nullptr;
    FinaleExtensionTerminateFn terminate_ = nullptr;
};

} // namespace beatclone::cli
