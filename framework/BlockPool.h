// Memory for many small objects of one size that come and go together, such as the entry and
// note wrappers of a layer: blocks given back wait on a list and are handed out again, so that
// loading and dropping a layer does not go to the general heap once per wrapper. The module
// runs on the host's thread alone. At most kMaxKept blocks wait; more go back to the heap.
// Under AddressSanitizer every block comes from the heap, so that a stale wrapper still shows.
#pragma once

#include <cstddef>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define BEATCLONE_BLOCK_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BEATCLONE_BLOCK_POOL_BYPASS 1
#endif
#endif
#ifndef BEATCLONE_BLOCK_POOL_BYPASS
#define BEATCLONE_BLOCK_POOL_BYPASS 0
#endif

template <size_t Bytes>
class BlockPool {
public:
    static constexpr size_t kMaxKept = size_t{1} << 16;

    // A block of `bytes`; only blocks of exactly `Bytes` come from the list.
    static void* Take(size_t bytes) {
        if (bytes != Bytes || BEATCLONE_BLOCK_POOL_BYPASS || free_ == nullptr) return ::operator new(bytes);
        Link* block = free_;
        free_ = block->next;
        --kept_;
        return block;
    }
    // Gives back a block from Take with the same `bytes`.
    static void Give(void* block, size_t bytes) {
        if (block == nullptr) return;
        if (bytes != Bytes || BEATCLONE_BLOCK_POOL_BYPASS || kept_ >= kMaxKept) {
            ::operator delete(block);
            return;
        }
        free_ = new (block) Link{free_};
        ++kept_;
    }
    static size_t Kept() { return kept_; }

private:
    struct Link {
        Link* next;
    };
    static_assert(Bytes >= sizeof(Link), "a block must hold the list's link");
    static inline Link* free_ = nullptr;
    static inline size_t kept_ = 0;
};
