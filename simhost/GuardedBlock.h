// Memory the stand-in host lends to the module: up to three payloads in one allocation, each
// between guard bands, so that a write just past either end of one shows when the guards are
// checked. A block given back may be kept "quarantined": filled with a poison pattern (and, in
// AddressSanitizer builds, poisoned for the sanitizer) so that later reads trap and later
// writes show when the pattern is checked. One payload alone can be retired that way while the
// others stay in use.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>

namespace simhost {

class GuardedBlock {
public:
    // At least this many guard bytes follow every payload and precede the first.
    static constexpr size_t kGuardBytes = 16;
    static constexpr size_t kMaxPayloads = 3;

    // The bytes a block of these payloads allocates: a multiple of kFineClassStep up to
    // kFineClassLimit, a power of two beyond, so that memory given back fits other blocks of
    // the same size class. The bytes beyond the last payload's band are guard bytes too.
    static constexpr size_t kFineClassStep = 64;
    static constexpr size_t kFineClassLimit = 4096;
    static size_t CapacityFor(std::initializer_list<size_t> payloadBytes);

    GuardedBlock() = default;
    // One zeroed payload of `payloadBytes` (may be 0) between intact guards.
    explicit GuardedBlock(size_t payloadBytes) : GuardedBlock({payloadBytes}) {}
    // Zeroed payloads of these sizes (each may be 0, at most kMaxPayloads), one allocation.
    explicit GuardedBlock(std::initializer_list<size_t> payloadBytes);
    // The same in `memory`, CapacityFor(payloadBytes) bytes from ::operator new, now owned.
    GuardedBlock(std::byte* memory, std::initializer_list<size_t> payloadBytes);
    ~GuardedBlock();
    GuardedBlock(GuardedBlock&& other) noexcept;
    GuardedBlock& operator=(GuardedBlock&& other) noexcept;
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    // Gives up the memory (CapacityBytes() of it) without releasing it; the block is empty after.
    std::byte* TakeMemory();
    size_t CapacityBytes() const { return capacity_; }

    // Start of a payload; null for a default-constructed block.
    std::byte* Data(size_t payload = 0) const { return raw_ == nullptr ? nullptr : raw_ + start_[payload]; }
    size_t PayloadBytes(size_t payload = 0) const { return size_[payload]; }

    // Whether the bands before and after the payload hold nothing but guard bytes.
    bool GuardsIntact(size_t payload) const;
    bool GuardsIntact() const;
    // Fills the whole block with poison; from now on only PoisonIntact may look at it.
    void Quarantine();
    bool Quarantined() const { return quarantined_; }
    // Poisons one payload of a block still in use, the bands around it left as they are.
    void RetirePayload(size_t payload);
    // Whether a quarantined block still holds nothing but poison.
    bool PoisonIntact() const;
    // Whether a retired payload still does (the whole block, once quarantined).
    bool PoisonIntact(size_t payload) const;

private:
    // Places the payloads from the start.
    void Layout(std::initializer_list<size_t> payloadBytes);
    // Guard bytes everywhere but the payloads, which are zeroed.
    void Clean();
    void Release();

    std::byte* raw_ = nullptr;
    size_t capacity_ = 0; // bytes allocated
    size_t count_ = 0;
    std::array<size_t, kMaxPayloads> start_{};
    std::array<size_t, kMaxPayloads> size_{};
    std::array<bool, kMaxPayloads> retired_{};
    bool quarantined_ = false;
};

} // namespace simhost
