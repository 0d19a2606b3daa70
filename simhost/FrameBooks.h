// The stand-in host's books on the frames it lends: where each came from, the guarded memory
// behind it, and what became of it. With the checks on (the default), frames given back are
// kept poisoned in quarantine, not reused, so that a later use of one is recognised as such
// rather than mistaken for a different frame, and a write into one shows; guard bytes are
// looked at on every call. With them off, memory given back is used again at once, and only
// the checks that keep the host inside its own memory remain: pointers and counts.
#pragma once

#include "host/HostRecords.h"
#include "simhost/FrameIndex.h"
#include "simhost/GuardedBlock.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace simhost {

// What LoadTGF was asked for, and the document and staff that meant.
struct FrameOrigin {
    int16_t document;
    uint16_t slotList;
    uint16_t slot;
    int16_t measure;
    int16_t layer;
    int16_t instrument;
};

// One frame lent to the module.
struct LentFrame {
    // The payloads of `memory`.
    static constexpr size_t kHeader = 0;
    static constexpr size_t kEntries = 1;
    static constexpr size_t kTuplets = 2;

    FrameOrigin origin{};
    uint64_t serial = 0;       // 1 for the first frame lent since the books were cleared
    GuardedBlock memory;       // the TgfFrame, its entries and its tuplets: one allocation
    GuardedBlock movedEntries; // the entries once an insert or delete gave them a new array
    bool entriesMoved = false;
    bool live = true;
    bool damageReported = false;

    TgfFrame& Frame() const { return *reinterpret_cast<TgfFrame*>(memory.Data(kHeader)); }
    std::byte* EntryData() const { return entriesMoved ? movedEntries.Data() : memory.Data(kEntries); }
    size_t EntryBytes() const { return entriesMoved ? movedEntries.PayloadBytes() : memory.PayloadBytes(kEntries); }
    int EntryCapacity() const { return static_cast<int>(EntryBytes() / sizeof(EntryRecord)); }
    int TupletCapacity() const { return static_cast<int>(memory.PayloadBytes(kTuplets) / sizeof(FrameTupletRecord)); }
    // The records' bytes the module sees: header, entries and tuplet placements.
    size_t Bytes() const { return memory.PayloadBytes(kHeader) + EntryBytes() + memory.PayloadBytes(kTuplets); }
    // All payload bytes held, a retired entry array included.
    size_t HeldBytes() const {
        return memory.PayloadBytes(kHeader) + memory.PayloadBytes(kEntries) + memory.PayloadBytes(kTuplets) +
               movedEntries.PayloadBytes();
    }
    // "frame #3 (slot 2, measure 4, layer 0)", from the books, never from the frame's memory.
    std::string Describe() const;
};

class FrameBooks {
public:
    // Problems found are appended to `problems`.
    explicit FrameBooks(std::vector<std::string>& problems);
    ~FrameBooks();

    // Switching the checks off looks at the quarantine a last time and releases it.
    void SetChecks(bool on);
    bool ChecksOn() const { return checks_; }

    // Zeroed payloads between guards: with the checks off, memory given back before is
    // used again when it is of the same size class.
    GuardedBlock NewBlock(std::initializer_list<size_t> payloadBytes);

    // A new frame echoing `origin`, holding copies of `entries` and `tuplets`.
    TgfFrame* Lend(const FrameOrigin& origin, std::span<const EntryRecord> entries,
                   std::span<const FrameTupletRecord> tuplets);

    // The live frame at `frame`. Null, with a problem recorded, for a frame that was given
    // back (`freeing` tells a second free from a use) or that the host never lent; null
    // without a problem for a null pointer.
    LentFrame* Find(const TgfFrame* frame, const char* function, bool freeing);
    // Whether the frame's guards are intact and its arrays and counts are the ones lent, so
    // that everything its header points at lies inside host memory. Records the first damage.
    bool Intact(LentFrame& lent, const char* function);
    // Takes a live frame back; its memory goes into quarantine, or is released.
    void Release(LentFrame& lent);
    // Gives a live frame a new entry array of `count` records; the old array goes into
    // quarantine, so that a stale pointer to it never reaches live memory.
    void ReplaceEntries(LentFrame& lent, GuardedBlock fresh, int16_t count);

    size_t LiveCount() const { return liveCount_; }
    size_t BytesNow() const { return bytesNow_; }
    size_t BytesPeak() const { return bytesPeak_; }

    // Records a problem per frame still lent and per quarantined block written to after it
    // was given back. Answers the number of frames still lent.
    size_t Audit();
    // Forgets everything and releases all memory, quarantine included.
    void Clear();

private:
    // A replaced entry array of its own, with the frame it belonged to (described only if it
    // is found written to).
    struct Retired {
        GuardedBlock block;
        uint64_t serial;
        FrameOrigin origin;
        bool reported = false;
    };
    void Problem(const char* function, const LentFrame& lent, const char* what);
    void CheckRetired(Retired& retired);
    void CheckRetiredInPlace(LentFrame& lent);
    void CheckFreed(LentFrame& lent);
    void TrimQuarantine(size_t limit);
    // A record from the pool; records are reused, so lending allocates only the frame's memory.
    LentFrame* NewRecord();
    // Drops the frame from the books and releases its memory.
    void Forget(LentFrame& lent);
    // Keeps the memory of a block given back for NewBlock (up to a bound), or releases it.
    void Recycle(GuardedBlock&& block);
    void ReleaseSpareMemory();

    std::vector<std::string>& problems_;
    bool checks_ = true;
    FrameIndex index_; // live frames, and quarantined ones
    std::vector<std::unique_ptr<LentFrame[]>> pool_;
    std::vector<LentFrame*> spare_;
    std::vector<std::vector<std::byte*>> spareMemory_; // by size class
    size_t spareBytes_ = 0;
    std::deque<LentFrame*> freedOrder_; // oldest first
    std::deque<Retired> retiredArrays_; // oldest first
    size_t quarantinedBytes_ = 0;
    uint64_t lent_ = 0;
    size_t liveCount_ = 0;
    size_t bytesNow_ = 0;
    size_t bytesPeak_ = 0;
};

} // namespace simhost
