// Address patterns: the input is a pattern, a NUL, then an address. Checks
// what the matching rules promise for any pattern and address, for patterns
// built from the address, and for the same pattern spelled another way.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "receive/address_pattern.h"

using zephyx::receive::AddressPattern;
using zephyx::receive::AddressPatternMaxLength;

namespace {

std::string_view pattern;
std::string_view address;

void require(bool holds, const char* what, std::string_view detail = "") {
  if (holds) return;
  std::fprintf(stderr, "address pattern fuzzer: %s\npattern: %.*s\naddress: %.*s\n%.*s\n", what,
               static_cast<int>(pattern.size()), pattern.data(), static_cast<int>(address.size()),
               address.data(), static_cast<int>(detail.size()), detail.data());
  std::abort();
}

size_t slashes(std::string_view text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '/'));
}

bool hasParts(std::string_view text, size_t count) {
  return !text.empty() && text[0] == '/' && slashes(text) == count;
}

// Compiles a pattern that the rules accept.
AddressPattern mustCompile(const std::string& text) {
  std::optional<AddressPattern> compiled = AddressPattern::compile(text);
  require(compiled.has_value(), "a valid pattern refused", text);
  return *compiled;
}

void addRun(std::string& out, unsigned low, unsigned high) {
  if (low > high) return;
  out += static_cast<char>(low);
  if (high > low) out += {'-', static_cast<char>(high)};
}

// Every byte but `c` and '/', as ranges, negated: a set of `c` alone.
std::string allBut(unsigned char c) {
  std::string out = "[!";
  const unsigned slash = '/';
  const unsigned lower = std::min<unsigned>(c, slash);
  const unsigned upper = std::max<unsigned>(c, slash);
  if (lower > 0) addRun(out, 0, lower - 1);
  addRun(out, lower + 1, upper - 1);
  addRun(out, upper + 1, 255);
  return out + "]";
}

// The address with each byte but '/' written as a set or a list that holds
// it alone, in turns: '!' or ']' would negate or close a one-member set,
// ',' '{' '[' '}' are not members of a list, and a ']' may not end the
// ranges of all the others.
std::string escaped(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    size_t form = i % 4;
    if (form == 3 && (c == '\\' || c == '^')) form = 0;
    if (form < 2 && (c == '!' || c == ']')) form = 2;
    if (form == 2 && (c == ',' || c == '{' || c == '[' || c == '}')) form = 0;
    if (c == '/') {
      out += c;
    } else if (form == 0) {
      out += {'[', c, ']'};
    } else if (form == 1) {
      out += {'[', c, '-', c, ']'};
    } else if (form == 2) {
      out += {'{', c, '}'};
    } else {
      out += allBut(static_cast<unsigned char>(c));
    }
  }
  return out;
}

// The address with each part written as one '*', or as as many '?' as it
// has bytes.
std::string byParts(std::string_view text, bool stars) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '/') {
      out += '/';
      if (stars) out += '*';
    } else if (!stars) {
      out += '?';
    }
  }
  return out;
}

// The same pattern with each '*' as "*{,}*" and each '?' as a set of every
// byte, which the rules make equivalent. Empty when it would be too long.
std::string respelled(std::string_view text) {
  std::string out;
  char closer = 0;  // what ends the set or list we are in
  for (const char c : text) {
    if (closer != 0) {
      if (c == closer) closer = 0;
      out += c;
    } else if (c == '*') {
      out += "*{,}*";
    } else if (c == '?') {
      out += std::string("[\0-\xff]", 5);
    } else {
      if (c == '[') closer = ']';
      if (c == '{') closer = '}';
      out += c;
    }
  }
  return out.size() <= AddressPatternMaxLength ? out : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = std::min(input.find('\0'), size);
  pattern = input.substr(0, split);
  address = input.substr(std::min(split + 1, size));

  const std::optional<AddressPattern> compiled = AddressPattern::compile(pattern);
  const bool wellPlaced =
      !pattern.empty() && pattern[0] == '/' && pattern.size() <= AddressPatternMaxLength;
  const bool plain = pattern.find_first_of("?*[]{}") == std::string_view::npos;
  require(wellPlaced || !compiled, "an empty, long or unrooted pattern compiled");
  require(!(wellPlaced && plain) || compiled, "a pattern without wildcards refused");

  if (compiled) {
    require(compiled->text() == pattern, "text() is not the pattern");
    const bool matched = compiled->matches(address);
    // Nothing but a '/' matches a '/', so a match has the pattern's parts.
    require(!matched || hasParts(address, slashes(pattern)), "matched a different number of parts");
    if (plain) require(matched == (address == pattern), "a plain pattern is not an equality");
    const std::string other = respelled(pattern);
    if (!other.empty()) {
      require(mustCompile(other).matches(address) == matched, "respelled pattern disagrees", other);
    }
  }

  if (address.empty() || address[0] != '/') return 0;
  const std::string exact = escaped(address);
  if (exact.size() <= AddressPatternMaxLength) {
    const AddressPattern escapedAddress = mustCompile(exact);
    require(escapedAddress.matches(address), "escaped address does not match itself", exact);
    require(escapedAddress.matches(pattern) == (pattern == address),
            "escaped address matches another", exact);
  }
  const size_t parts = slashes(address);
  const std::string stars = byParts(address, true);
  if (stars.size() + 2 <= AddressPatternMaxLength) {
    require(mustCompile(stars).matches(address), "stars do not match their parts", stars);
    require(mustCompile(stars).matches(pattern) == hasParts(pattern, parts),
            "stars match other than their parts", stars);
    require(!mustCompile(stars + "/*").matches(address), "one part more matches", stars);
  }
  const std::string questions = byParts(address, false);
  if (questions.size() + 1 <= AddressPatternMaxLength) {
    require(mustCompile(questions).matches(address), "'?' runs do not match", questions);
    require(!mustCompile(questions + "?").matches(address), "a longer '?' run matches", questions);
  }
  return 0;
}
