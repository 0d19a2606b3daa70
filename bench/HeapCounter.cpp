#include "bench/HeapCounter.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {
size_t gInUse = 0;
size_t gPeak = 0;

void* Allocate(size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    gInUse += malloc_usable_size(p);
    if (gInUse > gPeak) gPeak = gInUse;
    return p;
}

void Release(void* p) {
    if (p == nullptr) return;
    gInUse -= malloc_usable_size(p);
    std::free(p);
}
} // namespace

namespace heapcounter {
size_t InUse() { return gInUse; }
size_t Peak() { return gPeak; }
void ResetPeak() { gPeak = gInUse; }
} // namespace heapcounter

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
