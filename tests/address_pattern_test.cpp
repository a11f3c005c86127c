#include "receive/address_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace zephyx::receive {
namespace {

enum class Outcome { Match, NoMatch, Refused };
constexpr Outcome Match = Outcome::Match;
constexpr Outcome NoMatch = Outcome::NoMatch;
constexpr Outcome Refused = Outcome::Refused;

struct Case {
  std::string pattern;
  std::string address;
  Outcome expected;
};

std::string repeat(const std::string& part, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += part;
  return out;
}

// The hostile rows would take exponential time in a backtracking matcher.
TEST(AddressPatternTest, MatchesPartByPartAndRefusesMalformedPatterns) {
  const std::string as(4000, 'a');
  const Case cases[] = {
      {"/a/b", "/a/b", Match},
      {"/a/b", "/a/bc", NoMatch},
      {"/", "/", Match},
      {"/a", "", NoMatch},
      {"/x,y!-", "/x,y!-", Match},
      {"/a?c", "/abc", Match},
      {"/a?c", "/ac", NoMatch},
      {"/a?c", "/a/c", NoMatch},
      {"/*", "/", Match},
      {"/*", "/a/b", NoMatch},
      {"/*/*", "//", Match},
      {"/*b", "/a/b", NoMatch},
      {"/a*b*c", "/aXbYbZc", Match},
      {"/synth/voice/*/freq", "/synth/voice/12/freq", Match},
      {"/synth/voice/*/freq", "/synth/voice/12/amp", NoMatch},
      {"/[abc]", "/b", Match},
      {"/[abc]", "/d", NoMatch},
      {"/[a-c]x", "/bx", Match},
      {"/[!a-c]", "/d", Match},
      {"/[!abc]", "/b", NoMatch},
      {"/[-a]", "/-", Match},
      {"/[a-]", "/-", Match},
      {"/[!-]", "/-", NoMatch},
      {"/[a-c-e]", "/-", Match},
      {"/[*?{[]", "/{", Match},
      {"/x[!a]y", "/x/y", NoMatch},
      {"/x[.-0]y", "/x/y", NoMatch},
      {"/x[.-0]y", "/x0y", Match},
      {"/[\x80-\xff]", "/\xe9", Match},
      {"/[!\x01-\x7f]", "/\xff", Match},
      {"/{foo,bar}/x", "/bar/x", Match},
      {"/{foo,bar}", "/foobar", NoMatch},
      {"/a{,x}b", "/ab", Match},
      {"/a{x,}b", "/axb", Match},
      {"/{a,ab}b", "/abb", Match},
      {"/{*}", "/x", NoMatch},
      {"/{}", "/", Match},
      {"/x{a,b}*{c,}", "/xbzzc", Match},
      {"", "", Refused},
      {"a/b", "a/b", Refused},
      {"/[abc", "", Refused},
      {"/{a,b", "", Refused},
      {"/[]", "", Refused},
      {"/[!]", "", Refused},
      {"/[a/b]", "", Refused},
      {"/[.-/]", "", Refused},
      {"/{a/b}", "", Refused},
      {"/{a{b}}", "", Refused},
      {"/{a[b]}", "", Refused},
      {"/a]", "", Refused},
      {"/a}", "", Refused},
      {"/[z-a]", "", Refused},
      {"/" + std::string(4096, 'a'), "", Refused},
      {"/" + repeat("*", 3000), "/" + as, Match},
      {"/" + repeat("*a", 1000), "/" + as.substr(0, 3000) + "b", NoMatch},
      {"/" + repeat("*a", 2047) + "*", "/" + as, Match},
      {"/" + repeat("?*", 2000), "/" + as.substr(0, 1999), NoMatch},
      {"/" + repeat("{a,}", 1000) + "b", "/" + as.substr(0, 999) + "c", NoMatch},
      {"/" + repeat("{a,}", 1000) + "b", "/" + as.substr(0, 500) + "b", Match},
  };
  for (size_t row = 0; row < std::size(cases); ++row) {
    const Case& c = cases[row];
    const auto pattern = AddressPattern::compile(c.pattern);
    if (c.expected == Refused) {
      EXPECT_FALSE(pattern) << "row " << row;
      continue;
    }
    ASSERT_TRUE(pattern) << "row " << row;
    EXPECT_EQ(pattern->text(), c.pattern) << "row " << row;
    EXPECT_EQ(pattern->matches(c.address), c.expected == Match) << "row " << row;
  }
}

}  // namespace
}  // namespace zephyx::receive
