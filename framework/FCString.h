// A growable UTF-16 string. It grows in steps of 10, 100 or 1000 units and never shrinks.
#pragma once

#include "framework/FCBase.h"

#include <cstdint>

class FCString : public __FCBase {
public:
    // A new string holds the empty text in a buffer of 10 units.
    FCString();
    FCString(const FCString&) = delete;
    FCString& operator=(const FCString&) = delete;
    ~FCString() override;

    const char* ClassName() const override;

    // Empties the text; allocates 10 units again after SetCString(nullptr).
    void Clear();
    // Room for n units and a terminator; a capacity of exactly n + 1 is still reallocated.
    void EnsureCapacity(uint64_t n);
    // Null frees the buffer (capacity 0); otherwise each byte becomes one unit.
    void SetCString(const char* text);
    // An absent or empty source leaves the empty text.
    void SetString(const FCString* other);

    uint64_t GetLength() const { return length_; }
    uint64_t GetCapacity() const { return capacity_; }
    // The units and their terminator; null only after SetCString(nullptr).
    const char16_t* GetBuffer() const { return buffer_; }

private:
    uint64_t length_ = 0;
    uint64_t capacity_ = 0;
    char16_t* buffer_ = nullptr;
    // Owned buffers that no operation fills; freed when present.
    char* narrowBuffer_ = nullptr;
    char16_t* extraBuffer_ = nullptr;
};
