// Bytes on the heap in this process (module, stand-in host and all), counted by replacing the
// global allocation functions, with the highest mark since the last reset.
#pragma once

#include <cstddef>

namespace heapcounter {
size_t InUse();
size_t Peak();
// Starts a new peak from what is in use now.
void ResetPeak();
} // namespace heapcounter
