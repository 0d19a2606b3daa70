// The exports the host calls, but for the command invocation (CommandInvocation.cpp).
#include "plugin/CommandList.h"
#include "plugin/PluginExports.h"
#include "plugin/PluginState.h"

#include <cstring>

bool SourceValid = false;

namespace {

void CopyText(char (&field)[64], const char* text) {
    std::memset(field, 0, sizeof field);
    std::strncpy(field, text, sizeof field - 1);
}

// At most 63 units and a terminator; the units after it stay as the host supplied them.
void CopyText(char16_t (&field)[128], const char* text) {
    size_t i = 0;
    for (; i < 63 && text[i] != 0; ++i) field[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    field[i] = 0;
}

// Fills either form of the record for a command; writes nothing for any other index.
template <typename Record>
int16_t Describe(int16_t index, Record* out) {
    const CommandText* command = FindCommand(index);
    if (command == nullptr || out == nullptr) return 0;
    CopyText(out->name, command->name);
    CopyText(out->description, command->description);
    CopyText(out->path, command->path);
    out->flags = command->flags;
    return 1;
}

} // namespace

extern "C" {

uint32_t FinaleExtensionVersion(uint32_t) { return 0x0F000000u; }

int32_t FinaleExtensionInit(void*, uint32_t* word) {
    if (word != nullptr) *word |= 1u;
    return 1;
}

int16_t FinaleExtensionEnumerate(void*, int16_t index, CommandDescription* out) { return Describe(index, out); }

int16_t FinaleExtensionEnumerate_UTF16(void*, int16_t index, CommandDescriptionUtf16* out) {
    return Describe(index, out);
}

int16_t FinaleExtensionGetMenuStatus(int16_t index) {
    if (index == kCopyCommand) return SourceValid ? 1 : 0;
    return 1;
}

void FinaleExtensionTerminate(void) {}

} // extern "C"
