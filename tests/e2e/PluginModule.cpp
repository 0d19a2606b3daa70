#include "tests/e2e/PluginModule.h"

bool PluginModule::BindExports() {
    Version = reinterpret_cast<decltype(Version)>(Find("FinaleExtensionVersion"));
    Init = reinterpret_cast<decltype(Init)>(Find("FinaleExtensionInit"));
    Enumerate = reinterpret_cast<decltype(Enumerate)>(Find("FinaleExtensionEnumerate"));
    EnumerateUtf16 = reinterpret_cast<decltype(EnumerateUtf16)>(Find("FinaleExtensionEnumerate_UTF16"));
    GetMenuStatus = reinterpret_cast<decltype(GetMenuStatus)>(Find("FinaleExtensionGetMenuStatus"));
    Invoke = reinterpret_cast<decltype(Invoke)>(Find("FinaleExtensionInvoke"));
    Terminate = reinterpret_cast<decltype(Terminate)>(Find("FinaleExtensionTerminate"));
    return error_.empty();
}

void PluginModule::ForgetExports() {
    if (handle_ != nullptr && Terminate != nullptr) Terminate();
    error_.clear();
    Version = nullptr;
    Init = nullptr;
    Enumerate = nullptr;
    EnumerateUtf16 = nullptr;
    GetMenuStatus = nullptr;
    Invoke = nullptr;
    Terminate = nullptr;
}
