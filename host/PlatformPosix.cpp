// The host is the process that loaded the module: its names resolve over the process's global
// scope, as the executable and globally loaded libraries export them.
#include "host/Platform.h"

#include "host/Utf8.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

namespace platform {

void* FindHostModule() { return dlopen(nullptr, RTLD_LAZY); }

void* FindHostFunction(void* hostModule, const char* name) {
    if (hostModule == nullptr || name == nullptr) return nullptr;
    return dlsym(hostModule, name);
}

namespace {

using MessageBoxFn = int32_t (*)(void*, const char16_t*, const char16_t*, uint32_t);

// The text, or nothing for a null pointer.
std::string Narrow(const char16_t* text) { return text == nullptr ? std::string() : Utf16ToUtf8(text); }

} // namespace

void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
    static MessageBoxFn messageBox = [] {
        void* process = dlopen(nullptr, RTLD_LAZY);
        return process == nullptr ? nullptr : reinterpret_cast<MessageBoxFn>(dlsym(process, "MessageBoxW"));
    }();
    if (messageBox != nullptr) {
        messageBox(owner, text, caption, style);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", Narrow(caption).c_str(), Narrow(text).c_str());
}

} // namespace platform
