// pugixml's memory in the command. A parsed score's tree is several times the size of its
// text, and pugixml asks for it 32 KiB at a time: a 40 MB score's memory is made page by page,
// in some 40,000 page faults that cost as much time as the parse. The arena cuts those blocks
// from large mappings whose pages Linux makes ahead of use, many in one call, and keeps blocks
// given back on lists by size for pugixml to take again. (Huge pages would spare the faults
// too, but on a virtual machine one run in six then took four times as long, the time spent
// clearing them.) Everything is single-threaded, as the command is.
#pragma once

#include <cstddef>

namespace beatclone::cli {

class TreeArena {
public:
    // Makes the arena pugixml's allocator; call before the first document exists, since a
    // block is given back to the allocator it came from. False, changing nothing, where the
    // arena is not used: off Linux, and under AddressSanitizer, which watches the heap.
    static bool Install();
    // Whether Install would make the arena pugixml's allocator; where not, Allocate and
    // Deallocate are the plain heap.
    static bool Available();

    // A block of at least `bytes`, aligned to 16; null when the system has no memory left.
    static void* Allocate(size_t bytes);
    // Gives back a block from Allocate; null is ignored.
    static void Deallocate(void* block);
};

} // namespace beatclone::cli
