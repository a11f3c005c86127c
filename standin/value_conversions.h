// The stand-in host's fixed conversions between Lingo kinds.
#pragma once

#include <cstdint>
#include <string_view>

namespace zephyx::standin {

// The nearest integer, halves away from zero, saturated to 32 bits; NaN gives 0.
int32_t integerOfDouble(double number);

// The leading decimal integer of a text (after spaces, with an optional
// sign), saturated to 32 bits. False and 0 when the text has none.
bool leadingInteger(std::string_view text, int32_t* out);

// The leading decimal number of a text (after spaces: sign, digits, an
// optional fraction and exponent). False and 0.0 when the text has none.
bool leadingNumber(std::string_view text, double* out);

}  // namespace zephyx::standin
