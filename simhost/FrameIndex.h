// The stand-in host's lent frames by the address of their header. Open addressing in one
// array, so that lending a frame allocates nothing beyond the frame itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TgfFrame;

namespace simhost {

struct LentFrame;

class FrameIndex {
public:
    // Null when the address is not in the index.
    LentFrame* Find(const TgfFrame* key) const;
    // `key` must not be in the index yet.
    void Insert(const TgfFrame* key, LentFrame* frame);
    void Erase(const TgfFrame* key);
    void Clear();
    size_t Size() const { return size_; }

    template <typename Visit>
    void ForEach(Visit visit) const {
        for (const Slot& slot : slots_) {
            if (slot.key != nullptr) visit(*slot.frame);
        }
    }

private:
    struct Slot {
        const TgfFrame* key = nullptr;
        LentFrame* frame = nullptr;
    };
    size_t Home(const TgfFrame* key) const;
    void Grow();

    std::vector<Slot> slots_; // a power of two in size, at most half full
    size_t size_ = 0;
};

} // namespace simhost
