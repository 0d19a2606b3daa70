// An owning, append-only collection of framework objects. It grows in steps of 10, 50, 100 or
// 1000 slots chosen by its item count, and never shrinks.
#pragma once

#include "framework/FCBase.h"

#include <cstdint>

// The callback that the iteration operations take.
class ItemVisitor {
public:
    virtual ~ItemVisitor() = default;
    // False ends the walk.
    virtual bool Visit(__FCBase* item) = 0;
    // False ends the walk.
    virtual bool VisitWithIndex(__FCBase* item, int32_t index) = 0;
    virtual bool Matches(__FCBase* item) = 0;
};

class __FCIteratorBase : public __FCBase {};

class __FCCollection : public __FCIteratorBase {
public:
    __FCCollection() = default;
    __FCCollection(const __FCCollection&) = delete;
    __FCCollection& operator=(const __FCCollection&) = delete;
    // Deletes every item still held, then the slot array. A borrowing collection sets its
    // count to 0 first.
    ~__FCCollection() override;

    const char* ClassName() const override;

    // Number of items visited; stops after the first false answer. Items appended during the
    // walk are visited too; null slots are skipped.
    virtual int32_t ForEach(ItemVisitor* visitor);
    // The first item the visitor matches, or null.
    virtual __FCBase* FindFirst(ItemVisitor* visitor);
    // As ForEach, with each item's slot index.
    virtual int32_t ForEachIndex(ItemVisitor* visitor);

    int32_t GetCount() const { return count_; }
    int32_t GetCapacity() const { return capacity_; }
    // Null for a negative index, one not below the count, or before the first growth.
    __FCBase* GetItemAt(int32_t index) const {
        return index < 0 || index >= count_ || items_ == nullptr ? nullptr : items_[index];
    }
    // Appends; the collection owns the item from now on.
    void Add(__FCBase* item);
    // Room for k more items.
    void ReserveRoom(int32_t k);
    // Deletes every non-null item in index order; the count becomes 0, the array stays.
    void ClearAll();

protected:
    // For collections that borrow their items: forget them without deleting.
    void ForgetItems() { count_ = 0; }

private:
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    __FCBase** items_ = nullptr;
};
