#include "framework/FCCollection.h"

#include "framework/BlockPool.h"

#include <algorithm>

namespace {

// The first growth: most collections (an entry's notes) never need more.
constexpr int32_t kFirstCapacity = 10;
using FirstSlots = BlockPool<kFirstCapacity * sizeof(__FCBase*)>;

__FCBase** NewSlots(int32_t capacity) {
    return static_cast<__FCBase**>(FirstSlots::Take(static_cast<size_t>(capacity) * sizeof(__FCBase*)));
}

void FreeSlots(__FCBase** slots, int32_t capacity) {
    FirstSlots::Give(slots, static_cast<size_t>(capacity) * sizeof(__FCBase*));
}

} // namespace

__FCCollection::~__FCCollection() {
    ClearAll();
    FreeSlots(items_, capacity_);
}

const char* __FCCollection::ClassName() const { return "__FCCollection"; }

void __FCCollection::Add(__FCBase* item) {
    ReserveRoom(1);
    items_[count_] = item;
    ++count_;
}

void __FCCollection::ReserveRoom(int32_t k) {
    if (capacity_ >= count_ + k) return;
    const int32_t step = count_ > 10000 ? 1000 : count_ > 1000 ? 100 : count_ > 100 ? 50 : 10;
    const int32_t newCapacity = step * ((count_ + k + step) / step);
    __FCBase** grown = NewSlots(newCapacity);
    std::copy(items_, items_ + count_, grown);
    std::fill(grown + count_, grown + newCapacity, nullptr);
    FreeSlots(items_, capacity_);
    items_ = grown;
    capacity_ = newCapacity;
}

void __FCCollection::ClearAll() {
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[i] != nullptr) {
            delete items_[i];
            items_[i] = nullptr;
        }
    }
    count_ = 0;
}

int32_t __FCCollection::ForEach(ItemVisitor* visitor) {
    int32_t visited = 0;
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[i] == nullptr) continue;
        if (!visitor->Visit(items_[i])) break;
        ++visited;
    }
    return visited;
}

__FCBase* __FCCollection::FindFirst(ItemVisitor* visitor) {
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[i] != nullptr && visitor->Matches(items_[i])) return items_[i];
    }
    return nullptr;
}

int32_t __FCCollection::ForEachIndex(ItemVisitor* visitor) {
    int32_t visited = 0;
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[i] == nullptr) continue;
        if (!visitor->VisitWithIndex(items_[i], i)) break;
        ++visited;
    }
    return visited;
}
