// Finale exports its plug-in functions from its own executable: FINALE.EXE, or FINDEMO.EXE
// for the demo edition.
#include "host/Platform.h"

#include <windows.h>

namespace platform {

void* FindHostModule() {
    HMODULE module = GetModuleHandleA("FINALE.EXE");
    if (module == nullptr) module = GetModuleHandleA("FINDEMO.EXE");
    return reinterpret_cast<void*>(module);
}

void* FindHostFunction(void* hostModule, const char* name) {
    if (hostModule == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(hostModule), name));
}

void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    MessageBoxW(static_cast<HWND>(owner), reinterpret_cast<const wchar_t*>(text),
                reinterpret_cast<const wchar_t*>(caption), style);
}

} // namespace platform
