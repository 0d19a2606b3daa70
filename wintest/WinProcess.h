// What a Windows host sees of its own process: the executable's name and folder, the modules
// loaded by name, their export and import tables. Kept apart from <windows.h>, whose macros
// (MessageBox, min, max) would rename members of the stand-in host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wintest {

// The file name of this executable, e.g. "FINALE.EXE".
std::string ExecutableName();

// The plug-in as the host installs it: <this executable's folder>\Plug-ins\beatclone.fxt.
std::u16string PluginPath();

// GetModuleHandleA(name): the loaded module of that name, null when there is none. A null
// name answers this executable.
void* LoadedModule(const char* name);

// GetProcAddress(module, name), null when the module exports no such name.
void* ExportedAddress(void* module, const char* name);

// The names in a loaded module's export directory, in the table's order.
std::vector<std::string> ExportedNames(void* module);

// The address held in a loaded module's import address table for dll!function (DLL names
// compare case-insensitively); null when the module imports no such function by name.
void* ImportedAddress(void* module, const char* dll, const char* function);

// Replaces that address with `replacement`. Answers the address it held before, or null
// (and changes nothing) when the module imports no such function.
void* RedirectImport(void* module, const char* dll, const char* function, void* replacement);

// Makes a crash end the process with a line on stderr and exit code 3, instead of waiting
// for a debugger or a dialog.
void ExitOnCrash();

} // namespace wintest
