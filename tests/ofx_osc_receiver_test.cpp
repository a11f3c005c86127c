// The receiver's lifecycle and queue on real loopback sockets, with the
// library's code linked in.
#include "receive/ofx_osc_receiver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "tests/support/host_fixture.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/udp_loopback.h"
#include "xtra/process_state.h"

namespace {

using testsupport::OscBytes;
using testsupport::UdpSender;

class ReceiverTest : public testsupport::HostFixture {
 protected:
  void SetUp() override {
    sharedBroker.store(&host.broker());
    table = makeTypeSymbolTable(&host.values());
  }
  void TearDown() override {
    receiver.reset();
    delete table;
    HostFixture::TearDown();
  }

  // Starts on a port that was free a moment ago; tries again if another
  // process took it in between.
  int startOnFreePort(bool asPropList = false) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      const int port = testsupport::freeUdpPort();
      if (receiver->startReceiving(port, asPropList, true, table)) return port;
    }
    ADD_FAILURE() << "no free port: " << receiver->lastError();
    return 0;
  }

  static testsupport::Bytes message(int32_t number) {
    return OscBytes().str("/n").str(",i").i32(number);
  }

  std::string formatItem(const ReceivedItem& item) {
    return format(item.head) + ", " + format(item.body);
  }

  TypeSymbolTable* table = nullptr;
  std::unique_ptr<ofxOscReceiver> receiver = std::make_unique<ofxOscReceiver>(&host.values());
  UdpSender sender;
};

TEST_F(ReceiverTest, ATakenPortGivesTheBindFailureAndAFreeOneWorks) {
  testsupport::PortHolder holder;
  EXPECT_FALSE(receiver->startReceiving(holder.port(), false, true, table));
  EXPECT_STREQ(receiver->lastError(), "unable to bind udp socket") << "no line feed";
  EXPECT_FALSE(receiver->running());

  const int port = startOnFreePort();
  EXPECT_TRUE(receiver->running());
  sender.send(port, message(7));
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->queuedCount() == 1; }));
  auto item = receiver->popItem();
  EXPECT_EQ(formatItem(*item), "\"/n\", [7]");
}

TEST_F(ReceiverTest, PortsOutsideTheUdpRangeAreRefusedAfterStopping) {
  startOnFreePort();
  for (int32_t port : {65536, -2, 0x10000 + 9000, INT32_MIN}) {
    EXPECT_FALSE(receiver->startReceiving(port, false, true, table)) << port;
    EXPECT_STREQ(receiver->lastError(), "invalid udp port");
    EXPECT_FALSE(receiver->running()) << "the running receiver was stopped first";
  }
  EXPECT_TRUE(receiver->startReceiving(-1, false, true, table)) << "the system chooses";
  EXPECT_TRUE(receiver->startReceiving(0, false, true, table));
}

TEST_F(ReceiverTest, RestartsOnTheSamePortAndDropsWhatWasQueued) {
  const int port = startOnFreePort();
  sender.send(port, message(1));
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->queuedCount() == 1; }));
  ASSERT_TRUE(receiver->startReceiving(port, false, true, table)) << receiver->lastError();
  EXPECT_EQ(receiver->queuedCount(), 0u);
  sender.send(port, message(2));
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->queuedCount() == 1; }));
  EXPECT_EQ(format(receiver->popItem()->body), "[2]");
}

TEST_F(ReceiverTest, AStopRightAfterAStartNeverHangs) {
  for (int round = 0; round < 300; ++round) {
    ASSERT_TRUE(receiver->startReceiving(0, false, true, table));
    receiver->stopReceiving();
    ASSERT_FALSE(receiver->running());
  }
}

TEST_F(ReceiverTest, AStopDiscardsUndeliveredItems) {
  const int port = startOnFreePort();
  for (int32_t i = 0; i < 5; ++i) sender.send(port, message(i));
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->queuedCount() == 5; }));
  receiver->stopReceiving();
  EXPECT_EQ(receiver->queuedCount(), 0u);
  EXPECT_EQ(receiver->popItem(), nullptr);
  EXPECT_EQ(host.valueTable().liveCount(), 0) << "their values were released";
  receiver->stopReceiving();  // stopping a stopped receiver is harmless
}

TEST_F(ReceiverTest, AMalformedDatagramIsCountedAndTheThreadGoesOn) {
  const int port = startOnFreePort();
  sender.send(port, testsupport::Bytes{'/', 'x', 0});  // not a multiple of four
  // A blob that claims more bytes than the message has.
  sender.send(port, OscBytes().str("/b").str(",b").u32(1000).raw({1, 2, 3, 4}));
  sender.send(port, message(42));
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->datagramsProcessed() == 1; }));
  EXPECT_EQ(receiver->datagramsRejected(), 2u);
  ASSERT_EQ(receiver->queuedCount(), 1u) << "nothing of the malformed datagrams was queued";
  EXPECT_EQ(format(receiver->popItem()->body), "[42]");
}

TEST_F(ReceiverTest, ANotDrainedQueueKeepsTheNewest1025) {
  // Items pushed as the converters push them, without the network.
  for (int32_t i = 0; i < 2000; ++i) {
    receiver->push(std::make_unique<ReceivedItem>(&host.values(), host.makeString("/n"),
                                                  host.makeInteger(i)));
  }
  EXPECT_EQ(receiver->queuedCount(), 1025u);
  EXPECT_EQ(receiver->itemsEvicted(), 2000u - 1025u);
  EXPECT_EQ(format(receiver->popItem()->body), "975");
}

TEST_F(ReceiverTest, PacketsOfUpTo4096BytesAreProcessed) {
  const int port = startOnFreePort();
  // Address, type tags and a blob filling 4096 bytes exactly.
  OscBytes largest;
  largest.str("/big").str(",b").blob(testsupport::Bytes(4096 - 8 - 4 - 4, 0xab));
  ASSERT_EQ(largest.bytes().size(), 4096u);
  OscBytes tooLarge;
  tooLarge.str("/big").str(",b").blob(testsupport::Bytes(4100 - 8 - 4 - 4, 0xab));
  sender.send(port, tooLarge);
  sender.send(port, largest);
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->datagramsProcessed() == 1; }));
#if defined(_WIN32)
  // Winsock fails the codec's read of a datagram larger than its buffer
  // (WSAEMSGSIZE), so that one never reaches the receiver at all.
  EXPECT_EQ(receiver->datagramsRejected(), 0u);
#else
  EXPECT_EQ(receiver->datagramsRejected(), 1u) << "cut to 4098 bytes by the codec, so malformed";
#endif
  auto item = receiver->popItem();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(format(item->head), "\"/big\"");
}

}  // namespace
