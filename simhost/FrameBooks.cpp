#include "simhost/FrameBooks.h"

#include <cstring>
#include <utility>

namespace simhost {
namespace {

// Quarantined memory is released oldest first beyond this, so that long benchmark runs
// without a Reset stay bounded; use-after-free is then caught for the most recent frames only.
constexpr size_t kQuarantineLimit = size_t{64} << 20;
// Records are made this many at a time.
constexpr size_t kPoolChunk = 256;
// Memory kept for reuse with the checks off.
constexpr size_t kSpareLimit = size_t{32} << 20;

// Capacities come from GuardedBlock::CapacityFor: steps up to the limit, powers of two beyond.
size_t SizeClass(size_t capacity) {
    size_t c = GuardedBlock::kFineClassLimit / GuardedBlock::kFineClassStep;
    if (capacity <= GuardedBlock::kFineClassLimit) return capacity / GuardedBlock::kFineClassStep;
    for (size_t bytes = GuardedBlock::kFineClassLimit; bytes < capacity; bytes *= 2) ++c;
    return c;
}

std::string DescribeFrame(uint64_t serial, const FrameOrigin& origin) {
    return "frame #" + std::to_string(serial) + " (slot " + std::to_string(origin.slot) + ", measure " +
           std::to_string(origin.measure) + ", layer " + std::to_string(origin.layer) + ")";
}

} // namespace

std::string LentFrame::Describe() const { return DescribeFrame(serial, origin); }

FrameBooks::FrameBooks(std::vector<std::string>& problems) : problems_(problems) {}

FrameBooks::~FrameBooks() { ReleaseSpareMemory(); }

void FrameBooks::SetChecks(bool on) {
    if (!on) TrimQuarantine(0);
    if (on) ReleaseSpareMemory();
    checks_ = on;
}

LentFrame* FrameBooks::NewRecord() {
    if (spare_.empty()) {
        pool_.push_back(std::make_unique<LentFrame[]>(kPoolChunk));
        for (size_t i = kPoolChunk; i > 0; --i) spare_.push_back(&pool_.back()[i - 1]);
    }
    LentFrame* record = spare_.back();
    spare_.pop_back();
    return record;
}

void FrameBooks::Forget(LentFrame& lent) {
    index_.Erase(&lent.Frame());
    if (!checks_) {
        Recycle(std::move(lent.memory));
        Recycle(std::move(lent.movedEntries));
    }
    lent.origin = FrameOrigin{};
    lent.serial = 0;
    lent.memory = GuardedBlock();
    lent.movedEntries = GuardedBlock();
    lent.entriesMoved = false;
    lent.live = true;
    lent.damageReported = false;
    spare_.push_back(&lent);
}

GuardedBlock FrameBooks::NewBlock(std::initializer_list<size_t> payloadBytes) {
    const size_t capacity = GuardedBlock::CapacityFor(payloadBytes);
    const size_t c = SizeClass(capacity);
    if (c >= spareMemory_.size() || spareMemory_[c].empty()) return GuardedBlock(payloadBytes);
    std::byte* memory = spareMemory_[c].back();
    spareMemory_[c].pop_back();
    spareBytes_ -= capacity;
    return GuardedBlock(memory, payloadBytes);
}

void FrameBooks::Recycle(GuardedBlock&& block) {
    const size_t capacity = block.CapacityBytes();
    if (block.Data() == nullptr || spareBytes_ + capacity > kSpareLimit) {
        GuardedBlock released = std::move(block);
        return;
    }
    const size_t c = SizeClass(capacity);
    if (c >= spareMemory_.size()) spareMemory_.resize(c + 1);
    spareMemory_[c].push_back(block.TakeMemory());
    spareBytes_ += capacity;
}

void FrameBooks::ReleaseSpareMemory() {
    for (std::vector<std::byte*>& memories : spareMemory_) {
        for (std::byte* memory : memories) ::operator delete(memory);
        memories.clear();
    }
    spareBytes_ = 0;
}

TgfFrame* FrameBooks::Lend(const FrameOrigin& origin, std::span<const EntryRecord> entries,
                           std::span<const FrameTupletRecord> tuplets) {
    LentFrame* lent = NewRecord();
    lent->origin = origin;
    lent->serial = ++lent_;
    lent->memory = NewBlock({sizeof(TgfFrame), entries.size_bytes(), tuplets.size_bytes()});
    if (!entries.empty()) std::memcpy(lent->memory.Data(LentFrame::kEntries), entries.data(), entries.size_bytes());
    if (!tuplets.empty()) std::memcpy(lent->memory.Data(LentFrame::kTuplets), tuplets.data(), tuplets.size_bytes());

    TgfFrame& frame = lent->Frame();
    frame.slotList = origin.slotList;
    frame.slot = origin.slot;
    frame.measure = origin.measure;
    frame.layer = origin.layer;
    frame.saveInhibit = 0;
    frame.entries = reinterpret_cast<EntryRecord*>(lent->EntryData());
    frame.entryCount = static_cast<int16_t>(entries.size());
    frame.tuplets = reinterpret_cast<FrameTupletRecord*>(lent->memory.Data(LentFrame::kTuplets));
    frame.tupletCount = static_cast<int16_t>(tuplets.size());
    index_.Insert(&frame, lent);

    ++liveCount_;
    bytesNow_ += lent->Bytes();
    if (bytesNow_ > bytesPeak_) bytesPeak_ = bytesNow_;
    return &frame;
}

void FrameBooks::Problem(const char* function, const LentFrame& lent, const char* what) {
    problems_.push_back(std::string(function) + ": " + lent.Describe() + " " + what);
}

LentFrame* FrameBooks::Find(const TgfFrame* frame, const char* function, bool freeing) {
    if (frame == nullptr) return nullptr;
    LentFrame* lent = index_.Find(frame);
    if (lent == nullptr) {
        problems_.push_back(std::string(function) + ": a frame the host never lent (or long since freed)");
        return nullptr;
    }
    if (!lent->live) {
        Problem(function, *lent, freeing ? "freed twice" : "used after it was freed");
        return nullptr;
    }
    return lent;
}

bool FrameBooks::Intact(LentFrame& lent, const char* function) {
    const char* damage = nullptr;
    // The guards tell a write past an array, a check for tests; the pointers and counts keep
    // the host inside its own memory, and are checked always.
    const auto guards = [&lent, this](size_t payload) {
        if (!checks_) return true;
        if (payload == LentFrame::kEntries && lent.entriesMoved) return lent.movedEntries.GuardsIntact();
        return lent.memory.GuardsIntact(payload);
    };
    if (!guards(LentFrame::kHeader)) {
        damage = "guard bytes around the header overwritten";
    } else if (!guards(LentFrame::kEntries)) {
        damage = "guard bytes around the entries overwritten";
    } else if (!guards(LentFrame::kTuplets)) {
        damage = "guard bytes around the tuplets overwritten";
    } else {
        const TgfFrame& frame = lent.Frame();
        if (frame.entries != reinterpret_cast<EntryRecord*>(lent.EntryData()) ||
            frame.tuplets != reinterpret_cast<FrameTupletRecord*>(lent.memory.Data(LentFrame::kTuplets))) {
            damage = "has an array pointer the host did not set";
        } else if (frame.entryCount < 0 || frame.entryCount > lent.EntryCapacity() || frame.tupletCount < 0 ||
                   frame.tupletCount > lent.TupletCapacity()) {
            damage = "has a count beyond its array";
        }
    }
    if (damage == nullptr) return true;
    if (!lent.damageReported) Problem(function, lent, damage);
    lent.damageReported = true;
    return false;
}

void FrameBooks::Release(LentFrame& lent) {
    lent.live = false;
    --liveCount_;
    bytesNow_ -= lent.Bytes();
    if (!checks_) {
        Forget(lent);
        return;
    }
    lent.memory.Quarantine();
    lent.movedEntries.Quarantine();
    quarantinedBytes_ += lent.HeldBytes();
    freedOrder_.push_back(&lent);
    TrimQuarantine(kQuarantineLimit);
}

void FrameBooks::ReplaceEntries(LentFrame& lent, GuardedBlock fresh, int16_t count) {
    bytesNow_ -= lent.EntryBytes();
    bytesNow_ += fresh.PayloadBytes();
    if (bytesNow_ > bytesPeak_) bytesPeak_ = bytesNow_;
    GuardedBlock old = std::exchange(lent.movedEntries, std::move(fresh));
    if (!checks_) {
        Recycle(std::move(old));
    } else {
        if (lent.entriesMoved) {
            old.Quarantine();
            quarantinedBytes_ += old.PayloadBytes();
            retiredArrays_.push_back(Retired{std::move(old), lent.serial, lent.origin});
        } else {
            // The first array lives on inside the frame's memory, poisoned until the frame goes.
            lent.memory.RetirePayload(LentFrame::kEntries);
        }
    }
    lent.entriesMoved = true;
    TgfFrame& frame = lent.Frame();
    frame.entries = reinterpret_cast<EntryRecord*>(lent.EntryData());
    frame.entryCount = count;
    if (checks_) TrimQuarantine(kQuarantineLimit);
}

void FrameBooks::CheckRetired(Retired& retired) {
    if (retired.reported || retired.block.PoisonIntact()) return;
    problems_.push_back("the replaced entry array of " + DescribeFrame(retired.serial, retired.origin) +
                        " was written through a stale pointer");
    retired.reported = true;
}

void FrameBooks::CheckRetiredInPlace(LentFrame& lent) {
    if (lent.damageReported || !lent.entriesMoved || lent.memory.PoisonIntact(LentFrame::kEntries)) return;
    problems_.push_back("the replaced entry array of " + lent.Describe() + " was written through a stale pointer");
    lent.damageReported = true;
}

void FrameBooks::CheckFreed(LentFrame& lent) {
    if (lent.damageReported) return;
    if (lent.memory.PoisonIntact() && lent.movedEntries.PoisonIntact()) return;
    Problem("quarantine", lent, "written after it was freed");
    lent.damageReported = true;
}

void FrameBooks::TrimQuarantine(size_t limit) {
    while (quarantinedBytes_ > limit && !retiredArrays_.empty()) {
        CheckRetired(retiredArrays_.front());
        quarantinedBytes_ -= retiredArrays_.front().block.PayloadBytes();
        retiredArrays_.pop_front();
    }
    while (quarantinedBytes_ > limit && !freedOrder_.empty()) {
        LentFrame& lent = *freedOrder_.front();
        freedOrder_.pop_front();
        CheckFreed(lent);
        quarantinedBytes_ -= lent.HeldBytes();
        Forget(lent);
    }
}

size_t FrameBooks::Audit() {
    index_.ForEach([this](LentFrame& lent) {
        if (lent.live) {
            Problem("CheckNoLiveFrames", lent, "still lent");
            Intact(lent, "CheckNoLiveFrames");
            CheckRetiredInPlace(lent);
        } else {
            CheckFreed(lent);
        }
    });
    for (Retired& retired : retiredArrays_) CheckRetired(retired);
    return liveCount_;
}

void FrameBooks::Clear() {
    index_.Clear();
    freedOrder_.clear();
    retiredArrays_.clear();
    spare_.clear();
    pool_.clear();
    ReleaseSpareMemory();
    quarantinedBytes_ = 0;
    lent_ = 0;
    liveCount_ = 0;
    bytesNow_ = 0;
    bytesPeak_ = 0;
}

} // namespace simhost
