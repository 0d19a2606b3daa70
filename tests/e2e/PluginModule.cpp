#include "tests/e2e/PluginModule.h"

bool PluginModule::BindExports() {
#define BEATCLONE_BIND_EXPORT(id, name) id = reinterpret_cast<name##Fn>(Find(PluginExportName(PluginExport::id)));
    BEATCLONE_PLUGIN_EXPORTS(BEATCLONE_BIND_EXPORT)
#undef BEATCLONE_BIND_EXPORT
    return error_.empty();
}

void PluginModule::ForgetExports() {
    if (handle_ != nullptr && Terminate != nullptr) Terminate();
    error_.clear();
#define BEATCLONE_FORGET_EXPORT(id, name) id = nullptr;
    BEATCLONE_PLUGIN_EXPORTS(BEATCLONE_FORGET_EXPORT)
#undef BEATCLONE_FORGET_EXPORT
}
