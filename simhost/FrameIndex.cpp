#include "simhost/FrameIndex.h"

#include <utility>

namespace simhost {

size_t FrameIndex::Home(const TgfFrame* key) const {
    // Fibonacci hashing of the address; the low bits are alignment and say nothing.
    const uint64_t bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) >> 4;
    return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
}

LentFrame* FrameIndex::Find(const TgfFrame* key) const {
    if (slots_.empty() || key == nullptr) return nullptr;
    for (size_t i = Home(key);; i = (i + 1) & (slots_.size() - 1)) {
        if (slots_[i].key == key) return slots_[i].frame;
        if (slots_[i].key == nullptr) return nullptr;
    }
}

void FrameIndex::Insert(const TgfFrame* key, LentFrame* frame) {
    if (2 * (size_ + 1) > slots_.size()) Grow();
    size_t i = Home(key);
    while (slots_[i].key != nullptr) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = Slot{key, frame};
    ++size_;
}

void FrameIndex::Erase(const TgfFrame* key) {
    if (slots_.empty() || key == nullptr) return;
    const size_t mask = slots_.size() - 1;
    size_t hole = Home(key);
    while (slots_[hole].key != key) {
        if (slots_[hole].key == nullptr) return;
        hole = (hole + 1) & mask;
    }
    // Later slots of the same run move back into the hole when their home lets them, so that
    // no search stops early at an empty slot.
    for (size_t next = (hole + 1) & mask; slots_[next].key != nullptr; next = (next + 1) & mask) {
        const size_t home = Home(slots_[next].key);
        const bool movable = hole <= next ? (home <= hole || home > next) : (home <= hole && home > next);
        if (!movable) continue;
        slots_[hole] = slots_[next];
        hole = next;
    }
    slots_[hole] = Slot{};
    --size_;
}

void FrameIndex::Clear() {
    slots_.clear();
    size_ = 0;
}

void FrameIndex::Grow() {
    const size_t grown = slots_.empty() ? 64 : 2 * slots_.size();
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(grown));
    size_ = 0;
    for (const Slot& slot : old) {
        if (slot.key != nullptr) Insert(slot.key, slot.frame);
    }
}

} // namespace simhost
