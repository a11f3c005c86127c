// The ways a host parts with the library: unloading it once every object is
// forgotten, keeping it while one still listens or streams, and quitting
// outright while one listens and streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/listening_session.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/tcp_peer.h"

// The quitting host leaves everything to the process's end on purpose, so
// LeakSanitizer's check at exit has nothing to say there; and its tracer,
// stopping every thread, fails while stream threads wait on their sockets.
bool quittingOnPurpose = false;
extern "C" int __lsan_is_turned_off() { return quittingOnPurpose ? 1 : 0; }

namespace zephyx {
namespace {

using standin::LoadedLibrary;

class ExitPathsTest : public testsupport::ListeningFixture {};

TEST_F(ExitPathsTest, TheLibraryStaysWhileAnObjectListensAndUnloadsOnceAllAreForgotten) {
  ASSERT_EQ(listen(false), "1");
  sender.send(port, testsupport::OscBytes().str("/before/unload").str(","));
  ASSERT_TRUE(pumpForCalls(1));
  renew();  // a second object that never listened
  ASSERT_EQ(listen(false), "1");
  // ... and streams, its thread waiting on the connection.
  testsupport::TcpPeer peer;
  ASSERT_EQ(
      call("connectStream", {"\"127.0.0.1\"", std::to_string(peer.port()), "#slip", "#onOsc"}),
      "1");
  ASSERT_TRUE(peer.accept());
  ASSERT_TRUE(pumpForCalls(2));

  EXPECT_NE(host.libraries().front()->canUnloadNow(), StatusOk);
  EXPECT_FALSE(host.unloadLibraries());
  EXPECT_TRUE(LoadedLibrary::isLoaded(ZEPHYX_LIBRARY_PATH));

  object->call("forget");
  object.reset();
  EXPECT_EQ(host.libraries().front()->canUnloadNow(), StatusOk);
  ASSERT_TRUE(host.unloadLibraries());
  // Gone from the process: had any thread of it been left running, its
  // code would now be unmapped under it.
  EXPECT_FALSE(LoadedLibrary::isLoaded(ZEPHYX_LIBRARY_PATH));
  sender.send(port, testsupport::OscBytes().str("/after/unload").str(","));
}

// Never destroyed: a host that quits hard leaves it to the process's end.
standin::StandInHost* quittingHost = nullptr;

TEST(ExitPathsDeathTest, AHostThatQuitsWhileAnObjectListensExitsAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        quittingHost = new standin::StandInHost;
        std::string error;
        if (!quittingHost->loadLibrary(ZEPHYX_LIBRARY_PATH, &error)) std::exit(2);
        auto* object = standin::LingoObject::create(*quittingHost, hostids::ZephyxClass).release();
        quittingHost->scriptContext().setHandler(
            "onOsc", [](const standin::HandlerCall&) { return StatusOk; });
        const int port = testsupport::freeUdpPort();
        const OwnedValue portValue = quittingHost->own(quittingHost->makeInteger(port));
        const OwnedValue shape = quittingHost->own(quittingHost->makeInteger(0));
        const OwnedValue handler = quittingHost->own(quittingHost->makeSymbol("onOsc"));
        const OwnedValue started =
            object->call("startListening", {portValue.get(), shape.get(), handler.get()});
        if (quittingHost->format(started.get()) != "1") std::exit(3);
        // A stream whose thread waits on the connection, and one that
        // waits to connect again to a peer that has gone.
        auto* peer = new testsupport::TcpPeer;
        auto* gone = new testsupport::TcpPeer;
        gone->stopListening();
        auto* other = standin::LingoObject::create(*quittingHost, hostids::ZephyxClass).release();
        for (auto [streaming, to] : {std::pair{object, peer}, std::pair{other, gone}}) {
          const OwnedValue host = quittingHost->own(quittingHost->makeString("127.0.0.1"));
          const OwnedValue toPort = quittingHost->own(quittingHost->makeInteger(to->port()));
          const OwnedValue framing = quittingHost->own(quittingHost->makeSymbol("length"));
          const OwnedValue connected = streaming->call(
              "connectStream", {host.get(), toPort.get(), framing.get(), handler.get()});
          if (quittingHost->format(connected.get()) != "1") std::exit(5);
        }
        if (!peer->accept()) std::exit(6);
        // Something handed over and something still queued at the end.
        testsupport::UdpSender sender;
        sender.send(port, testsupport::OscBytes().str("/delivered").str(","));
        const bool delivered = testsupport::pumpUntil(
            *quittingHost, [&] { return !quittingHost->scriptContext().calls().empty(); });
        if (!delivered) std::exit(4);
        sender.send(port, testsupport::OscBytes().str("/still/queued").str(","));
        quittingOnPurpose = true;
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zephyx
