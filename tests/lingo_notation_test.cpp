#include "lingo/lingo_notation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "standin/standin_host.h"

namespace zephyx {
namespace {

using lingo::ParseResult;
using standin::StandInHost;
using standin::ValueSlot;

// Every test ends with nothing left alive and nothing released twice.
class LingoFixture : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(host.leakReport(), ""); }

  // The notation of `value`, which is released afterwards.
  std::string formatted(HostValue value) {
    std::string text = host.format(value);
    host.release(value);
    return text;
  }

  // The notation of what `text` parses to.
  std::string reformatted(const std::string& text) {
    ParseResult result = host.parse(text);
    if (!result.ok) return "parse failed: " + result.error;
    return formatted(result.value);
  }

  const ValueSlot& slotOf(const HostValue& value) {
    const ValueSlot* slot = host.valueTable().find(value);
    if (slot == nullptr) throw std::runtime_error("value is not alive");
    return *slot;
  }

  StandInHost host;
};

class LingoFormat : public LingoFixture {};
class LingoParse : public LingoFixture {};
class LingoRoundTrip : public LingoFixture {};
class LingoParseError : public LingoFixture {};

uint64_t bitsOf(double number) {
  uint64_t bits = 0;
  std::memcpy(&bits, &number, sizeof bits);
  return bits;
}

// ---- formatting ----

TEST_F(LingoFormat, Integers) {
  EXPECT_EQ(formatted(host.makeInteger(440)), "440");
  EXPECT_EQ(formatted(host.makeInteger(-3)), "-3");
  EXPECT_EQ(formatted(host.makeInteger(0)), "0");
  EXPECT_EQ(formatted(host.makeInteger(std::numeric_limits<int32_t>::min())), "-2147483648");
}

TEST_F(LingoFormat, FloatsAlwaysReadBackAsFloats) {
  EXPECT_EQ(formatted(host.makeFloat(0.5)), "0.5");
  EXPECT_EQ(formatted(host.makeFloat(440.0)), "440.0");
  EXPECT_EQ(formatted(host.makeFloat(0.0)), "0.0");
  EXPECT_EQ(formatted(host.makeFloat(-0.0)), "-0.0");
  EXPECT_EQ(formatted(host.makeFloat(-2.5)), "-2.5");
  EXPECT_EQ(formatted(host.makeFloat(1e-4)), "1e-04");
  EXPECT_EQ(formatted(host.makeFloat(1e20)), "1e+20");
  EXPECT_EQ(formatted(host.makeFloat(0.1 + 0.2)), "0.30000000000000004");
  EXPECT_EQ(formatted(host.makeFloat(5e-324)), "5e-324");
}

TEST_F(LingoFormat, InfinitiesAndNan) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(formatted(host.makeFloat(inf)), "INF");
  EXPECT_EQ(formatted(host.makeFloat(-inf)), "-INF");
  EXPECT_EQ(formatted(host.makeFloat(std::numeric_limits<double>::quiet_NaN())), "NAN");
  EXPECT_EQ(formatted(host.makeFloat(-std::numeric_limits<double>::quiet_NaN())), "NAN");
}

TEST_F(LingoFormat, StringEscapes) {
  EXPECT_EQ(formatted(host.makeString("plain text")), "\"plain text\"");
  EXPECT_EQ(formatted(host.makeString("")), "\"\"");
  EXPECT_EQ(formatted(host.makeString("a \"b\" \\ c")), "\"a \\\"b\\\" \\\\ c\"");
  EXPECT_EQ(formatted(host.makeString(std::string("a\0b", 3))), "\"a\\x00b\"");
  EXPECT_EQ(formatted(host.makeString("\t\n\r\x1f")), "\"\\x09\\x0a\\x0d\\x1f\"");
  EXPECT_EQ(formatted(host.makeString("del\x7f")), "\"del\\x7f\"");
  // UTF-8 and other high bytes are not escaped.
  EXPECT_EQ(formatted(host.makeString("caf\xc3\xa9 \x80\xff")), "\"caf\xc3\xa9 \x80\xff\"");
}

TEST_F(LingoFormat, Symbols) {
  EXPECT_EQ(formatted(host.makeSymbol("int32")), "#int32");
  EXPECT_EQ(formatted(host.makeSymbol("_a1")), "#_a1");
  // Interned case-insensitively: the first spelling wins.
  EXPECT_EQ(formatted(host.makeSymbol("Float32")), "#Float32");
  EXPECT_EQ(formatted(host.makeSymbol("FLOAT32")), "#Float32");
  EXPECT_EQ(formatted(host.makeSymbol("two words")), "symbol(\"two words\")");
  EXPECT_EQ(formatted(host.makeSymbol("1st")), "symbol(\"1st\")");
  EXPECT_EQ(formatted(host.makeSymbol("a-b")), "symbol(\"a-b\")");
  EXPECT_EQ(formatted(host.makeSymbol("say \"hi\"\n")), "symbol(\"say \\\"hi\\\"\\x0a\")");
  EXPECT_EQ(formatted(host.makeSymbol("")), "symbol(\"\")");
}

TEST_F(LingoFormat, VoidByteArraysObjectsAndDeadValues) {
  EXPECT_EQ(host.format(VoidValue), "VOID");
  EXPECT_EQ(formatted(host.makeByteArray({0x41, 0x00, 0xc8})), "<bytes 41 00 c8>");
  EXPECT_EQ(formatted(host.makeByteArray({0xff, 0x0a})), "<bytes ff 0a>");
  EXPECT_EQ(formatted(host.makeByteArray({})), "<bytes>");
  EXPECT_EQ(formatted(host.makeObject("synth")), "<object synth>");

  const HostValue gone = host.makeInteger(1);
  host.release(gone);
  EXPECT_EQ(host.format(gone), "<dead value>");
}

TEST_F(LingoFormat, Lists) {
  EXPECT_EQ(formatted(host.makeList({})), "[]");
  EXPECT_EQ(formatted(host.makeList({host.makeInteger(1), host.makeInteger(2)})), "[1, 2]");
  EXPECT_EQ(formatted(host.makeList({VoidValue, host.makeString("x")})), "[VOID, \"x\"]");
  const HostValue inner = host.makeList({host.makeInteger(2), host.makeList({})});
  EXPECT_EQ(formatted(host.makeList({host.makeInteger(1), inner, host.makeFloat(3.0)})),
            "[1, [2, []], 3.0]");
}

TEST_F(LingoFormat, PropLists) {
  EXPECT_EQ(formatted(host.makePropList({})), "[:]");
  EXPECT_EQ(formatted(host.makePropList({{host.makeSymbol("int32"), host.makeInteger(1)},
                                         {host.makeSymbol("float32"), host.makeFloat(0.5)}})),
            "[#int32: 1, #float32: 0.5]");
  // Keys are written as their own literals, repeated keys stay in order.
  EXPECT_EQ(formatted(host.makePropList({{host.makeString("int32"), host.makeInteger(1)},
                                         {host.makeSymbol("two words"), host.makeInteger(2)},
                                         {host.makeString("int32"), host.makeInteger(3)}})),
            "[\"int32\": 1, symbol(\"two words\"): 2, \"int32\": 3]");
  const HostValue nested = host.makePropList(
      {{host.makeSymbol("args"), host.makeList({host.makeInteger(1), host.makePropList({})})},
       {host.makeSymbol("raw"), host.makeByteArray({0x01})}});
  EXPECT_EQ(formatted(host.makeList({nested, host.makeInteger(9)})),
            "[[#args: [1, [:]], #raw: <bytes 01>], 9]");
  // Other code may use a container as a key; it is still written in full.
  EXPECT_EQ(formatted(host.makePropList(
                {{host.makeList({host.makeInteger(1)}), host.makeList({host.makeInteger(2)})}})),
            "[[1]: [2]]");
}

TEST_F(LingoFormat, NestingTenThousandDeep) {
  constexpr int Depth = 10000;
  HostValue value = host.makeList({});
  for (int i = 1; i < Depth; ++i) value = host.makeList({value});
  EXPECT_EQ(formatted(value), std::string(Depth, '[') + std::string(Depth, ']'));

  // Property lists and lists alternating, each with a sibling after the
  // nested part, so every level resumes after its child.
  HostValue mixed = host.makeInteger(0);
  std::string expected = "0";
  for (int i = 0; i < Depth; ++i) {
    if (i % 2 == 0) {
      mixed = host.makePropList({{host.makeSymbol("k"), mixed}});
      expected = "[#k: " + expected + "]";
    } else {
      mixed = host.makeList({mixed, host.makeInteger(i)});
      expected = "[" + expected + ", " + std::to_string(i) + "]";
    }
  }
  EXPECT_EQ(formatted(mixed), expected);
}

TEST_F(LingoFormat, CycleIsMarkedNotFollowed) {
  HostValue list = host.makeList({host.makeInteger(1)});
  ASSERT_EQ(host.lists().appendToList(&list, &list), StatusOk);
  EXPECT_EQ(host.format(list), "[1, <cycle>]");
  HostValue outer = host.makeList({host.makeInteger(0)});
  ASSERT_EQ(host.lists().appendToList(&outer, &list), StatusOk);
  EXPECT_EQ(host.format(outer), "[0, [1, <cycle>]]");
  host.clearContainer(list);
  host.release(list);
  host.release(outer);

  HostValue props = host.makePropList({});
  const HostValue key = host.makeSymbol("self");
  ASSERT_EQ(host.lists().addProp(&props, &key, &props), StatusOk);
  host.release(key);
  EXPECT_EQ(host.format(props), "[#self: <cycle>]");
  host.clearContainer(props);
  host.release(props);

  // Cycles back to the top, to the middle and to the innermost list itself,
  // at depths around where open lists stop being searched in place.
  for (const int depth : {3, 63, 64, 65, 66, 200}) {
    for (const int backTo : {0, depth / 2, depth - 1}) {
      std::vector<HostValue> levels = {host.makeList({})};
      for (int i = 1; i < depth; ++i) {
        HostValue child = host.makeList({});
        ASSERT_EQ(host.lists().appendToList(&levels.back(), &child), StatusOk);
        host.release(child);  // held by its parent
        levels.push_back(child);
      }
      ASSERT_EQ(host.lists().appendToList(&levels.back(), &levels[backTo]), StatusOk);
      EXPECT_EQ(host.format(levels[0]),
                std::string(depth, '[') + "<cycle>" + std::string(depth, ']'))
          << depth << " back to level " << backTo;
      host.clearContainer(levels.back());
      host.release(levels[0]);
    }
  }
}

TEST_F(LingoFormat, SharedElementIsNotACycle) {
  const HostValue shared = host.makeList({host.makeInteger(1)});
  ASSERT_TRUE(host.valueTable().retain(shared));
  EXPECT_EQ(formatted(host.makeList({shared, shared})), "[[1], [1]]");
}

// ---- parsing ----

TEST_F(LingoParse, Integers) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"440", 440},
      {"-3", -3},
      {"0", 0},
      {" \t\n7\r\n", 7},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int32_t>::min()}};
  for (const auto& [text, number] : cases) {
    ParseResult result = host.parse(text);
    ASSERT_TRUE(result.ok) << text << ": " << result.error;
    EXPECT_EQ(slotOf(result.value).kind, standin::StandInInteger) << text;
    EXPECT_EQ(slotOf(result.value).integer, number) << text;
    host.release(result.value);
  }
}

TEST_F(LingoParse, PointOrExponentMakesAFloat) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<std::string, double>> cases = {
      {"440.0", 440.0}, {"0.5", 0.5},    {"1e-04", 1e-4}, {"2e3", 2000.0}, {"2E+3", 2000.0},
      {"-2.5", -2.5},   {"1e+20", 1e20}, {"INF", inf},    {"-INF", -inf},  {"5e-324", 5e-324}};
  for (const auto& [text, number] : cases) {
    ParseResult result = host.parse(text);
    ASSERT_TRUE(result.ok) << text << ": " << result.error;
    EXPECT_EQ(slotOf(result.value).kind, standin::StandInFloat) << text;
    EXPECT_EQ(slotOf(result.value).number, number) << text;
    host.release(result.value);
  }

  ParseResult nan = host.parse("NAN");
  ASSERT_TRUE(nan.ok) << nan.error;
  EXPECT_EQ(slotOf(nan.value).kind, standin::StandInFloat);
  EXPECT_TRUE(std::isnan(slotOf(nan.value).number));
  host.release(nan.value);

  ParseResult negativeZero = host.parse("-0.0");
  ASSERT_TRUE(negativeZero.ok) << negativeZero.error;
  EXPECT_TRUE(std::signbit(slotOf(negativeZero.value).number));
  host.release(negativeZero.value);
}

TEST_F(LingoParse, Strings) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\"\"", ""},
      {"\"a \\\"b\\\" \\\\\"", "a \"b\" \\"},
      {"\"a\\x00b\"", std::string("a\0b", 3)},
      {"\"\\x7F\\x7f\\x0A\\xfF\"", "\x7f\x7f\n\xff"},
      {"\"raw \x7f and caf\xc3\xa9\"", "raw \x7f and caf\xc3\xa9"},
      {"\"[1, 2] # <bytes>\"", "[1, 2] # <bytes>"}};
  for (const auto& [text, bytes] : cases) {
    ParseResult result = host.parse(text);
    ASSERT_TRUE(result.ok) << text << ": " << result.error;
    EXPECT_EQ(slotOf(result.value).kind, standin::StandInString) << text;
    EXPECT_EQ(slotOf(result.value).text, bytes) << text;
    host.release(result.value);
  }
}

TEST_F(LingoParse, SymbolsInBothForms) {
  const HostValue first = host.makeSymbol("Int32");
  const HostSymbol int32 = slotOf(first).symbol;
  host.release(first);

  for (const char* text : {"#int32", "#INT32", "symbol(\"int32\")", "symbol ( \"Int32\" )"}) {
    ParseResult result = host.parse(text);
    ASSERT_TRUE(result.ok) << text << ": " << result.error;
    EXPECT_EQ(slotOf(result.value).kind, standin::StandInSymbol) << text;
    EXPECT_EQ(slotOf(result.value).symbol, int32) << text;
    host.release(result.value);
  }

  ParseResult spaced = host.parse("symbol(\"two words\\x00\")");
  ASSERT_TRUE(spaced.ok) << spaced.error;
  EXPECT_EQ(host.symbolName(slotOf(spaced.value).symbol), std::string("two words\0", 10));
  host.release(spaced.value);
}

TEST_F(LingoParse, Void) {
  ParseResult result = host.parse("  VOID ");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(sameValue(result.value, VoidValue));
}

TEST_F(LingoParse, ListsOwnTheirElements) {
  ParseResult result = host.parse("[ 1 ,\n\t[2, VOID],[ ] ]");
  ASSERT_TRUE(result.ok) << result.error;
  const ValueSlot& list = slotOf(result.value);
  ASSERT_EQ(list.kind, standin::StandInList);
  ASSERT_EQ(list.items.size(), 3u);
  EXPECT_EQ(slotOf(list.items[0]).integer, 1);
  const ValueSlot& inner = slotOf(list.items[1]);
  ASSERT_EQ(inner.kind, standin::StandInList);
  ASSERT_EQ(inner.items.size(), 2u);
  EXPECT_EQ(slotOf(inner.items[0]).integer, 2);
  EXPECT_TRUE(sameValue(inner.items[1], VoidValue));
  EXPECT_EQ(slotOf(list.items[2]).kind, standin::StandInList);
  EXPECT_TRUE(slotOf(list.items[2]).items.empty());
  EXPECT_EQ(slotOf(list.items[0]).refs, 1);
  EXPECT_EQ(inner.refs, 1);
  host.release(result.value);
}

TEST_F(LingoParse, PropListsKeepKeysInOrder) {
  ParseResult result = host.parse("[#a: 1, \"b\" : [2], #A: 3]");
  ASSERT_TRUE(result.ok) << result.error;
  const ValueSlot& props = slotOf(result.value);
  ASSERT_EQ(props.kind, standin::StandInPropList);
  ASSERT_EQ(props.keys.size(), 3u);
  ASSERT_EQ(props.items.size(), 3u);
  EXPECT_EQ(slotOf(props.keys[0]).kind, standin::StandInSymbol);
  EXPECT_EQ(host.symbolName(slotOf(props.keys[0]).symbol), "a");
  EXPECT_EQ(slotOf(props.keys[1]).kind, standin::StandInString);
  EXPECT_EQ(slotOf(props.keys[1]).text, "b");
  EXPECT_EQ(slotOf(props.keys[2]).symbol, slotOf(props.keys[0]).symbol);
  EXPECT_EQ(slotOf(props.items[0]).integer, 1);
  EXPECT_EQ(slotOf(props.items[1]).kind, standin::StandInList);
  EXPECT_EQ(slotOf(props.items[2]).integer, 3);
  host.release(result.value);

  for (const char* text : {"[:]", "[ :\n]"}) {
    ParseResult empty = host.parse(text);
    ASSERT_TRUE(empty.ok) << text << ": " << empty.error;
    EXPECT_EQ(slotOf(empty.value).kind, standin::StandInPropList) << text;
    EXPECT_TRUE(slotOf(empty.value).items.empty()) << text;
    host.release(empty.value);
  }
}

TEST_F(LingoParse, ByteArrays) {
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
      {"<bytes>", {}}, {"<bytes 41 00 c8>", {0x41, 0x00, 0xc8}}, {"<bytes FF\n0a >", {0xff, 0x0a}}};
  for (const auto& [text, bytes] : cases) {
    ParseResult result = host.parse(text);
    ASSERT_TRUE(result.ok) << text << ": " << result.error;
    EXPECT_EQ(slotOf(result.value).kind, standin::StandInByteArray) << text;
    EXPECT_EQ(slotOf(result.value).bytes, bytes) << text;
    host.release(result.value);
  }
}

TEST_F(LingoParse, AcceptsNestingUpToTheLimit) {
  const int depth = lingo::MaxDepth;
  const std::string text = std::string(depth - 1, '[') + "[7]" + std::string(depth - 1, ']');
  ParseResult result = host.parse(text);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(host.format(result.value), text);
  host.release(result.value);
}

// ---- round trips ----

TEST_F(LingoRoundTrip, CanonicalLiteralsAreReproduced) {
  const std::vector<std::string> literals = {
      "440",
      "-3",
      "-2147483648",
      "0.5",
      "440.0",
      "1e-04",
      "-2.5",
      "1e+20",
      "INF",
      "-INF",
      "NAN",
      "-0.0",
      "5e-324",
      "1.7976931348623157e+308",
      "0.30000000000000004",
      "\"a \\\"b\\\" \\\\ \\x00\\x7f\\x1f \xc3\xa9\"",
      "#int32",
      "symbol(\"two words\")",
      "symbol(\"\")",
      "VOID",
      "[]",
      "[:]",
      "[1, [2, [3]], []]",
      "[#int32: 1, \"float32\": 0.5, #int32: [VOID, <bytes>]]",
      "[[:], [#a: [#b: [:]]]]",
      "<bytes 41 00 c8>",
      "<bytes>"};
  for (const std::string& literal : literals) {
    EXPECT_EQ(reformatted(literal), literal);
  }
}

TEST_F(LingoRoundTrip, FloatsKeepEveryBit) {
  const std::vector<double> numbers = {1.0 / 3.0,
                                       0.1,
                                       -1e-300,
                                       123456789.125,
                                       1e15,
                                       1e21,
                                       4.9406564584124654e-324,
                                       2.2250738585072014e-308,
                                       std::numeric_limits<double>::max(),
                                       -std::numeric_limits<double>::max()};
  for (double number : numbers) {
    const std::string text = formatted(host.makeFloat(number));
    ParseResult result = host.parse(text);
    ASSERT_TRUE(result.ok) << text << ": " << result.error;
    EXPECT_EQ(slotOf(result.value).kind, standin::StandInFloat) << text;
    EXPECT_EQ(bitsOf(slotOf(result.value).number), bitsOf(number)) << text;
    host.release(result.value);
  }
}

// ---- malformed input ----

struct BadLiteral {
  std::string text;
  size_t position;
  std::string words;  // part of the message
};

TEST_F(LingoParseError, NamesTheFaultAndItsPosition) {
  const std::vector<BadLiteral> cases = {
      {"", 0, "expected a value"},
      {"   ", 3, "expected a value"},
      {"\"abc", 0, "unterminated string"},
      {"[1, \"ab", 4, "unterminated string"},
      {"\"a\\qb\"", 2, "bad escape"},
      {"\"a\\", 2, "bad escape"},
      {"\"a\\x4\"", 2, "hex digits"},
      {"\"a\\xg0\"", 2, "hex digits"},
      {"\"a\tb\"", 2, "control byte"},
      {std::string("\"a\0b\"", 5), 2, "control byte"},
      {"[1 2]", 3, "expected ',' or ']'"},
      {"  [1, 2", 7, "expected ',' or ']'"},
      {"[1, ]", 4, "expected a value"},
      {"[#a: 1, 2]", 9, "expected ':'"},
      {"[1, #a: 2]", 6, "expected ',' or ']'"},
      {"[#a: ]", 5, "expected a value"},
      {"[1: 2]", 1, "symbol or a string"},
      {"[#a: 1, [2]: 3]", 8, "symbol or a string"},
      {"[#a: 1, 2: 3]", 8, "symbol or a string"},
      {"[:", 2, "expected ']'"},
      {"2147483648", 0, "integer out of range"},
      {"-2147483649", 0, "integer out of range"},
      {"[1, 99999999999]", 4, "integer out of range"},
      {"1e400", 0, "float out of range"},
      {"-1e-400", 0, "float out of range"},
      {"1.", 2, "expected a digit"},
      {"1e+", 3, "expected a digit"},
      {"-", 1, "expected a digit"},
      {"-inf", 1, "expected a digit or INF"},
      {"440 x", 4, "unexpected text"},
      {"[1] ]", 4, "unexpected text"},
      {"VOID VOID", 5, "unexpected text"},
      {"12abc", 2, "unexpected text"},
      {"void", 0, "unknown word"},
      {"#", 1, "symbol name"},
      {"#1a", 1, "symbol name"},
      {"symbol(#a)", 7, "expected a string"},
      {"symbol(\"a\"", 10, "expected ')'"},
      {"<bytes 4g>", 8, "hex digits"},
      {"<bytes 410>", 9, "expected ' ' or '>'"},
      {"<bytes 4>", 8, "hex digits"},
      {"<bytes41>", 1, "expected 'bytes'"},
      {"<bytes 41", 9, "expected ' ' or '>'"},
      {"<bytes 41 ", 10, "hex digits or '>'"},
      {"<byte 41>", 1, "expected 'bytes'"},
      {"<object synth>", 1, "script objects"},
      {std::string(257, '[') + std::string(257, ']'), 256, "nested deeper than 256"},
  };
  for (const BadLiteral& bad : cases) {
    ParseResult result = host.parse(bad.text);
    EXPECT_FALSE(result.ok) << bad.text;
    if (result.ok) {
      host.release(result.value);
      continue;
    }
    EXPECT_EQ(result.position, bad.position) << bad.text << ": " << result.error;
    EXPECT_NE(result.error.find("at position " + std::to_string(bad.position)), std::string::npos)
        << bad.text << ": " << result.error;
    EXPECT_NE(result.error.find(bad.words), std::string::npos) << bad.text << ": " << result.error;
  }
}

TEST_F(LingoParseError, ReleasesEverythingMadeBeforeTheFault) {
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "[\"s\", <bytes 01>, ";
  const std::vector<std::string> inputs = {
      "[1, [2, 3], #x",
      "[#a: [1, 2], \"b\": [#c: 3], 4]",
      "[[[1, \"two\"], [3.0, <bytes 01>], [#x: [4",
      "[[1, 2], [3: 4]]",
      "[#k: [1, 2], [5]: 6]",
      "[1, [2, 3]] trailing",
      "[[1], 2147483648]",
      deep,
  };
  for (const std::string& text : inputs) {
    const int64_t madeBefore = host.valueTable().madeCount();
    ParseResult result = host.parse(text);
    EXPECT_FALSE(result.ok) << text;
    if (result.ok) host.release(result.value);
    // Otherwise the check below would prove nothing.
    EXPECT_GT(host.valueTable().madeCount(), madeBefore) << text;
    EXPECT_EQ(host.valueTable().liveCount(), 0) << text;
  }
}

}  // namespace
}  // namespace zephyx
