#pragma once
// Cuts fuzz input into the C strings the loader gets from the system: each
// ends at a NUL byte or at the end of the input.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "runtime/text/Text.h"

inline Text NextText(const uint8_t*& data, size_t& size) {
    const void* nul = memchr(data, 0, size);
    size_t length = nul ? static_cast<const uint8_t*>(nul) - data : size;
    std::string text(reinterpret_cast<const char*>(data), length);
    size_t used = nul ? length + 1 : length;
    data += used;
    size -= used;
    return Text(text.c_str());
}
