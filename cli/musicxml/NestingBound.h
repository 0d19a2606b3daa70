// How deep a score's elements nest at most, counted off its text as it is read, 64 bytes at a
// time: a walk over the parsed tree, several times the text's size in memory, costs more.
//
// The count is sure where each '<' is closed by a '>' before the next '<' opens, as in any
// markup whose comments, attribute values and character data hold neither '<' nor '>'. Text
// that breaks that rule gets no bound, and the tree is walked as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace beatclone::cli {

class NestingBound {
public:
    // `wide`: 32-byte vectors where the processor has them (AVX2), else 16-byte ones; the
    // count is the same either way.
    explicit NestingBound(bool wide = true);

    // Counts data[0, size), the text read so far, on from where the last call stopped. Until
    // `complete`, the last block waits for the next call.
    void Scan(const char* data, size_t size, bool complete);

    // At least the depth of the deepest element (the root element being 1), for text that
    // parses; nothing when the text was not scanned whole or the count was not sure.
    std::optional<size_t> Bound() const;

    // The count carried from one 64-byte block to the next.
    struct Count {
        int64_t depth = 0;
        int64_t bound = 0;
        bool inside = false;     // a '<' is open
        bool inSpecial = false;  // ... and it opened "<!" or "<?"
        bool afterSlash = false; // the byte before is '/'
        bool sure = true;
    };

private:
    bool wide_;
    size_t at_ = 0;
    Count count_;
    bool complete_ = false;
};

} // namespace beatclone::cli
