#include "cli/musicxml/NestingBound.h"

#include "cli/musicxml/WideVectors.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(BEATCLONE_WIDE_VECTORS)
#include <immintrin.h>
#endif

namespace beatclone::cli {
namespace {

using Count = NestingBound::Count;

constexpr size_t kBlock = 64;

// Where in a block of 64 bytes the marks the count needs are: bit i for byte i.
struct Marks {
    uint64_t lt = 0, gt = 0, slash = 0;
    bool special = false; // a '!' or '?' anywhere, as after the '<' of a declaration, comment or instruction
};

bool Special(unsigned char c) { return c == '!' || c == '?'; }

// A block with a declaration, comment or processing instruction in it, whose '>' may follow
// a '/' without closing an empty element: counted event by event.
void CountEvents(Count& count, const unsigned char* s, unsigned char next, uint64_t lt, uint64_t gt) {
    for (uint64_t events = lt | gt; events != 0; events &= events - 1) {
        const int i = std::countr_zero(events);
        if ((lt >> i & 1) != 0) {
            const unsigned char after = i + 1 < static_cast<int>(kBlock) ? s[i + 1] : next;
            count.inSpecial = Special(after);
            if (after == '/')
                --count.depth;
            else if (!count.inSpecial)
                count.bound = std::max(count.bound, ++count.depth);
        } else {
            const bool afterSlash = i > 0 ? s[i - 1] == '/' : count.afterSlash;
            if (afterSlash && !count.inSpecial) --count.depth;
            count.inSpecial = false;
        }
    }
}

// The count of one block at `s`, whose next byte is `next` (0 at the end of the text), given
// its marks and `parity`, whose bit i is the parity of the '<' and '>' in bytes 0..i.
// `Ones` counts bits.
template <typename Ones>
inline void CountBlock(Count& count, const unsigned char* s, unsigned char next, const Marks& marks, uint64_t parity) {
    const bool endsAfterSlash = s[kBlock - 1] == '/';
    if ((marks.lt | marks.gt) != 0) {
        // Inside a tag after byte i, when the marks alternate from the state carried in.
        const uint64_t inside = parity ^ (count.inside ? ~uint64_t{0} : 0);
        if ((marks.lt & ~inside) != 0 || (marks.gt & inside) != 0) {
            count.sure = false; // a '<' or '>' that opens or closes nothing
            return;
        }
        if (count.inSpecial || Special(next) || marks.special) {
            CountEvents(count, s, next, marks.lt, marks.gt);
        } else {
            // Start tags, end tags and the '/>' of empty elements, counted together: within
            // the block the depth rises at most by its start tags.
            const uint64_t beforeSlash = marks.slash >> 1 | uint64_t{next == '/'} << 63;
            const uint64_t afterSlash = marks.slash << 1 | uint64_t{count.afterSlash};
            const int64_t opened = Ones()(marks.lt & ~beforeSlash);
            count.bound = std::max(count.bound, count.depth + opened);
            count.depth += opened - Ones()((marks.lt & beforeSlash) | (marks.gt & afterSlash));
        }
        if (count.depth < 0) count.sure = false; // more closed than opened: the parser refuses it
        count.inside = (inside >> 63) != 0;
    }
    count.afterSlash = endsAfterSlash;
}

// Bit i: the parity of bits 0..i.
inline uint64_t PrefixParity(uint64_t x) {
    for (int shift = 1; shift < 64; shift *= 2) x ^= x << shift;
    return x;
}

// The bits set, without the library call that a target with no population count instruction
// makes of std::popcount.
struct PortableOnes {
    int operator()(uint64_t x) const {
        x -= (x >> 1) & 0x5555555555555555;
        x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
        x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
        return static_cast<int>((x * 0x0101010101010101) >> 56);
    }
};

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

void CountBlocks(Count& counted, const unsigned char* s, size_t blocks, const unsigned char* end) {
    Count count = counted; // a copy of its own, which the text's bytes cannot alias
    for (size_t b = 0; b < blocks && count.sure; ++b, s += kBlock) {
        Lanes lanes[4];
        std::memcpy(lanes, s, sizeof lanes);
        const auto bits = [&lanes](signed char c) {
            return TopBits(lanes[0] == c) | TopBits(lanes[1] == c) << 16 | TopBits(lanes[2] == c) << 32 |
                   TopBits(lanes[3] == c) << 48;
        };
        Marks marks;
        marks.lt = bits('<');
        marks.gt = bits('>');
        marks.slash = bits('/');
        Lanes special = (lanes[0] == '!') | (lanes[0] == '?');
        for (int k = 1; k < 4; ++k) special |= (lanes[k] == '!') | (lanes[k] == '?');
        marks.special = TopBits(special) != 0;
        CountBlock<PortableOnes>(count, s, s + kBlock < end ? s[kBlock] : 0, marks, PrefixParity(marks.lt | marks.gt));
    }
    counted = count;
}

#if defined(BEATCLONE_WIDE_VECTORS)
// Expanded where it is inlined, into the processor's own bit count.
struct WideOnes {
    int operator()(uint64_t x) const { return __builtin_popcountll(x); }
};

// Bit i set where byte i of the 64 in `low` and `high` is the byte in every lane of `c`.
[[gnu::target("avx2")]] inline uint64_t WideBits(__m256i low, __m256i high, __m256i c) {
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, c))) |
           uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, c)))} << 32;
}

// The same with 32-byte vectors, a carry-less multiply for the parity and the processor's
// own bit count.
[[gnu::target("avx2,popcnt,pclmul")]] void CountWideBlocks(Count& counted, const unsigned char* s, size_t blocks,
                                                           const unsigned char* end) {
    Count count = counted;
    const __m256i lt = _mm256_set1_epi8('<'), gt = _mm256_set1_epi8('>'), slash = _mm256_set1_epi8('/');
    const __m256i bang = _mm256_set1_epi8('!'), question = _mm256_set1_epi8('?');
    const __m128i ones = _mm_set1_epi8(-1);
    for (size_t b = 0; b < blocks && count.sure; ++b, s += kBlock) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 32));
        Marks marks;
        marks.lt = WideBits(low, high, lt);
        marks.gt = WideBits(low, high, gt);
        marks.slash = WideBits(low, high, slash);
        const __m256i special =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(low, bang), _mm256_cmpeq_epi8(low, question)),
                            _mm256_or_si256(_mm256_cmpeq_epi8(high, bang), _mm256_cmpeq_epi8(high, question)));
        marks.special = _mm256_movemask_epi8(special) != 0;
        const __m128i events = _mm_cvtsi64_si128(static_cast<long long>(marks.lt | marks.gt));
        const uint64_t parity = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_clmulepi64_si128(events, ones, 0)));
        CountBlock<WideOnes>(count, s, s + kBlock < end ? s[kBlock] : 0, marks, parity);
    }
    counted = count;
}
#endif

} // namespace

NestingBound::NestingBound(bool wide) : wide_(wide && HasWideVectors()) {}

void NestingBound::Scan(const char* data, size_t size, bool complete) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(data);
    const auto count = [this](const unsigned char* from, size_t blocks, const unsigned char* end) {
#if defined(BEATCLONE_WIDE_VECTORS)
        if (wide_) return CountWideBlocks(count_, from, blocks, end);
#endif
        CountBlocks(count_, from, blocks, end);
    };
    // Every block but the last has the byte after it here; the last waits for more, or the end.
    if (size - at_ > kBlock) {
        const size_t blocks = (size - at_ - 1) / kBlock;
        count(s + at_, blocks, s + size);
        at_ += blocks * kBlock;
    }
    if (complete && count_.sure && at_ < size) {
        unsigned char tail[kBlock] = {};
        std::memcpy(tail, s + at_, size - at_);
        count(tail, 1, tail + kBlock);
        at_ = size;
    }
    complete_ = complete;
}

std::optional<size_t> NestingBound::Bound() const {
    if (!complete_ || !count_.sure || count_.inside) return std::nullopt;
    return static_cast<size_t>(count_.bound);
}

} // namespace beatclone::cli
