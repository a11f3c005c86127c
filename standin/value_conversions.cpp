#include "standin/value_conversions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace zephyx::standin {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

size_t skipSpaces(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  return at;
}

}  // namespace

int32_t integerOfDouble(double number) {
  if (std::isnan(number)) return 0;
  // Compared as doubles before any conversion, so that nothing out of
  // range is ever converted.
  if (number >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (number <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::round(number));
}

bool leadingInteger(std::string_view text, int32_t* out) {
  *out = 0;
  size_t at = skipSpaces(text);
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
    negative = text[at] == '-';
    ++at;
  }
  if (at >= text.size() || !isDigit(text[at])) return false;
  int64_t magnitude = 0;
  for (; at < text.size() && isDigit(text[at]); ++at) {
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude > 2147483648LL) magnitude = 2147483648LL;  // saturated; keeps it small
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) {
    *out = std::numeric_limits<int32_t>::max();
  } else {
    *out = static_cast<int32_t>(value);
  }
  return true;
}

bool leadingNumber(std::string_view text, double* out) {
  *out = 0.0;
  size_t at = skipSpaces(text);
  const size_t start = at;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  const size_t mantissaStart = at;
  while (at < text.size() && isDigit(text[at])) ++at;
  bool digits = at > mantissaStart;
  if (at < text.size() && text[at] == '.') {
    const size_t fractionStart = ++at;
    while (at < text.size() && isDigit(text[at])) ++at;
    digits = digits || at > fractionStart;
  }
  if (!digits) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    size_t exponent = at + 1;
    if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+')) ++exponent;
    if (exponent < text.size() && isDigit(text[exponent])) {
      at = exponent;
      while (at < text.size() && isDigit(text[at])) ++at;
    }
  }
  // from_chars takes no leading '+'.
  std::string number(text.substr(start, at - start));
  if (!number.empty() && number[0] == '+') number.erase(0, 1);
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large gives the signed infinity, too small the signed zero.
    const bool negative = number[0] == '-';
    const size_t exponent = number.find_first_of("eE");
    const bool tiny = exponent != std::string::npos && exponent + 1 < number.size() &&
                      number[exponent + 1] == '-';
    const double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    value = negative ? -magnitude : magnitude;
  } else if (result.ec != std::errc()) {
    return false;
  }
  *out = value;
  return true;
}

}  // namespace zephyx::standin
