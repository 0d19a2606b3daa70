#include "cli/musicxml/TreeArena.h"

#include <pugixml.hpp>

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
#if defined(MADV_HUGEPAGE)
#define BEATCLONE_TREE_ARENA 1
#endif
#endif
#ifndef BEATCLONE_TREE_ARENA
#define BEATCLONE_TREE_ARENA 0
#endif

namespace beatclone::cli {

#if BEATCLONE_TREE_ARENA
namespace {

constexpr size_t kKiB = 1024;
constexpr size_t kMiB = 1024 * kKiB;
constexpr size_t kHugePage = 2 * kMiB;
constexpr size_t kSmallPage = 4 * kKiB;

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
// Regions grow with what has been mapped, between these; from kHugeFrom on they are asked to
// be backed by huge pages, so that a small score does not clear 2 MiB pages it never fills.
constexpr size_t kFirstRegion = 2 * kMiB;
constexpr size_t kLargestRegion = 64 * kMiB;
constexpr size_t kHugeFrom = 8 * kMiB;

struct FreeBlock {
    FreeBlock* next;
};

FreeBlock* freeBlocks[kClasses] = {};
std::byte* regionNext = nullptr;
std::byte* regionEnd = nullptr;
size_t regionBytesMapped = 0;

size_t RoundUp(size_t n, size_t step) { return (n + step - 1) / step * step; }

size_t ClassIndex(size_t bytes) {
    return bytes <= kFineLimit ? bytes / kFineStep : kFineLimit / kFineStep + bytes / kCoarseStep;
}

// `bytes` of fresh memory (a multiple of 4 KiB), 2 MiB-aligned when `huge`, its whole huge
// pages then advised: a tail left in small pages holds no more than it is given.
std::byte* Map(size_t bytes, bool huge) {
    const size_t slack = huge ? kHugePage : 0;
    void* mapped = ::mmap(nullptr, bytes + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    auto* base = static_cast<std::byte*>(mapped);
    if (huge) {
        const auto address = reinterpret_cast<uintptr_t>(base);
        const size_t head = RoundUp(address, kHugePage) - address;
        if (head > 0) ::munmap(base, head);
        if (slack - head > 0) ::munmap(base + head + bytes, slack - head);
        base += head;
        ::madvise(base, bytes / kHugePage * kHugePage, MADV_HUGEPAGE); // a hint: without it the pages are small
    }
    return base;
}

void* OwnMapping(size_t bytes) {
    const bool huge = bytes >= 2 * kHugePage;
    const size_t length = RoundUp(bytes, kSmallPage);
    std::byte* base = Map(length, huge);
    if (base == nullptr) return nullptr;
    *reinterpret_cast<Header*>(base) = Header{bytes, length};
    return base + sizeof(Header);
}

bool NewRegion(size_t atLeast) {
    size_t bytes = regionBytesMapped < kFirstRegion ? kFirstRegion : regionBytesMapped;
    if (bytes > kLargestRegion) bytes = kLargestRegion;
    bytes = RoundUp(bytes < atLeast ? atLeast : bytes, kHugePage);
    std::byte* base = Map(bytes, bytes >= kHugeFrom);
    if (base == nullptr) return false;
    // What is left of the old region stays unused: less than one block of the size asked.
    regionNext = base;
    regionEnd = base + bytes;
    regionBytesMapped += bytes;
    return true;
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
