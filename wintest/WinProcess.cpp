#include "wintest/WinProcess.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace wintest {

namespace {

std::u16string ExecutablePath() {
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The headers of a module mapped by the loader, null when `module` is not one.
const IMAGE_NT_HEADERS64* NtHeaders(void* module) {
    if (module == nullptr) return nullptr;
    const auto* base = static_cast<const uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        return nullptr;
    }
    return nt;
}

const IMAGE_DATA_DIRECTORY* Directory(void* module, int index) {
    const IMAGE_NT_HEADERS64* nt = NtHeaders(module);
    if (nt == nullptr || nt->OptionalHeader.NumberOfRvaAndSizes <= static_cast<DWORD>(index)) return nullptr;
    const IMAGE_DATA_DIRECTORY* directory = &nt->OptionalHeader.DataDirectory[index];
    return directory->VirtualAddress == 0 ? nullptr : directory;
}

// The import address table slot for dll!function, null when there is none.
void** ImportSlot(void* module, const char* dll, const char* function) {
    const IMAGE_DATA_DIRECTORY* directory = Directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (directory == nullptr) return nullptr;
    auto* base = static_cast<uint8_t*>(module);
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory->VirtualAddress); d->Name != 0; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
        if (d->OriginalFirstThunk == 0) continue; // names already overwritten by addresses
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "crash: exception 0x%08lx at %p\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                 info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

std::string ExecutableName() {
    const std::u16string path = ExecutablePath();
    std::string name;
    for (size_t i = path.find_last_of(u"\\/") + 1; i < path.size(); ++i) name += static_cast<char>(path[i]);
    return name;
}

std::u16string PluginPath() {
    std::u16string path = ExecutablePath();
    path.resize(path.find_last_of(u"\\/") + 1);
    return path + u"Plug-ins\\beatclone.fxt";
}

void* LoadedModule(const char* name) { return reinterpret_cast<void*>(GetModuleHandleA(name)); }

void* ExportedAddress(void* module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

std::vector<std::string> ExportedNames(void* module) {
    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY* directory = Directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (directory == nullptr) return names;
    const auto* base = static_cast<const uint8_t*>(module);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory->VirtualAddress);
    const auto* nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        names.emplace_back(reinterpret_cast<const char*>(base + nameTable[i]));
    }
    return names;
}

void* ImportedAddress(void* module, const char* dll, const char* function) {
    void** slot = ImportSlot(module, dll, function);
    return slot == nullptr ? nullptr : *slot;
}

void* RedirectImport(void* module, const char* dll, const char* function, void* replacement) {
    void** slot = ImportSlot(module, dll, function);
    if (slot == nullptr) return nullptr;
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return nullptr;
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), slot, sizeof *slot);
    return previous;
}

void ExitOnCrash() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(&ReportCrash);
}

} // namespace wintest
