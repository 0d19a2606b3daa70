#include "cli/musicxml/NestingBound.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace beatclone::cli {
namespace {

constexpr size_t kBlock = 64;

// Sixteen bytes as one vector (the compiler's vector extension: SSE2 on x86-64, plain words
// where there is no vector unit).
using Lanes = signed char __attribute__((vector_size(16)));

// One bit a lane, lane 0 lowest: the lane's top bit.
inline uint64_t TopBits(Lanes v) {
#if defined(__SSE2__)
    return static_cast<uint32_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(v)));
#else
    uint64_t halves[2];
    std::memcpy(halves, &v, sizeof halves);
    // Each byte's top bit multiplied up into the top byte, byte 0 lowest (little-endian).
    constexpr uint64_t kTops = 0x8080808080808080, kGather = 0x0002040810204081;
    return ((halves[0] & kTops) * kGather >> 56) | (((halves[1] & kTops) * kGather >> 56) << 8);
#endif
}

struct Block {
    Lanes lanes[4];

    explicit Block(const unsigned char* s) {
        for (int k = 0; k < 4; ++k) std::memcpy(&lanes[k], s + 16 * k, sizeof(Lanes));
    }

    // Bit i set where byte i is `c`.
    uint64_t Matches(signed char c) const {
        return TopBits(lanes[0] == c) | TopBits(lanes[1] == c) << 16 | TopBits(lanes[2] == c) << 32 |
               TopBits(lanes[3] == c) << 48;
    }

    // Whether any byte is '!' or '?', which follow the '<' of declarations, comments and
    // processing instructions.
    bool AnySpecial() const {
        Lanes any = (lanes[0] == '!') | (lanes[0] == '?');
        for (int k = 1; k < 4; ++k) any |= (lanes[k] == '!') | (lanes[k] == '?');
        return TopBits(any) != 0;
    }
};

// Bit i: the parity of bits 0..i.
inline uint64_t PrefixParity(uint64_t x) {
    for (int shift = 1; shift < 64; shift *= 2) x ^= x << shift;
    return x;
}

// The bits set, without the library call that a target with no population count instruction
// makes of std::popcount.
inline int Ones(uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555;
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<int>((x * 0x0101010101010101) >> 56);
}

bool Special(unsigned char c) { return c == '!' || c == '?'; }

} // namespace

void NestingBound::Scan(const char* data, size_t size, bool complete) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(data);
    while (sure_ && size - at_ > kBlock) {
        CountBlock(s + at_, s[at_ + kBlock]);
        at_ += kBlock;
    }
    if (complete && sure_ && at_ < size) {
        unsigned char tail[kBlock] = {};
        std::memcpy(tail, s + at_, size - at_);
        CountBlock(tail, 0);
        at_ = size;
    }
    complete_ = complete;
}

std::optional<size_t> NestingBound::Bound() const {
    if (!complete_ || !sure_ || inside_) return std::nullopt;
    return static_cast<size_t>(bound_);
}

void NestingBound::CountBlock(const unsigned char* s, unsigned char next) {
    const Block block(s);
    const uint64_t lt = block.Matches('<'), gt = block.Matches('>');
    const bool endsAfterSlash = s[kBlock - 1] == '/';
    if ((lt | gt) != 0) {
        // Inside a tag after byte i, when the marks alternate from the state carried in.
        const uint64_t inside = PrefixParity(lt | gt) ^ (inside_ ? ~uint64_t{0} : 0);
        if ((lt & ~inside) != 0 || (gt & inside) != 0) {
            sure_ = false; // a '<' or '>' that opens or closes nothing
            return;
        }
        if (inSpecial_ || Special(next) || block.AnySpecial()) {
            CountEvents(s, next, lt, gt);
        } else {
            // Start tags, end tags and the '/>' of empty elements, counted together: within
            // the block the depth rises at most by its start tags.
            const uint64_t slash = block.Matches('/');
            const uint64_t beforeSlash = slash >> 1 | uint64_t{next == '/'} << 63;
            const uint64_t afterSlash = slash << 1 | uint64_t{afterSlash_};
            const int64_t opened = Ones(lt & ~beforeSlash);
            bound_ = std::max(bound_, depth_ + opened);
            depth_ += opened - Ones((lt & beforeSlash) | (gt & afterSlash));
        }
        if (depth_ < 0) sure_ = false; // more closed than opened: the parser refuses it
        inside_ = (inside >> 63) != 0;
    }
    afterSlash_ = endsAfterSlash;
}

void NestingBound::CountEvents(const unsigned char* s, unsigned char next, uint64_t lt, uint64_t gt) {
    for (uint64_t events = lt | gt; events != 0; events &= events - 1) {
        const int i = std::countr_zero(events);
        if ((lt >> i & 1) != 0) {
            const unsigned char after = i + 1 < static_cast<int>(kBlock) ? s[i + 1] : next;
            inSpecial_ = Special(after);
            if (after == '/')
                --depth_;
            else if (!inSpecial_)
                bound_ = std::max(bound_, ++depth_);
        } else {
            const bool afterSlash = i > 0 ? s[i - 1] == '/' : afterSlash_;
            if (afterSlash && !inSpecial_) --depth_;
            inSpecial_ = false;
        }
    }
}

} // namespace beatclone::cli
