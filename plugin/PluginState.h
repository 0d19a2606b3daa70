#pragma once

// Whether the recorded source passed its check: enables COPY. False at load; written only by
// SET SOURCE.
extern bool SourceValid;
