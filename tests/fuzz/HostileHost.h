// A host that takes its score and its every answer from a byte string: odd counts, bad sizes,
// lies about numbers and failing calls, as the bytes choose. It lends frames from exact-size
// heap blocks (so a read beyond what it reports is caught by AddressSanitizer) and keeps books:
// a frame given back twice, a frame it never lent, or one still lent when the run ends aborts.
//
// Input: a header, the score, then a tape read one byte per host call (zeros once it runs out).
//   header  u8 staves, u8 measures, i8 layer limit, u8 shown layers (bits), u16 missing
//           functions (bits, numbered as simhost::Function), 4 × u8 source (slot, first,
//           last, -), 4 × u8 destination (first slot, last slot, first, last)
//   score   u8 cells; each: u8 slot, u8 measure, u8 layer, u8 entries, u8 placements, then the
//           entries (u32 number, u32 flags, u8 duration, i8 noteCount, then per note i16 id,
//           u32 flags, u8 pitch) and the placements (i8 entry index, i8 tuplet index, u8 fill;
//           a fill of 0xFF repeats the placement 32767 times)
//           u8 details; each: u8 kind (0 articulation, else tuplet), u32 number, u16 sequence,
//           u8 size, u8 fill
//   tape    per call: bit 7 fails the call; the low bits choose a lie of that function.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hostile {

// Runs SET SOURCE and then COPY through the module's exports against a host built from
// `data`; aborts when the module misuses a frame.
void RunCopy(const uint8_t* data, size_t size);

} // namespace hostile
