#include "tests/e2e/PluginModule.h"

#include <dlfcn.h>

bool PluginModule::Load() {
    Unload();
    handle_ = dlopen(BEATCLONE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = why != nullptr ? why : "dlopen failed";
        return false;
    }
    return BindExports();
}

void PluginModule::Unload() {
    ForgetExports();
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
}

void* PluginModule::Find(const char* name) {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) error_ += std::string("missing export ") + name + "; ";
    return symbol;
}
