// The module, loaded the way the host loads it: dlopen, then its seven exports by name. The
// tool talks to it through these and nothing else.
#pragma once

#include "host/HostRecords.h"

#include <cstdint>
#include <string>

namespace beatclone::cli {

// Command indexes of the module.
inline constexpr int16_t kSetSourceCommand = 0;
inline constexpr int16_t kCopyCommand = 1;

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

    struct CommandRecord {
        char name[64];
        char description[64];
        char path[64];
        uint32_t flags;
    };
    using VersionFn = uint32_t (*)(uint32_t);
    using InitFn = int32_t (*)(void*, uint32_t*);
    using EnumerateFn = int16_t (*)(void*, int16_t, CommandRecord*);
    using EnumerateUtf16Fn = int16_t (*)(void*, int16_t, void*);
    using MenuStatusFn = int16_t (*)(int16_t);
    using InvokeFn = int16_t (*)(void*, int16_t, const RegionRecord*);
    using TerminateFn = void (*)();

    std::string path_;
    void* handle_ = nullptr;
    VersionFn version_ = nullptr;
    InitFn init_ = nullptr;
    EnumerateFn enumerate_ = nullptr;
    EnumerateUtf16Fn enumerateUtf16_ = nullptr;
    MenuStatusFn getMenuStatus_ = nullptr;
    InvokeFn invoke_ = nullptr;
    TerminateFn terminate_ = nullptr;
};

} // namespace beatclone::cli
