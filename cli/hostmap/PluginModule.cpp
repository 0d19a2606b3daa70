#include "cli/hostmap/PluginModule.h"

#include "cli/CliError.h"

#include <cstring>
#include <filesystem>
#include <memory>

#include <dlfcn.h>
#include <unistd.h>

namespace beatclone::cli {
namespace {

static_assert(sizeof(void*) == 8, "the module's records assume a 64-bit process");

// The host version the tool announces to the module.
constexpr uint32_t kHostVersion = 0x1B000000u;

std::unique_ptr<PluginModule>& Loaded() {
    static std::unique_ptr<PluginModule> module;
    return module;
}

template <PluginExport e>
PluginExportFn<e> Export(void* handle, const std::string& path) {
    const char* name = PluginExportName(e);
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr)
        throw CliError(ExitCode::ModuleFailed, path + ": not the beatclone module (no " + name + ")");
    PluginExportFn<e> fn;
    std::memcpy(&fn, &symbol, sizeof fn);
    return fn;
}

std::filesystem::path ExecutableDir() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
}

} // namespace

PluginModule& PluginModule::Load(const std::string& path) {
    std::unique_ptr<PluginModule>& module = Loaded();
    if (!module) module.reset(new PluginModule(path));
    return *module;
}

std::string PluginModule::DefaultPath() {
    std::filesystem::path dir = ExecutableDir();
    for (const std::filesystem::path& candidate :
         {dir / "beatclone.so", dir / ".." / "lib" / "beatclone" / "beatclone.so"}) {
        std::error_code error;
        if (!dir.empty() && std::filesystem::is_regular_file(candidate, error)) return candidate.string();
    }
#ifdef BEATCLONE_MODULE_BUILD_PATH
    return BEATCLONE_MODULE_BUILD_PATH;
#else
    return (dir / "beatclone.so").string();
#endif
}

PluginModule::PluginModule(const std::string& path) : path_(path) {
    // RTLD_LOCAL: the module's own symbols stay its own; it finds the host's functions in the
    // process's global scope, where the stand-in host library sits.
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        throw CliError(ExitCode::ModuleFailed, "cannot load the module " + path + ": " + (why ? why : "unknown error"));
    }
    try {
        version_ = Export<PluginExport::Version>(handle_, path);
        init_ = Export<PluginExport::Init>(handle_, path);
        enumerate_ = Export<PluginExport::Enumerate>(handle_, path);
        enumerateUtf16_ = Export<PluginExport::EnumerateUtf16>(handle_, path);
        getMenuStatus_ = Export<PluginExport::GetMenuStatus>(handle_, path);
        invoke_ = Export<PluginExport::Invoke>(handle_, path);
        terminate_ = Export<PluginExport::Terminate>(handle_, path);
    } catch (...) {
        ::dlclose(handle_);
        throw;
    }
    version_(kHostVersion);
    uint32_t word = 0;
    init_(nullptr, &word);
}

PluginModule::~PluginModule() {
    if (terminate_ != nullptr) terminate_();
    if (handle_ != nullptr) ::dlclose(handle_);
}

std::string PluginModule::CommandName(int16_t index) const {
    CommandDescription record{};
    if (enumerate_(nullptr, index, &record) == 0) return {};
    return std::string(record.name, strnlen(record.name, sizeof record.name));
}

} // namespace beatclone::cli
