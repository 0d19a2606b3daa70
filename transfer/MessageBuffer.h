// The text buffer through which a refusal reaches the user: owned by the command, written by
// the checks and the driver as one zero-terminated ASCII message.
#pragma once

#include <cstddef>

// Room for the longest message (82 characters) and its terminator.
inline constexpr size_t kMessageBufferSize = 83;

// Writes `message` into `buffer` (which holds kMessageBufferSize bytes), cutting it short
// rather than writing past the end. A null buffer is left alone.
void WriteMessage(char* buffer, const char* message);
