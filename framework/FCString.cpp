#include "framework/FCString.h"

#include <cstring>

FCString::FCString() { Clear(); }

FCString::~FCString() {
    delete[] buffer_;
    delete[] narrowBuffer_;
    delete[] extraBuffer_;
}

const char* FCString::ClassName() const { return "FCString"; }

void FCString::Clear() {
    EnsureCapacity(0);
    buffer_[0] = 0;
    length_ = 0;
}

void FCString::EnsureCapacity(uint64_t n) {
    if (capacity_ > n + 1) return;
    const uint64_t step = capacity_ > 10000 ? 1000 : capacity_ > 1000 ? 100 : 10;
    const uint64_t newCapacity = step * ((n + step) / step);
    char16_t* grown = new char16_t[newCapacity];
    // The terminator is not copied: the caller writes it.
    if (buffer_ != nullptr && length_ > 0) {
        std::memcpy(grown, buffer_, length_ * sizeof(char16_t));
    }
    delete[] buffer_;
    buffer_ = grown;
    capacity_ = newCapacity;
}

void FCString::SetCString(const char* text) {
    if (text == nullptr) {
        delete[] buffer_;
        buffer_ = nullptr;
        capacity_ = 0;
        length_ = 0;
        return;
    }
    const uint64_t size = std::strlen(text);
    EnsureCapacity(size);
    for (uint64_t i = 0; i < size; ++i) {
        buffer_[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    }
    buffer_[size] = 0;
    length_ = size;
}

void FCString::SetString(const FCString* other) {
    Clear();
    if (other == nullptr || other->length_ < 1) return;
    const uint64_t size = other->length_;
    EnsureCapacity(size + 1);
    std::memcpy(buffer_, other->buffer_, (size + 1) * sizeof(char16_t));
    length_ = size;
}
