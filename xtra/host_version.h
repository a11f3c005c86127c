// Reading the host application's version text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zephyx::xtra {

// The major version at the start of `text` as sscanf's "%d." would read it
// (white space, an optional sign, digits), 0 when there is none. Reads at
// most `size` bytes and stops at a NUL, so a text that fills its buffer
// without a NUL is safe; a number too large for 32 bits saturates.
int32_t parseMajorVersion(const char* text, size_t size);

// Version 11 or later.
bool isModernVersion(const char* text, size_t size);

}  // namespace zephyx::xtra
