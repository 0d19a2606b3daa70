// libFuzzer entry: a score read, written back, and given a transfer chosen by the input.
#include "tests/fuzz/ScoreRoundTrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    scorefuzz::RunScore(data, size);
    return 0;
}
