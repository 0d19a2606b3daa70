// PluginModule for the WebAssembly build, where the module is linked into the program: its seven
// exports are called directly instead of being looked up in a loaded library, and the module is
// started the way the loading host starts it.
#include "cli/hostmap/PluginModule.h"

#include "cli/CliError.h"
#include "plugin/PluginExports.h"

#include <cstring>
#include <memory>

namespace beatclone::cli {
namespace {

// What the built-in module answers to, in messages and in --module.
constexpr const char* kLinkedModuleName = "(built-in module)";

constexpr uint32_t kHostVersion = 0x1B000000u;

std::unique_ptr<PluginModule>& Loaded() {
    static std::unique_ptr<PluginModule> module;
    return module;
}

} // namespace

PluginModule& PluginModule::Load(const std::string& path) {
    if (path != kLinkedModuleName)
        throw CliError(ExitCode::ModuleFailed,
                       "cannot load the module " + path + ": this build has the module built in; leave out --module");
    std::unique_ptr<PluginModule>& module = Loaded();
    if (!module) module.reset(new PluginModule(path));
    return *module;
}

std::string PluginModule::DefaultPath() { return kLinkedModuleName; }

PluginModule::PluginModule(const std::string& path) : path_(path) {
    handle_ = nullptr; // no library to load
    version_ = &FinaleExtensionVersion;
    init_ = &FinaleExtensionInit;
    enumerate_ = &FinaleExtensionEnumerate;
    enumerateUtf16_ = &FinaleExtensionEnumerate_UTF16;
    getMenuStatus_ = &FinaleExtensionGetMenuStatus;
    invoke_ = &FinaleExtensionInvoke;
    terminate_ = &FinaleExtensionTerminate;
    version_(kHostVersion);
    uint32_t word = 0;
    init_(nullptr, &word);
}

PluginModule::~PluginModule() {
    if (terminate_ != nullptr) terminate_();
}

std::string PluginModule::CommandName(int16_t index) const {
    CommandDescription record{};
    if (enumerate_(nullptr, index, &record) == 0) return {};
    return std::string(record.name, strnlen(record.name, sizeof record.name));
}

} // namespace beatclone::cli
