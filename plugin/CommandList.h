// The module's two commands.
#pragma once

#include "plugin/ExportTypes.h"

#include <cstdint>

struct CommandText {
    const char* name;
    const char* description;
    const char* path;
    uint32_t flags;
};

inline constexpr int16_t kCommandCount = 2;
// Flag bit 16: the command's enabled state comes from the host asking GetMenuStatus.
inline constexpr uint32_t kCommandHasMenuStatus = 0x00010000u;

// Null for an index that names no command.
const CommandText* FindCommand(int16_t index);
