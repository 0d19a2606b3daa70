#include "transfer/MessageBuffer.h"

void WriteMessage(char* buffer, const char* message) {
    if (buffer == nullptr) return;
    size_t i = 0;
    if (message != nullptr) {
        for (; i + 1 < kMessageBufferSize && message[i] != 0; ++i) buffer[i] = message[i];
    }
    buffer[i] = 0;
}
