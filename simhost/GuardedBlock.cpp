#include "simhost/GuardedBlock.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define SIMHOST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIMHOST_ASAN 1
#endif
#endif

#if defined(SIMHOST_ASAN)
#include <sanitizer/asan_interface.h>
#define SIMHOST_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define SIMHOST_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define SIMHOST_POISON(p, n) ((void)(p), (void)(n))
#define SIMHOST_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace simhost {
namespace {

constexpr std::byte kGuardByte{0xFD};
constexpr std::byte kPoisonByte{0xDD};
// Payloads start at this alignment; the padding before the next one is part of the guard band.
constexpr size_t kAlign = 8;

// Every byte equals `value` when the first does and each equals its successor.
bool AllEqual(const std::byte* p, size_t n, std::byte value) {
    return n == 0 || (p[0] == value && std::memcmp(p, p + 1, n - 1) == 0);
}

size_t RoundUp(size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }

} // namespace

size_t GuardedBlock::CapacityFor(std::initializer_list<size_t> payloadBytes) {
    size_t needed = kGuardBytes;
    for (size_t i = 0; i < std::min(payloadBytes.size(), kMaxPayloads); ++i) {
        needed = RoundUp(needed + payloadBytes.begin()[i] + kGuardBytes);
    }
    if (needed <= kFineClassLimit) return (needed + kFineClassStep - 1) / kFineClassStep * kFineClassStep;
    size_t capacity = kFineClassLimit;
    while (capacity < needed) capacity *= 2;
    return capacity;
}

void GuardedBlock::Layout(std::initializer_list<size_t> payloadBytes) {
    count_ = std::min(payloadBytes.size(), kMaxPayloads);
    size_t offset = kGuardBytes;
    for (size_t i = 0; i < count_; ++i) {
        start_[i] = offset;
        size_[i] = payloadBytes.begin()[i];
        offset = RoundUp(offset + size_[i] + kGuardBytes);
    }
}

void GuardedBlock::Clean() {
    size_t band = 0; // where the band before payload i starts
    for (size_t i = 0; i < count_; ++i) {
        std::memset(raw_ + band, static_cast<int>(kGuardByte), start_[i] - band);
        std::memset(raw_ + start_[i], 0, size_[i]);
        band = start_[i] + size_[i];
    }
    std::memset(raw_ + band, static_cast<int>(kGuardByte), capacity_ - band);
}

GuardedBlock::GuardedBlock(std::initializer_list<size_t> payloadBytes)
    : GuardedBlock(static_cast<std::byte*>(::operator new(CapacityFor(payloadBytes))), payloadBytes) {}

GuardedBlock::GuardedBlock(std::byte* memory, std::initializer_list<size_t> payloadBytes)
    : raw_(memory), capacity_(CapacityFor(payloadBytes)) {
    Layout(payloadBytes);
    Clean();
}

GuardedBlock::~GuardedBlock() { Release(); }

GuardedBlock::GuardedBlock(GuardedBlock&& other) noexcept
    : raw_(std::exchange(other.raw_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      count_(std::exchange(other.count_, 0)),
      start_(other.start_),
      size_(std::exchange(other.size_, {})),
      retired_(std::exchange(other.retired_, {})),
      quarantined_(std::exchange(other.quarantined_, false)) {}

GuardedBlock& GuardedBlock::operator=(GuardedBlock&& other) noexcept {
    if (this != &other) {
        Release();
        raw_ = std::exchange(other.raw_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        count_ = std::exchange(other.count_, 0);
        start_ = other.start_;
        size_ = std::exchange(other.size_, {});
        retired_ = std::exchange(other.retired_, {});
        quarantined_ = std::exchange(other.quarantined_, false);
    }
    return *this;
}

std::byte* GuardedBlock::TakeMemory() {
    if (raw_ != nullptr) SIMHOST_UNPOISON(raw_, capacity_);
    std::byte* memory = std::exchange(raw_, nullptr);
    capacity_ = 0;
    count_ = 0;
    size_ = {};
    retired_ = {};
    quarantined_ = false;
    return memory;
}

void GuardedBlock::Release() { ::operator delete(TakeMemory()); }

bool GuardedBlock::GuardsIntact(size_t payload) const {
    if (raw_ == nullptr || quarantined_ || payload >= count_) return true;
    const size_t before = payload == 0 ? 0 : start_[payload - 1] + size_[payload - 1];
    const size_t after = start_[payload] + size_[payload];
    const size_t end = payload + 1 < count_ ? start_[payload + 1] : capacity_;
    return AllEqual(raw_ + before, start_[payload] - before, kGuardByte) &&
           AllEqual(raw_ + after, end - after, kGuardByte);
}

bool GuardedBlock::GuardsIntact() const {
    for (size_t i = 0; i < count_; ++i) {
        if (!GuardsIntact(i)) return false;
    }
    return true;
}

void GuardedBlock::Quarantine() {
    if (raw_ == nullptr || quarantined_) return;
    SIMHOST_UNPOISON(raw_, capacity_);
    std::memset(raw_, static_cast<int>(kPoisonByte), capacity_);
    SIMHOST_POISON(raw_, capacity_);
    quarantined_ = true;
}

void GuardedBlock::RetirePayload(size_t payload) {
    if (raw_ == nullptr || quarantined_ || payload >= count_ || retired_[payload]) return;
    std::memset(raw_ + start_[payload], static_cast<int>(kPoisonByte), size_[payload]);
    SIMHOST_POISON(raw_ + start_[payload], size_[payload]);
    retired_[payload] = true;
}

bool GuardedBlock::PoisonIntact() const {
    if (raw_ == nullptr || !quarantined_) return true;
    SIMHOST_UNPOISON(raw_, capacity_);
    const bool intact = AllEqual(raw_, capacity_, kPoisonByte);
    SIMHOST_POISON(raw_, capacity_);
    return intact;
}

bool GuardedBlock::PoisonIntact(size_t payload) const {
    if (quarantined_) return PoisonIntact();
    if (raw_ == nullptr || payload >= count_ || !retired_[payload]) return true;
    std::byte* data = raw_ + start_[payload];
    SIMHOST_UNPOISON(data, size_[payload]);
    const bool intact = AllEqual(data, size_[payload], kPoisonByte);
    SIMHOST_POISON(data, size_[payload]);
    return intact;
}

} // namespace simhost
