// Hostile datagrams sent over loopback at a listening instance: each is
// delivered whole or dropped whole, and a valid message sent after it is
// still delivered. Datagrams as large as IPv4 UDP carries (65507 bytes)
// are read whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/listening_session.h"
#include "tests/support/osc_bytes.h"

namespace zephyx {
namespace {

using testsupport::bundleHeader;
using testsupport::Bytes;
using testsupport::OscBytes;

OscBytes message(const std::string& address, const std::string& tags) {
  OscBytes bytes;
  bytes.str(address).str("," + tags);
  return bytes;
}

// A message of exactly `size` bytes (a multiple of four, at least 16): an
// address, ",b" and a blob filling the rest.
Bytes blobMessage(size_t size) { return message("/big", "b").blob(Bytes(size - 16, 0xab)); }

// `depth` bundles, each the only element of the one around it, holding `inner`.
Bytes nestedBundles(int depth, const Bytes& inner) {
  Bytes packet = inner;
  for (int level = 0; level < depth; ++level) packet = bundleHeader(level).element(packet);
  return packet;
}

struct Row {
  const char* what;
  Bytes datagram;
  size_t calls;  // handler calls it makes: 0 when dropped
};

std::vector<Row> rows() {
  const Bytes good = message("/good", "i").i32(1);
  Bytes sixBytes = OscBytes().str("/a");
  sixBytes.insert(sixBytes.end(), {'x', 'y'});
  return {
      {"3 bytes", Bytes{'/', 'x', 0}, 0},
      {"6 bytes: not a multiple of four", sixBytes, 0},
      {"address without its NUL", OscBytes().raw({'/', 'a', 'b', 'c', 'd', 'e', 'f', 'g'}), 0},
      {"type tags cut off before their NUL", OscBytes().str("/t").raw({',', 'i', 'i', 'i'}), 0},
      {"type tags promise more than follows", message("/t", "ii").i32(1), 0},
      {"unknown type tag", message("/t", "iq").i32(1), 0},
      {"string argument without its NUL", message("/s", "s").raw({'a', 'b', 'c', 'd'}), 0},
      {"blob size -1", message("/b", "b").u32(0xFFFFFFFF), 0},
      {"blob size INT32_MIN", message("/b", "b").u32(0x80000000).raw({1, 2, 3, 4}), 0},
      {"blob size 0x7FFFFFFC", message("/b", "b").u32(0x7FFFFFFC).raw({1, 2, 3, 4}), 0},
      {"blob size 100 with 4 bytes", message("/b", "b").u32(100).raw({1, 2, 3, 4}), 0},
      {"blob one byte past the end", message("/b", "b").u32(5).raw({1, 2, 3, 4}), 0},
      {"array closed before opened", message("/br", "]["), 0},
      {"array never closed", message("/br", "[i").i32(1), 0},
      {"array closed once too often", message("/br", "[i]]").i32(1), 0},
      {"bundle element runs short", bundleHeader(1).element(good).element(message("/bad", "i")), 0},
      {"bundle element size past the end", bundleHeader(1).element(good).raw({0, 0, 1, 0}), 0},
      {"bundle element size 0xFFFFFFFC", bundleHeader(1).u32(0xFFFFFFFC).raw(good), 0},
      {"inner bundle's element overruns it",
       bundleHeader(1).element(bundleHeader(2).u32(32).raw(good)).element(good), 0},
      {"bundles nested a thousand deep (20 KB)", nestedBundles(1000, good), 0},
      {"bundles nested 256 deep", nestedBundles(256, good), 513},
      {"bundles nested 257 deep", nestedBundles(257, good), 0},
      {"4096 bytes, valid", blobMessage(4096), 1},
      {"4097 bytes", OscBytes().raw(blobMessage(4096)).raw({0}), 0},
      {"4100 bytes, valid", blobMessage(4100), 1},
      {"65504 bytes, valid: the largest OSC packet", blobMessage(65504), 1},
      {"65507 bytes: the largest datagram, three bytes past a packet",
       OscBytes().raw(blobMessage(65504)).raw({0, 0, 0}), 0},
  };
}

class HostileDatagramTest : public testsupport::ListeningFixture {};

TEST_F(HostileDatagramTest, EachIsDeliveredWholeOrDroppedAndTheNextMessageArrives) {
  ASSERT_EQ(listen(false), "1");
  int index = 0;
  for (const Row& row : rows()) {
    SCOPED_TRACE(row.what);
    sender.send(port, row.datagram);
    sender.send(port, message("/next", "i").i32(index));
    const std::string next = "\"/next\", [" + std::to_string(index++) + "]";
    ASSERT_TRUE(testsupport::pumpUntil(host, [&] {
      const auto& recorded = host.scriptContext().calls();
      return !recorded.empty() && recorded.back().text == next;
    })) << "the message after it never arrived";
    std::vector<std::string> texts = calls();
    texts.pop_back();
    host.scriptContext().clearCalls();
    ASSERT_EQ(texts.size(), row.calls);
    if (row.calls == 1) {
      EXPECT_EQ(texts.front().rfind("\"/big\", [<bytes ab ab", 0), 0u) << texts.front();
    } else if (row.calls > 1) {
      EXPECT_EQ(texts[row.calls / 2], "\"/good\", [1]") << "the message inside the bundles";
    }
  }
  // The fixture's tear-down checks that nothing leaked.
}

}  // namespace
}  // namespace zephyx
