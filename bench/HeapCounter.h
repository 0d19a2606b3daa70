// Bytes on the heap in this process, counted by replacing the global allocation functions:
// those allocated by the module (outside any call into the stand-in host) apart from the rest,
// each with its highest mark since the last reset.
#pragma once

#include <cstddef>

namespace heapcounter {
size_t ModuleInUse();
size_t ModulePeak();
size_t TotalInUse();
size_t TotalPeak();
// Starts new peaks from what is in use now.
void ResetPeaks();
} // namespace heapcounter
