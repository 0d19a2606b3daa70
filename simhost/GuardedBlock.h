// Memory the stand-in host lends to the module: a payload between two guard bands, so that a
// write just past either end shows when the guards are checked. A block given back is kept
// "quarantined": filled with a poison pattern (and, in AddressSanitizer builds, poisoned for
// the sanitizer) so that later reads trap and later writes show when the pattern is checked.
#pragma once

#include <cstddef>

namespace simhost {

class GuardedBlock {
public:
    static constexpr size_t kGuardBytes = 16;

    GuardedBlock() = default;
    // A zeroed payload of `payloadBytes` (may be 0) between intact guards.
    explicit GuardedBlock(size_t payloadBytes);
    ~GuardedBlock();
    GuardedBlock(GuardedBlock&& other) noexcept;
    GuardedBlock& operator=(GuardedBlock&& other) noexcept;
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    // Start of the payload; null for a default-constructed block.
    std::byte* Data() const { return raw_ == nullptr ? nullptr : raw_ + kGuardBytes; }
    size_t PayloadBytes() const { return payload_; }

    bool GuardsIntact() const;
    // Fills the whole block with poison; from now on only PoisonIntact may look at it.
    void Quarantine();
    bool Quarantined() const { return quarantined_; }
    // Whether a quarantined block still holds nothing but poison.
    bool PoisonIntact() const;

private:
    void Release();
    size_t Total() const { return payload_ + 2 * kGuardBytes; }

    std::byte* raw_ = nullptr;
    size_t payload_ = 0;
    bool quarantined_ = false;
};

} // namespace simhost
