// What a transfer must leave behind, checked on the scores before and after it: every
// rebuilt layer has the source's rhythm, ties, tuplets and articulations and, attack by attack,
// the pitches it had; everything else is unchanged.
#pragma once

#include "cli/command/Selection.h"
#include "cli/command/TransferRun.h"

#include <string>

namespace beatclone::cli::test {

// Empty when all holds, else a description of every failure found.
std::string CheckTransfer(const Score& before, const Score& after, const TransferReport& report,
                          const std::string& sourceText, const std::string& destinationText);

} // namespace beatclone::cli::test
