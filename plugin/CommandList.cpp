#include "plugin/CommandList.h"

namespace {

constexpr CommandText kCommands[kCommandCount] = {
    {"Orvane Beatclone - SET SOURCE", "Sets the rhythm source prior to a Beatclone.", "Beatclone/SET", 0x00000001u},
    {"Orvane Beatclone - COPY", "Copies the rhythm to the selected region.", "Beatclone/COPY",
     0x00000001u | kCommandHasMenuStatus},
};

} // namespace

const CommandText* FindCommand(int16_t index) {
    if (index < 0 || index >= kCommandCount) return nullptr;
    return &kCommands[index];
}
