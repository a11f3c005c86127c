// The receiver's lifecycle and queue on real loopback sockets, with the
// library's code linked in.
#include "receive/ofx_osc_receiver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <thread>

#if defined(__linux__)
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include "tests/support/host_fixture.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/udp_loopback.h"
#include "receive/receive_buffer.h"

namespace zephyx::receive {
namespace {

using testsupport::OscBytes;
using testsupport::UdpSender;

class ReceiverTest : public testsupport::HostFixture {
 protected:
  void SetUp() override { table = makeTypeSymbolTable(&host.values()); }
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
      if (receiver->startReceiving(port, settings(asPropList))) return port;
    }
    ADD_FAILURE() << "no free port: " << receiver->lastError();
    return 0;
  }

  static testsupport::Bytes message(int32_t number) {
    return OscBytes().str("/n").str(",i").i32(number);
  }

  std::string formatItem(const ReceivedItem& item) {
    return format(item.head.get()) + ", " + format(item.body.get());
  }

  ReceiveSettings settings(bool asPropList = false) {
    return ReceiveSettings{&host.broker(), asPropList, true, table};
  }

  TypeSymbolTable* table = nullptr;
  std::unique_ptr<ofxOscReceiver> receiver = std::make_unique<ofxOscReceiver>(&host.values());
  UdpSender sender;
};

TEST_F(ReceiverTest, ATakenPortGivesTheBindFailureAndAFreeOneWorks) {
  testsupport::PortHolder holder;
  EXPECT_FALSE(receiver->startReceiving(holder.port(), settings()));
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
    EXPECT_FALSE(receiver->startReceiving(port, settings())) << port;
    EXPECT_STREQ(receiver->lastError(), "invalid udp port");
    EXPECT_FALSE(receiver->running()) << "the running receiver was stopped first";
  }
  EXPECT_TRUE(receiver->startReceiving(-1, settings())) << "the system chooses";
  EXPECT_TRUE(receiver->startReceiving(0, settings()));
}

TEST_F(ReceiverTest, RestartsOnTheSamePortAndDropsWhatWasQueued) {
  const int port = startOnFreePort();
  sender.send(port, message(1));
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->queuedCount() == 1; }));
  ASSERT_TRUE(receiver->startReceiving(port, settings())) << receiver->lastError();
  EXPECT_EQ(receiver->queuedCount(), 0u);
  sender.send(port, message(2));
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->queuedCount() == 1; }));
  EXPECT_EQ(format(receiver->popItem()->body.get()), "[2]");
}

TEST_F(ReceiverTest, AStopRightAfterAStartNeverHangs) {
  for (int round = 0; round < 300; ++round) {
    ASSERT_TRUE(receiver->startReceiving(0, settings()));
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
  EXPECT_FALSE(receiver->popItem());
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
  EXPECT_EQ(format(receiver->popItem()->body.get()), "[42]");
}

// A host that runs out of values part-way through a bundle: the datagram is
// queued whole or not at all, whichever value is the first the host cannot
// make, and what was made of it is given back.
TEST_F(ReceiverTest, ADatagramTheHostCannotConvertWholeQueuesNothing) {
  const int port = startOnFreePort();
  const testsupport::Bytes bundle = testsupport::bundleHeader(1)
                                        .element(message(1))
                                        .element(OscBytes().str("/s").str(",sf").str("x").f32(0.5f))
                                        .element(message(3));
  // Markers, addresses, bodies and arguments: 14 values in all.
  constexpr int64_t ValuesInBundle = 14;
  uint64_t rejected = 0;
  for (int64_t madeBeforeFailing = 0; madeBeforeFailing < ValuesInBundle; ++madeBeforeFailing) {
    SCOPED_TRACE(madeBeforeFailing);
    host.valueTable().failMakesAfter(madeBeforeFailing);
    sender.send(port, bundle);
    ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->datagramsRejected() > rejected; }));
    rejected = receiver->datagramsRejected();
    EXPECT_EQ(receiver->queuedCount(), 0u);
    EXPECT_EQ(host.valueTable().liveCount(), 0) << "what was made was given back";
  }
  host.valueTable().failMakesAfter(ValuesInBundle);
  sender.send(port, bundle);
  ASSERT_TRUE(testsupport::waitUntil([&] { return receiver->queuedCount() == 5; }));
  host.valueTable().stopFailingMakes();
  EXPECT_EQ(receiver->datagramsRejected(), rejected);
  std::vector<std::string> items;
  while (auto item = receiver->popItem()) items.push_back(formatItem(*item));
  EXPECT_EQ(items,
            (std::vector<std::string>{"#bundlestart, 1", "\"/n\", [1]", "\"/s\", [\"x\", 0.5]",
                                      "\"/n\", [3]", "#bundleend, 0"}));
}

#if defined(__linux__)
long systemSetting(const char* path) {
  long value = -1;
  std::ifstream(path) >> value;
  return value;
}

// The kernel's receive buffer of this process's UDP socket on `port`; 0 when none is found.
int receiveBufferOnPort(int port) {
  DIR* fds = ::opendir("/proc/self/fd");
  int size = 0;
  while (const dirent* entry = fds != nullptr ? ::readdir(fds) : nullptr) {
    const int fd = std::atoi(entry->d_name);
    sockaddr_in address{};
    socklen_t length = sizeof address;
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_DGRAM ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.sin_family != AF_INET || ntohs(address.sin_port) != port) {
      continue;
    }
    length = sizeof size;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length);
  }
  if (fds != nullptr) ::closedir(fds);
  return size;
}

TEST_F(ReceiverTest, TheListeningSocketHoldsMoreThanTheSystemDefault) {
  const long maximum = systemSetting("/proc/sys/net/core/rmem_max");
  const long standard = systemSetting("/proc/sys/net/core/rmem_default");
  ASSERT_GT(maximum, 0);
  ASSERT_GT(standard, 0);
  // The kernel keeps twice what it is asked for, up to twice its maximum.
  const long expected = std::max(standard, 2 * std::min<long>(WantedReceiveBuffer, maximum));

  const int port = startOnFreePort();
  EXPECT_EQ(receiveBufferOnPort(port), expected);
  receiver->stopReceiving();
  EXPECT_EQ(receiveBufferOnPort(port), 0) << "the socket is closed";

  testsupport::PortHolder other;
  EXPECT_FALSE(receiver->startReceiving(other.port(), settings()));
  EXPECT_EQ(receiveBufferOnPort(other.port()), standard) << "another socket is left alone";
}
#endif

#if defined(_WIN32)
// Windows keeps 64 KiB unless asked; under Wine the system below caps what
// is asked for at net.core.rmem_max, which is still more than its default.
TEST_F(ReceiverTest, TheListeningSocketHoldsMoreThanTheSystemDefault) {
  UdpSocket fresh;
  const int standard = receiveBufferSize(fresh);
  ASSERT_GT(standard, 0);
  startOnFreePort();
  ASSERT_NE(receiver->listeningSocket(), nullptr);
  EXPECT_GT(receiver->listeningSocket()->receiveBufferSize(), standard);
}
#endif

}  // namespace
}  // namespace zephyx::receive
