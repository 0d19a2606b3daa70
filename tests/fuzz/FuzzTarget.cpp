// libFuzzer entry: one SET SOURCE and COPY against a host made from the input.
#include "tests/fuzz/HostileHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    hostile::RunCopy(data, size);
    return 0;
}
