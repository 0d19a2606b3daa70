// The module as Finale loads it on Windows: LoadLibraryW from the plug-in folder, the seven
// exports found with GetProcAddress. Its imported MessageBoxW is pointed at the recorder, so
// that error boxes are checked without a window.
#include "tests/e2e/PluginModule.h"

#include "wintest/MessageBoxRecorder.h"
#include "wintest/WinProcess.h"

#include <windows.h>

#include <string>

bool PluginModule::Load() {
    Unload();
    const std::u16string path = wintest::PluginPath();
    HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.c_str()));
    if (module == nullptr) {
        error_ = "LoadLibraryW failed for the plug-in, error " + std::to_string(GetLastError());
        return false;
    }
    handle_ = module;

    // The module must reach USER32's own MessageBoxW through its import table: anything else
    // would show a box we cannot see.
    void* user32Box = wintest::ExportedAddress(wintest::LoadedModule("USER32.dll"), "MessageBoxW");
    void* previous = wintest::RedirectImport(handle_, "USER32.dll", "MessageBoxW",
                                             reinterpret_cast<void*>(&wintest::RecordMessageBox));
    if (previous == nullptr)
        error_ += "the plug-in does not import USER32 MessageBoxW; ";
    else if (previous != user32Box)
        error_ += "the plug-in's MessageBoxW is not USER32's; ";

    BindExports();
    return error_.empty();
}

void PluginModule::Unload() {
    ForgetExports();
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

void* PluginModule::Find(const char* name) {
    void* address = wintest::ExportedAddress(handle_, name);
    if (address == nullptr) error_ += std::string("missing export ") + name + "; ";
    return address;
}
