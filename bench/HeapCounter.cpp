#include "bench/HeapCounter.h"

#include "simhost/SimHost.h"

#include <cstdlib>
#include <new>

namespace {

// Each block starts with its size and whether the module allocated it.
struct alignas(std::max_align_t) Header {
    size_t size;
    bool module;
};

size_t gModule = 0;
size_t gModulePeak = 0;
size_t gTotal = 0;
size_t gTotalPeak = 0;

void* Allocate(size_t size) {
    auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
    if (header == nullptr) throw std::bad_alloc();
    header->size = size;
    header->module = !simhost::InsideHostCall();
    gTotal += size;
    if (gTotal > gTotalPeak) gTotalPeak = gTotal;
    if (header->module) {
        gModule += size;
        if (gModule > gModulePeak) gModulePeak = gModule;
    }
    return header + 1;
}

void Release(void* p) {
    if (p == nullptr) return;
    Header* header = static_cast<Header*>(p) - 1;
    gTotal -= header->size;
    if (header->module) gModule -= header->size;
    std::free(header);
}

} // namespace

namespace heapcounter {
size_t ModuleInUse() { return gModule; }
size_t ModulePeak() { return gModulePeak; }
size_t TotalInUse() { return gTotal; }
size_t TotalPeak() { return gTotalPeak; }
void ResetPeaks() {
    gModulePeak = gModule;
    gTotalPeak = gTotal;
}
} // namespace heapcounter

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
