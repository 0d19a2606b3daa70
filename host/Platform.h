// The small piece of the operating system the module needs: finding the host's exported
// functions and showing a message box. Windows uses KERNEL32 and USER32; elsewhere the host is
// the process that loaded the module and exports the same names.
#pragma once

#include <cstdint>

namespace platform {

// The host program's module handle, or null when no host is loaded. Looked up on every call;
// the host function table keeps the first answer.
void* FindHostModule();

// The address of an exported function of the host module, or null when it has none.
void* FindHostFunction(void* hostModule, const char* name);

// Shows a modal message box owned by `owner`. Where the platform has no message box, writes
// "caption: text" and a newline to stderr.
void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style);

} // namespace platform
