// Stands in for USER32's MessageBoxW in the module's import address table: the stand-in host
// records the box (owner, text, caption, style) and no window opens.
#pragma once

#include <cstdint>

namespace wintest {

int32_t RecordMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style);

} // namespace wintest
