// The module's binary face, self-contained for the module, its tests, its benchmarks and any
// program that loads it: the seven exports' C types and names, the command records they fill
// and the two command indexes.
#pragma once

#include "host/HostRecords.h"

#include <cstddef>
#include <cstdint>

// The commands, by the index the host passes.
inline constexpr int16_t kSetSourceCommand = 0;
inline constexpr int16_t kCopyCommand = 1;

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

// Always 0x0F000000.
using FinaleExtensionVersionFn = uint32_t (*)(uint32_t hostVersion);
// Sets bit 0 of *word (null is ignored); answers 1.
using FinaleExtensionInitFn = int32_t (*)(void* reserved, uint32_t* word);
// 1 and the record filled for index 0 or 1; 0 and nothing written otherwise.
using FinaleExtensionEnumerateFn = int16_t (*)(void* reserved, int16_t index, CommandDescription* out);
using FinaleExtensionEnumerate_UTF16Fn = int16_t (*)(void* reserved, int16_t index, CommandDescriptionUtf16* out);
// COPY (index 1) is enabled only while a valid source is set; every other index is enabled.
using FinaleExtensionGetMenuStatusFn = int16_t (*)(int16_t index);
// Index 0 runs SET SOURCE (answers 0); any other runs COPY (1 after a transfer, else 0).
using FinaleExtensionInvokeFn = int16_t (*)(void* ownerWindow, int16_t index, const RegionRecord* selection);
using FinaleExtensionTerminateFn = void (*)();

// The seven exports, X(id, name): `id` is its PluginExport, `name` its undecorated C name, and
// its type name##Fn. One entry a line: CheckPeTables.cmake reads the names from here.
#define BEATCLONE_PLUGIN_EXPORTS(X)                   \
    X(Version, FinaleExtensionVersion)                \
    X(Init, FinaleExtensionInit)                      \
    X(Enumerate, FinaleExtensionEnumerate)            \
    X(EnumerateUtf16, FinaleExtensionEnumerate_UTF16) \
    X(GetMenuStatus, FinaleExtensionGetMenuStatus)    \
    X(Invoke, FinaleExtensionInvoke)                  \
    X(Terminate, FinaleExtensionTerminate)

// The exports as values, for code that looks them up by name.
enum class PluginExport : int {
#define BEATCLONE_EXPORT_ID(id, name) id,
    BEATCLONE_PLUGIN_EXPORTS(BEATCLONE_EXPORT_ID)
#undef BEATCLONE_EXPORT_ID
        Count
};
inline constexpr int kPluginExportCount = static_cast<int>(PluginExport::Count);

// The export's C name; null for an index out of range.
constexpr const char* PluginExportName(PluginExport e) {
    constexpr const char* kNames[kPluginExportCount] = {
#define BEATCLONE_EXPORT_NAME(id, name) #name,
        BEATCLONE_PLUGIN_EXPORTS(BEATCLONE_EXPORT_NAME)
#undef BEATCLONE_EXPORT_NAME
    };
    const int i = static_cast<int>(e);
    return i >= 0 && i < kPluginExportCount ? kNames[i] : nullptr;
}

// The export's C type: PluginExportFn<PluginExport::Invoke> is FinaleExtensionInvokeFn.
template <PluginExport>
struct PluginExportType;
#define BEATCLONE_EXPORT_TYPE(id, name)         \
    template <>                                 \
    struct PluginExportType<PluginExport::id> { \
        using Fn = name##Fn;                    \
    };
BEATCLONE_PLUGIN_EXPORTS(BEATCLONE_EXPORT_TYPE)
#undef BEATCLONE_EXPORT_TYPE
template <PluginExport e>
using PluginExportFn = typename PluginExportType<e>::Fn;
