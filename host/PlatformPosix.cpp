// The host is the process that loaded the module: its names resolve over the process's global
// scope, as the executable and globally loaded libraries export them.
#include "host/Platform.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

namespace platform {

void* FindHostModule() {
    return dlopen(nullptr, RTLD_LAZY);
}

void* FindHostFunction(void* hostModule, const char* name) {
    if (hostModule == nullptr || name == nullptr) return nullptr;
    return dlsym(hostModule, name);
}

namespace {

using MessageBoxFn = int32_t (*)(void*, const char16_t*, const char16_t*, uint32_t);

// Narrows UTF-16 to UTF-8 for the terminal; the module's own texts are ASCII.
std::string ToUtf8(const char16_t* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const char16_t* p = text; *p != 0; ++p) {
        const uint32_t c = *p;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
    static MessageBoxFn messageBox = [] {
        void* process = dlopen(nullptr, RTLD_LAZY);
        return process == nullptr ? nullptr
                                  : reinterpret_cast<MessageBoxFn>(dlsym(process, "MessageBoxW"));
    }();
    if (messageBox != nullptr) {
        messageBox(owner, text, caption, style);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
}

} // namespace platform
