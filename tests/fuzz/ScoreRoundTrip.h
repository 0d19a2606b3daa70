// The command's reading and writing run on bytes from a fuzzer: a small header choosing a
// transfer, then a MusicXML score. Reading it either succeeds or ends in the tool's own refusal
// (CliError); a score that reads is written back as well-formed XML no larger than a small
// multiple of what was read, reads again to the same text, and survives a transfer. Anything
// else aborts, which is what the fuzzer looks for.
//
// Input: u8 source part, u8 source first measure, u8 (source staff << 2 | measure count - 1),
// u8 destination part (all its staves), u8 destination first measure, each taken modulo what
// the score has; then the score.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scorefuzz {

inline constexpr size_t kHeaderBytes = 5;

void RunScore(const uint8_t* data, size_t size);

} // namespace scorefuzz
