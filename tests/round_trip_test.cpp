// What `send` writes comes back through the receiving side with the same
// structure, in the property-list shape, changed only by the conversions
// that lose something (float32 precision, 64-bit integers and time tags as
// floats, MIDI and colours as unsigned numbers, booleans, nil and
// infinitum as integers, a char as its signed low byte).
#include <gtest/gtest.h>

#include <string>

#include "host/host_ids.h"
#include "tests/support/listening_session.h"

namespace zephyx {
namespace {

class RoundTripTest : public testsupport::ListeningFixture {
 protected:
  void SetUp() override {
    ListeningFixture::SetUp();
    ASSERT_EQ(listen(true), "1");
    call("setDestination", {"\"127.0.0.1\"", std::to_string(port)});
  }

  // Sends the literal to this instance's own port and returns the handler
  // calls it produced.
  std::vector<std::string> roundTrip(const std::string& literal, size_t calls) {
    host.scriptContext().clearCalls();
    EXPECT_EQ(call("send", {literal}), "1") << literal;
    EXPECT_TRUE(pumpForCalls(calls)) << literal;
    return this->calls();
  }
};

struct Case {
  const char* sent;      // a typed argument list
  const char* received;  // what the handler gets as the body
};

const Case Cases[] = {
    {"[#int32: -7, #int32: 2147483647]", "[#int32: -7, #int32: 2147483647]"},
    {"[#float32: 0.1, #float32: 1e39, #double: 0.1]",
     "[#float32: 0.10000000149011612, #float32: INF, #double: 0.1]"},
    {"[#string: \"\", #string: \"caf\xc3\xa9\", #blob: <bytes>, #blob: <bytes 00 ff 00>]",
     "[#string: \"\", #string: \"caf\xc3\xa9\", #blob: <bytes>, #blob: <bytes 00 ff 00>]"},
    {"[#bool: 7, #bool: 0, #nil: 5, #infinitum: 5, #char: 200, #char: 65]",
     "[#bool: 1, #bool: 0, #nil: 0, #infinitum: 0, #char: -56, #char: 65]"},
    {"[#int64: -2.9, #int64: 9007199254740993.0, #midi: 9452671, #rgba: -1, #time: 1]",
     "[#int64: -2.0, #int64: 9007199254740992.0, #midi: 9452671.0, #rgba: 4294967295.0, "
     "#time: 1.0]"},
    {"[#array: [#int32: 1, #array: [#array: [], #string: \"deep\"], #float32: 0.5], #int32: 2]",
     "[#array: [#int32: 1, #array: [#array: [:], #string: \"deep\"], #float32: 0.5], #int32: 2]"},
    {"[1, 0.5, \"plain\", [2, [3]], VOID, <bytes 01>]",
     "[#int32: 1, #float32: 0.5, #string: \"plain\", #array: [#int32: 2, #array: [#int32: 3]], "
     "#nil: 0, #blob: <bytes 01>]"},
};

TEST_F(RoundTripTest, MessagesComeBackWithTheirStructure) {
  for (const Case& c : Cases) {
    const auto received = roundTrip(std::string("[\"/rt\", ") + c.sent + "]", 1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], std::string("\"/rt\", ") + c.received) << c.sent;
  }
}

TEST_F(RoundTripTest, InsideBundlesToo) {
  for (const Case& c : Cases) {
    const auto received = roundTrip(
        std::string("[1, [[\"/rt\", ") + c.sent + "], [1, [[\"/in\", " + c.sent + "]]]]]", 6);
    ASSERT_EQ(received.size(), 6u);
    EXPECT_EQ(received[0], "#bundlestart, 1");
    EXPECT_EQ(received[1], std::string("\"/rt\", ") + c.received) << c.sent;
    EXPECT_EQ(received[2], "#bundlestart, 1");
    EXPECT_EQ(received[3], std::string("\"/in\", ") + c.received) << c.sent;
    EXPECT_EQ(received[4], "#bundleend, 0");
    EXPECT_EQ(received[5], "#bundleend, 0");
  }
}

// A received property list, sent back as it is, gives the same arguments.
TEST_F(RoundTripTest, AReceivedPropertyListSentBackIsUnchanged) {
  standin::StandInScriptContext& context = host.scriptContext();
  context.recordCopies(true);
  for (const Case& c : Cases) {
    roundTrip(std::string("[\"/rt\", ") + c.sent + "]", 1);
    ASSERT_EQ(context.calls().size(), 1u);
    ASSERT_EQ(context.calls()[0].copies.size(), 2u);
    // The body as the handler got it, retained again for the new message.
    const HostValue body = context.calls()[0].copies[1];
    host.valueTable().retain(body);
    OwnedValue again = host.own(host.makeList({host.makeString("/again"), body}));
    context.clearCalls();
    EXPECT_EQ(format(object->call("send", {again.get()})), "1");
    ASSERT_TRUE(pumpForCalls(1));
    EXPECT_EQ(calls()[0], std::string("\"/again\", ") + c.received) << c.sent;
  }
  context.clearCalls();
}

// A message of 60000 bytes, far beyond a network's frame, from an object
// whose buffer allows it to one that listens, in both shapes.
TEST_F(RoundTripTest, ASixtyThousandByteMessageReachesAnotherObject) {
  OwnedValue size = host.own(host.makeInteger(65536));
  auto sender = standin::LingoObject::create(host, hostids::ZephyxClass, {size.get()});
  ASSERT_TRUE(sender);
  callOn(*sender, "setDestination", {"\"127.0.0.1\"", std::to_string(port)});
  // "/big" and ",si" take 12 bytes, the string 59984 with its padding, the integer 4.
  const std::string text(59980, 'x');
  const std::string message = "[\"/big\", [\"" + text + "\", 7]]";
  for (const bool asPropList : {true, false}) {
    SCOPED_TRACE(asPropList ? "property list" : "list");
    if (!asPropList) {
      ASSERT_EQ(listen(false), "1");
    }
    callOn(*sender, "setDestination", {"\"127.0.0.1\"", std::to_string(port)});
    host.scriptContext().clearCalls();
    EXPECT_EQ(callOn(*sender, "send", {message}), "1");
    ASSERT_TRUE(pumpForCalls(1));
    EXPECT_EQ(calls().front(), asPropList ? "\"/big\", [#string: \"" + text + "\", #int32: 7]"
                                          : "\"/big\", [\"" + text + "\", 7]");
  }
  sender->call("forget");
}

}  // namespace
}  // namespace zephyx
