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
    // Counts data[0, size), the text read so far, on from where the last call stopped. Until
    // `complete`, the last block waits for the next call.
    void Scan(const char* data, size_t size, bool complete);

    // At least the depth of the deepest element (the root element being 1), for text that
    // parses; nothing when the text was not scanned whole or the count was not sure.
    std::optional<size_t> Bound() const;

private:
    // The 64 bytes at `s`; `next` is the byte after them (0 at the end of the text).
    void CountBlock(const unsigned char* s, unsigned char next);
    // The same for a block with a declaration, comment or processing instruction in it, whose
    // '>' may follow a '/' without closing an empty element: event by event.
    void CountEvents(const unsigned char* s, unsigned char next, uint64_t lt, uint64_t gt);

    size_t at_ = 0;
    int64_t depth_ = 0;
    int64_t bound_ = 0;
    bool inside_ = false;     // a '<' is open before at_
    bool inSpecial_ = false;  // ... and it opened "<!" or "<?"
    bool afterSlash_ = false; // the byte before at_ is '/'
    bool sure_ = true;
    bool complete_ = false;
};

} // namespace beatclone::cli
