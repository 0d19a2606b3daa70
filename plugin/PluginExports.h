// The module's exports as the module declares them: the seven functions of ExportTypes.h,
// exported under their C names.
#pragma once

#include "plugin/ExportTypes.h"

#include <type_traits>

#if defined(_WIN32)
#define BEATCLONE_EXPORT __declspec(dllexport)
#else
#define BEATCLONE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
#define BEATCLONE_DECLARE_EXPORT(id, name) BEATCLONE_EXPORT std::remove_pointer_t<name##Fn> name;
BEATCLONE_PLUGIN_EXPORTS(BEATCLONE_DECLARE_EXPORT)
#undef BEATCLONE_DECLARE_EXPORT
}
