// How many host calls each argument costs, sent and received: the host
// contract's least for every kind, counted through the stand-in host.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "receive/packet_decoding.h"
#include "send/packet_sender.h"
#include "tests/support/host_fixture.h"
#include "tests/support/osc_bytes.h"

namespace zephyx {
namespace {

using testsupport::Bytes;
using testsupport::OscBytes;

class HostCallsTest : public testsupport::HostFixture {
 protected:
  void SetUp() override { types.reset(makeTypeSymbolTable(&host.values())); }
  void TearDown() override {
    types.reset();
    HostFixture::TearDown();
  }

  // Host calls made encoding `literal`, with every "ARG" replaced by `arg`.
  int64_t encodeCalls(std::string literal, const std::string& arg) {
    for (size_t at = literal.find("ARG"); at != std::string::npos; at = literal.find("ARG")) {
      literal.replace(at, 3, arg);
    }
    OwnedValue value = lingo(literal);
    const send::SendContext context{&host.values(), &host.lists(), &host.objects(), &host.memory(),
                                    types.get()};
    std::vector<char> buffer(4096);
    send::PacketWriter writer(buffer.data(), buffer.size());
    const int64_t before = host.hostCalls().count();
    EXPECT_TRUE(send::encodePacket(context, writer, value.get())) << literal;
    return host.hostCalls().count() - before;
  }

  // Host calls made converting one datagram, delivery not included: the
  // services are taken once, as the receiving thread takes them.
  int64_t decodeCalls(const Bytes& packet, bool asPropList) {
    const receive::ReceiveSettings settings{&host.broker(), asPropList, true, types.get()};
    const receive::ReceivingServices services(&host.broker());
    receive::DatagramItems items(&host.values(), {});
    const int64_t before = host.hostCalls().count();
    EXPECT_EQ(receive::decodePacket(reinterpret_cast<const char*>(packet.data()), packet.size(),
                                    settings, services, items),
              receive::DecodeResult::Decoded);
    const int64_t calls = host.hostCalls().count() - before;
    items.giveBack();
    return calls;
  }

  std::unique_ptr<TypeSymbolTable> types;
};

// One argument more costs the same whatever comes before it; what a
// message costs without arguments is fixed.
TEST_F(HostCallsTest, EachSentArgumentCostsTheLeastItsKindNeeds) {
  struct Case {
    const char* argument;
    int64_t calls;
  };
  const Case plain[] = {
      {"7", 4},         // listGetAt, valueType, valueToInteger, releaseValue
      {"0.5", 4},       // the same with valueToDouble
      {"\"text\"", 5},  // lockString and unlockString instead of a conversion
      {"VOID", 2},      // nothing to convert or give back
      // valueToObject; the length member read, converted and given back; the bytes
      {"<bytes 01 02>", 8},
  };
  for (const Case& one : plain) {
    const int64_t single = encodeCalls("[\"/p\", [ARG]]", one.argument);
    const int64_t triple = encodeCalls("[\"/p\", [ARG, ARG, ARG]]", one.argument);
    EXPECT_EQ((triple - single) / 2, one.calls) << one.argument;
  }
  const Case typed[] = {
      // propNameAt, valueToSymbol and the name given back; then as above
      // less the kind, which the name settles.
      {"#int32: 7", 6},         {"#float32: 0.5", 6}, {"#double: 0.5", 6},
      {"#string: \"text\"", 7}, {"#nil: 0", 5},       {"#blob: <bytes 01 02>", 11},
  };
  for (const Case& one : typed) {
    const int64_t single = encodeCalls("[\"/t\", [ARG]]", one.argument);
    const int64_t triple = encodeCalls("[\"/t\", [ARG, ARG, ARG]]", one.argument);
    EXPECT_EQ((triple - single) / 2, one.calls) << one.argument;
  }
  // The list's length, element 1 read once, the address, the arguments'
  // container read, measured and given back.
  EXPECT_EQ(encodeCalls("[\"/empty\", []]", ""), 10);
  // A bundle's item costs what it costs alone, plus reading it from the
  // bundle's list, its kind, and giving it back.
  EXPECT_EQ(encodeCalls("[1, [[\"/a\", [ARG]]]]", "7") - encodeCalls("[1, []]", ""),
            encodeCalls("[\"/a\", [ARG]]", "7") + 3);
}

TEST_F(HostCallsTest, EachReceivedValueCostsAMakeAnAddAndARelease) {
  for (bool asPropList : {false, true}) {
    SCOPED_TRACE(asPropList ? "property list" : "list");
    const int64_t single =
        decodeCalls(OscBytes().str("/r").str(",ifs").i32(1).f32(0.5f).str("x"), asPropList);
    const int64_t triple = decodeCalls(OscBytes()
                                           .str("/r")
                                           .str(",ifsifsifs")
                                           .i32(1)
                                           .f32(0.5f)
                                           .str("x")
                                           .i32(1)
                                           .f32(0.5f)
                                           .str("x")
                                           .i32(1)
                                           .f32(0.5f)
                                           .str("x"),
                                       asPropList);
    EXPECT_EQ((triple - single) / 6, 3);
    // The address and the container; with property lists, one key per
    // type, made and given back.
    EXPECT_EQ(single - 3 * 3, asPropList ? 2 + 2 * 3 : 2);
  }
  // A bundle's markers cost a symbol value and an integer each; their
  // names were interned with the type names.
  const Bytes message = OscBytes().str("/m").str(",");
  const int64_t alone = decodeCalls(message, false);
  const int64_t bundled = decodeCalls(testsupport::bundleHeader(1).element(message), false);
  EXPECT_EQ(bundled - alone, 4);
}

}  // namespace
}  // namespace zephyx
