#include "cli/musicxml/WideVectors.h"

namespace beatclone::cli {

bool HasWideVectors() {
#if defined(BEATCLONE_WIDE_VECTORS)
    static const bool has =
        __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("pclmul");
    return has;
#else
    return false;
#endif
}

} // namespace beatclone::cli
