#include "simhost/FrameBooks.h"

#include <cstring>
#include <utility>

namespace simhost {
namespace {

// Quarantined memory is released oldest first beyond this, so that long benchmark runs
// without a Reset stay bounded; use-after-free is then caught for the most recent frames only.
constexpr size_t kQuarantineLimit = size_t{64} << 20;

template <typename Record>
GuardedBlock CopyOf(std::span<const Record> records) {
    GuardedBlock block(records.size_bytes());
    if (!records.empty()) std::memcpy(block.Data(), records.data(), records.size_bytes());
    return block;
}

std::string DescribeFrame(uint64_t serial, const FrameOrigin& origin) {
    return "frame #" + std::to_string(serial) + " (slot " + std::to_string(origin.slot) + ", measure " +
           std::to_string(origin.measure) + ", layer " + std::to_string(origin.layer) + ")";
}

} // namespace

std::string LentFrame::Describe() const { return DescribeFrame(serial, origin); }

FrameBooks::FrameBooks(std::vector<std::string>& problems) : problems_(problems) {}

TgfFrame* FrameBooks::Lend(const FrameOrigin& origin, std::span<const EntryRecord> entries,
                           std::span<const FrameTupletRecord> tuplets) {
    LentFrame made;
    made.origin = origin;
    made.serial = ++lent_;
    made.header = GuardedBlock(sizeof(TgfFrame));
    made.entries = CopyOf(entries);
    made.tuplets = CopyOf(tuplets);
    // The books hold the record itself (in a map node, so it never moves), keyed by its header.
    const TgfFrame* key = &made.Frame();
    LentFrame* lent = &(frames_[key] = std::move(made));

    TgfFrame& frame = lent->Frame();
    frame.slotList = origin.slotList;
    frame.slot = origin.slot;
    frame.measure = origin.measure;
    frame.layer = origin.layer;
    frame.saveInhibit = 0;
    frame.entries = reinterpret_cast<EntryRecord*>(lent->entries.Data());
    frame.entryCount = static_cast<int16_t>(entries.size());
    frame.tuplets = reinterpret_cast<FrameTupletRecord*>(lent->tuplets.Data());
    frame.tupletCount = static_cast<int16_t>(tuplets.size());

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
    const auto it = frames_.find(frame);
    if (it == frames_.end()) {
        problems_.push_back(std::string(function) + ": a frame the host never lent (or long since freed)");
        return nullptr;
    }
    LentFrame& lent = it->second;
    if (!lent.live) {
        Problem(function, lent, freeing ? "freed twice" : "used after it was freed");
        return nullptr;
    }
    return &lent;
}

bool FrameBooks::Intact(LentFrame& lent, const char* function) {
    const char* damage = nullptr;
    if (!lent.header.GuardsIntact()) {
        damage = "guard bytes around the header overwritten";
    } else if (!lent.entries.GuardsIntact()) {
        damage = "guard bytes around the entries overwritten";
    } else if (!lent.tuplets.GuardsIntact()) {
        damage = "guard bytes around the tuplets overwritten";
    } else {
        const TgfFrame& frame = lent.Frame();
        if (frame.entries != reinterpret_cast<EntryRecord*>(lent.entries.Data()) ||
            frame.tuplets != reinterpret_cast<FrameTupletRecord*>(lent.tuplets.Data())) {
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
    for (GuardedBlock* block : {&lent.header, &lent.entries, &lent.tuplets}) {
        block->Quarantine();
        quarantinedBytes_ += block->PayloadBytes();
    }
    freedOrder_.push_back(&lent.Frame());
    TrimQuarantine();
}

void FrameBooks::ReplaceEntries(LentFrame& lent, GuardedBlock fresh, int16_t count) {
    bytesNow_ -= lent.entries.PayloadBytes();
    bytesNow_ += fresh.PayloadBytes();
    if (bytesNow_ > bytesPeak_) bytesPeak_ = bytesNow_;
    Retire(std::exchange(lent.entries, std::move(fresh)), lent);
    TgfFrame& frame = lent.Frame();
    frame.entries = reinterpret_cast<EntryRecord*>(lent.entries.Data());
    frame.entryCount = count;
    TrimQuarantine();
}

void FrameBooks::Retire(GuardedBlock block, const LentFrame& owner) {
    block.Quarantine();
    quarantinedBytes_ += block.PayloadBytes();
    retiredArrays_.push_back(Retired{std::move(block), owner.serial, owner.origin});
}

void FrameBooks::CheckRetired(Retired& retired) {
    if (retired.reported || retired.block.PoisonIntact()) return;
    problems_.push_back("the replaced entry array of " + DescribeFrame(retired.serial, retired.origin) +
                        " was written through a stale pointer");
    retired.reported = true;
}

void FrameBooks::CheckFreed(LentFrame& lent) {
    if (lent.damageReported) return;
    if (lent.header.PoisonIntact() && lent.entries.PoisonIntact() && lent.tuplets.PoisonIntact()) return;
    Problem("quarantine", lent, "written after it was freed");
    lent.damageReported = true;
}

void FrameBooks::TrimQuarantine() {
    while (quarantinedBytes_ > kQuarantineLimit && !retiredArrays_.empty()) {
        CheckRetired(retiredArrays_.front());
        quarantinedBytes_ -= retiredArrays_.front().block.PayloadBytes();
        retiredArrays_.pop_front();
    }
    while (quarantinedBytes_ > kQuarantineLimit && !freedOrder_.empty()) {
        const auto it = frames_.find(freedOrder_.front());
        freedOrder_.pop_front();
        if (it == frames_.end()) continue;
        CheckFreed(it->second);
        quarantinedBytes_ -= it->second.Bytes();
        frames_.erase(it);
    }
}

size_t FrameBooks::Audit() {
    for (auto& [frame, lent] : frames_) {
        if (lent.live) {
            Problem("CheckNoLiveFrames", lent, "still lent");
            Intact(lent, "CheckNoLiveFrames");
        } else {
            CheckFreed(lent);
        }
    }
    for (Retired& retired : retiredArrays_) CheckRetired(retired);
    return liveCount_;
}

void FrameBooks::Clear() {
    frames_.clear();
    freedOrder_.clear();
    retiredArrays_.clear();
    quarantinedBytes_ = 0;
    lent_ = 0;
    liveCount_ = 0;
    bytesNow_ = 0;
    bytesPeak_ = 0;
}

} // namespace simhost
