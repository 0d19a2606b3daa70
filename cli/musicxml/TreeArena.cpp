#include "cli/musicxml/TreeArena.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define BEATCLONE_TREE_ARENA 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BEATCLONE_TREE_ARENA 0
#endif
#endif
#if !defined(BEATCLONE_TREE_ARENA) && defined(__linux__)
#include <sys/mman.h>
#define BEATCLONE_TREE_ARENA 1
#endif
#ifndef BEATCLONE_TREE_ARENA
#define BEATCLONE_TREE_ARENA 0
#endif

namespace beatclone::cli {

#if BEATCLONE_TREE_ARENA
namespace {

constexpr size_t kKiB = 1024;
constexpr size_t kMiB = 1024 * kKiB;
constexpr size_t kPage = 4 * kKiB;

// Every block is preceded by its header, which keeps blocks 16-aligned.
struct Header {
    size_t bytes;  // the block's whole size, header included: its size class
    size_t mapped; // the length of the block's own mapping, or 0 for a block cut from a region
};
static_assert(sizeof(Header) == 16);

// Size classes: 16-byte steps up to 64 KiB (pugixml's pages and strings), 64 KiB steps up to
// 1 MiB. A larger block has a mapping of its own, unmapped when it is given back.
constexpr size_t kFineStep = 16;
constexpr size_t kFineLimit = 64 * kKiB;
constexpr size_t kCoarseStep = 64 * kKiB;
constexpr size_t kCoarseLimit = 1 * kMiB;
constexpr size_t kClasses = kFineLimit / kFineStep + kCoarseLimit / kCoarseStep + 1;
// Regions grow with what has been mapped, between these.
constexpr size_t kFirstRegion = 2 * kMiB;
constexpr size_t kLargestRegion = 64 * kMiB;
// A region's pages are made ahead of the blocks cut from it, an eighth of the region at a
// time within these bounds: a small score is not given megabytes it never uses.
constexpr size_t kLeastAhead = 64 * kKiB;
constexpr size_t kMostAhead = 2 * kMiB;

struct FreeBlock {
    FreeBlock* next;
};

FreeBlock* freeBlocks[kClasses] = {};
std::byte* regionNext = nullptr;
std::byte* regionMade = nullptr; // the region's pages are made up to here
std::byte* regionEnd = nullptr;
size_t regionBytes = 0;       // the current region's size
size_t regionBytesMapped = 0; // all regions' sizes

size_t RoundUp(size_t n, size_t step) { return (n + step - 1) / step * step; }

size_t ClassIndex(size_t bytes) {
    return bytes <= kFineLimit ? bytes / kFineStep : kFineLimit / kFineStep + bytes / kCoarseStep;
}

// Makes the pages of [from, from + bytes) in one call rather than one fault each. A hint: where
// the kernel has no such call, the pages are made as they are first written, as ever.
void MakePages(std::byte* from, size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
    ::madvise(from, bytes, MADV_POPULATE_WRITE);
#else
    (void)from;
    (void)bytes;
#endif
}

std::byte* Map(size_t bytes) {
    void* mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return mapped == MAP_FAILED ? nullptr : static_cast<std::byte*>(mapped);
}

// A block too large for a region: pugixml writes all of it (a score's text, a long string), so
// all its pages are made at once.
void* OwnMapping(size_t bytes) {
    const size_t length = RoundUp(bytes, kPage);
    std::byte* base = Map(length);
    if (base == nullptr) return nullptr;
    MakePages(base, length);
    *reinterpret_cast<Header*>(base) = Header{bytes, length};
    return base + sizeof(Header);
}

bool NewRegion(size_t atLeast) {
    size_t bytes = regionBytesMapped < kFirstRegion ? kFirstRegion : regionBytesMapped;
    if (bytes > kLargestRegion) bytes = kLargestRegion;
    bytes = RoundUp(bytes < atLeast ? atLeast : bytes, kPage);
    std::byte* base = Map(bytes);
    if (base == nullptr) return false;
    // What is left of the old region stays unused: less than one block of the size asked.
    regionNext = base;
    regionMade = base;
    regionEnd = base + bytes;
    regionBytes = bytes;
    regionBytesMapped += bytes;
    return true;
}

// Makes the region's pages up to at least `upTo`.
void MakeRegionPages(const std::byte* upTo) {
    const size_t ahead = std::clamp(regionBytes / 8, kLeastAhead, kMostAhead);
    while (regionMade < upTo) {
        const size_t bytes = std::min(ahead, static_cast<size_t>(regionEnd - regionMade));
        MakePages(regionMade, bytes);
        regionMade += bytes;
    }
}

} // namespace

bool TreeArena::Available() { return true; }

bool TreeArena::Install() {
    pugi::set_memory_management_functions(Allocate, Deallocate);
    return true;
}

void* TreeArena::Allocate(size_t bytes) {
    if (bytes > SIZE_MAX / 2) return nullptr;
    // Room for the link a block given back holds, even for an empty one.
    const size_t whole = sizeof(Header) + (bytes < sizeof(FreeBlock) ? sizeof(FreeBlock) : bytes);
    if (whole > kCoarseLimit) return OwnMapping(whole);
    const size_t size = RoundUp(whole, whole <= kFineLimit ? kFineStep : kCoarseStep);
    FreeBlock*& reused = freeBlocks[ClassIndex(size)];
    if (reused != nullptr) {
        FreeBlock* block = reused;
        reused = block->next;
        return block;
    }
    if (static_cast<size_t>(regionEnd - regionNext) < size && !NewRegion(size)) return nullptr;
    auto* header = reinterpret_cast<Header*>(regionNext);
    regionNext += size;
    if (regionNext > regionMade) MakeRegionPages(regionNext);
    *header = Header{size, 0};
    return header + 1;
}

void TreeArena::Deallocate(void* block) {
    if (block == nullptr) return;
    Header* header = static_cast<Header*>(block) - 1;
    if (header->mapped != 0) {
        ::munmap(header, header->mapped);
        return;
    }
    FreeBlock*& list = freeBlocks[ClassIndex(header->bytes)];
    list = new (block) FreeBlock{list};
}

#else

bool TreeArena::Available() { return false; }
bool TreeArena::Install() { return false; }
void* TreeArena::Allocate(size_t bytes) { return ::operator new(bytes, std::nothrow); }
void TreeArena::Deallocate(void* block) { ::operator delete(block); }

#endif

} // namespace beatclone::cli
