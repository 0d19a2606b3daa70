// Memory the stand-in host lends to the module: up to three payloads in one allocation, each
// between guard bands, so that a write just past either end of one shows when the guards are
// checked. A block given back may be kept "quarantined": filled with a poison pattern (and, in
// AddressSanitizer builds, poisoned for the sanitizer) so that later reads trap and later
// writes show when the pattern is checked. One payload alone can be retired that way while the
// others stay in use.
#pragma once

#include <cstddef>
#include <initializer_list>

namespace simhost {

class GuardedBlock {
public:
    // At least this many guard bytes follow every payload and precede the first.
    static constexpr size_t kGuardBytes = 16;
    static constexpr size_t kMaxPayloads = 3;

    GuardedBlock() = default;
    // One zeroed payload of `payloadBytes` (may be 0) between intact guards.
    explicit GuardedBlock(size_t payloadBytes) : GuardedBlock({payloadBytes}) {}
    // Zeroed payloads of these sizes (each may be 0, at most kMaxPayloads), one allocation.
    explicit GuardedBlock(std::initializer_list<size_t> payloadBytes);
    ~GuardedBlock();
    GuardedBlock(GuardedBlock&& other) noexcept;
    GuardedBlock& operator=(GuardedBlock&& other) noexcept;
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    // Lays out zeroed payloads of these sizes afresh in the memory already held, when they
    // fit; answers whether they did (the block is unchanged when not).
    bool Refit(std::initializer_list<size_t> payloadBytes);

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
    // Places the payloads from the start; answers the bytes they need, guards included.
    size_t Layout(std::initializer_list<size_t> payloadBytes);
    void Clean();
    void Release();

    std::byte* raw_ = nullptr;
    size_t capacity_ = 0; // bytes allocated
    size_t count_ = 0;
    size_t start_[kMaxPayloads] = {};
    size_t size_[kMaxPayloads] = {};
    bool retired_[kMaxPayloads] = {};
    bool quarantined_ = false;
};

} // namespace simhost
