// Whether the scans over a score's text may use 32-byte vectors (AVX2, with the bit count and
// carry-less multiply that come with it). Only x86-64 builds by GCC or Clang have such scans,
// compiled for those instructions alone and chosen at run time, so the program still runs on
// any x86-64 processor.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define BEATCLONE_WIDE_VECTORS 1
#endif

namespace beatclone::cli {

// False where the build has no wide scans.
bool HasWideVectors();

} // namespace beatclone::cli
