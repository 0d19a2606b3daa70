// The module's face towards the host: the seven exported functions and the command records
// the host hands in to be filled.
#pragma once

#include "host/HostRecords.h"

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define BEATCLONE_EXPORT __declspec(dllexport)
#else
#define BEATCLONE_EXPORT __attribute__((visibility("default")))
#endif

// One command, 8-bit texts zero-filled to the end of each field.
struct CommandDescription {
    char name[64];
    char description[64];
    char path[64];
    uint32_t flags;
};
static_assert(sizeof(CommandDescription) == 196);
static_assert(offsetof(CommandDescription, name) == 0);
static_assert(offsetof(CommandDescription, description) == 64);
static_assert(offsetof(CommandDescription, path) == 128);
static_assert(offsetof(CommandDescription, flags) == 192);

// One command, UTF-16LE texts: at most 63 units and a zero; later units stay as supplied.
struct CommandDescriptionUtf16 {
    char16_t name[128];
    char16_t description[128];
    char16_t path[128];
    uint32_t flags;
};
static_assert(sizeof(CommandDescriptionUtf16) == 772);
static_assert(offsetof(CommandDescriptionUtf16, name) == 0);
static_assert(offsetof(CommandDescriptionUtf16, description) == 256);
static_assert(offsetof(CommandDescriptionUtf16, path) == 512);
static_assert(offsetof(CommandDescriptionUtf16, flags) == 768);

extern "C" {
// Always 0x0F000000.
BEATCLONE_EXPORT uint32_t FinaleExtensionVersion(uint32_t hostVersion);
// Sets bit 0 of *word (null is ignored); answers 1.
BEATCLONE_EXPORT int32_t FinaleExtensionInit(void* reserved, uint32_t* word);
// 1 and the record filled for index 0 or 1; 0 and nothing written otherwise.
BEATCLONE_EXPORT int16_t FinaleExtensionEnumerate(void* reserved, int16_t index, CommandDescription* out);
BEATCLONE_EXPORT int16_t FinaleExtensionEnumerate_UTF16(void* reserved, int16_t index,
                                                        CommandDescriptionUtf16* out);
// COPY (index 1) is enabled only while a valid source is set; every other index is enabled.
BEATCLONE_EXPORT int16_t FinaleExtensionGetMenuStatus(int16_t index);
// Index 0 runs SET SOURCE (answers 0); any other runs COPY (1 after a transfer, else 0).
BEATCLONE_EXPORT int16_t FinaleExtensionInvoke(void* ownerWindow, int16_t index, const RegionRecord* selection);
BEATCLONE_EXPORT void FinaleExtensionTerminate(void);
}
