#include "simhost/GuardedBlock.h"

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

// Every byte equals `value` when the first does and each equals its successor.
bool AllEqual(const std::byte* p, size_t n, std::byte value) {
    return n == 0 || (p[0] == value && std::memcmp(p, p + 1, n - 1) == 0);
}

} // namespace

GuardedBlock::GuardedBlock(size_t payloadBytes)
    : raw_(static_cast<std::byte*>(::operator new(payloadBytes + 2 * kGuardBytes))), payload_(payloadBytes) {
    std::memset(raw_, static_cast<int>(kGuardByte), kGuardBytes);
    std::memset(raw_ + kGuardBytes, 0, payload_);
    std::memset(raw_ + kGuardBytes + payload_, static_cast<int>(kGuardByte), kGuardBytes);
}

GuardedBlock::~GuardedBlock() { Release(); }

GuardedBlock::GuardedBlock(GuardedBlock&& other) noexcept
    : raw_(std::exchange(other.raw_, nullptr)),
      payload_(std::exchange(other.payload_, 0)),
      quarantined_(std::exchange(other.quarantined_, false)) {}

GuardedBlock& GuardedBlock::operator=(GuardedBlock&& other) noexcept {
    if (this != &other) {
        Release();
        raw_ = std::exchange(other.raw_, nullptr);
        payload_ = std::exchange(other.payload_, 0);
        quarantined_ = std::exchange(other.quarantined_, false);
    }
    return *this;
}

void GuardedBlock::Release() {
    if (raw_ == nullptr) return;
    SIMHOST_UNPOISON(raw_, Total());
    ::operator delete(raw_);
    raw_ = nullptr;
    payload_ = 0;
    quarantined_ = false;
}

bool GuardedBlock::GuardsIntact() const {
    if (raw_ == nullptr || quarantined_) return true;
    return AllEqual(raw_, kGuardBytes, kGuardByte) && AllEqual(raw_ + kGuardBytes + payload_, kGuardBytes, kGuardByte);
}

void GuardedBlock::Quarantine() {
    if (raw_ == nullptr || quarantined_) return;
    std::memset(raw_, static_cast<int>(kPoisonByte), Total());
    SIMHOST_POISON(raw_, Total());
    quarantined_ = true;
}

bool GuardedBlock::PoisonIntact() const {
    if (raw_ == nullptr || !quarantined_) return true;
    SIMHOST_UNPOISON(raw_, Total());
    const bool intact = AllEqual(raw_, Total(), kPoisonByte);
    SIMHOST_POISON(raw_, Total());
    return intact;
}

} // namespace simhost
