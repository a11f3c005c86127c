// zephyx-host as a user runs it: its output and exit statuses.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/tcp_peer.h"
#include "tests/support/udp_loopback.h"
#include "zephyx_version.h"

namespace zephyx {
namespace {

using std::chrono::milliseconds;
using testsupport::ChildProcess;

constexpr milliseconds Deadline(10000);

struct ToolRun {
  int status = -1;
  std::vector<std::string> lines;  // standard output and error, merged
};

std::vector<std::string> withTool(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), ZEPHYX_HOST_PATH);
  return arguments;
}

ToolRun run(const std::vector<std::string>& arguments) {
  ChildProcess tool(withTool(arguments));
  ToolRun result;
  EXPECT_TRUE(tool.started()) << tool.startError();
  while (auto line = tool.readLine(Deadline)) result.lines.push_back(*line);
  result.status = tool.waitForExit(Deadline).value_or(-1);
  return result;
}

bool contains(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const std::string& line : lines) {
    if (line.find(wanted) != std::string::npos) return true;
  }
  return false;
}

TEST(ToolTest, InfoShowsTheClassAndTheRegisteredMessageTable) {
  const ToolRun info = run({"info"});
  EXPECT_EQ(info.status, 0);
  EXPECT_TRUE(contains(info.lines, "IMoaMmXScript"));
  EXPECT_TRUE(contains(info.lines, "IMoaNotificationClient"));
  const std::vector<std::string> table = {
      "msgTable:",
      std::string("xtra Zephyx -- version ") + VersionMajorText + "." + VersionMinorText,
      "new object me, *bufferSize",
      "/forget object me",
      "setDestination object me, string host, integer port",
      "send object me, object messageOrBundle",
      "startListening object me, integer port, integer "
      "asPropList, symbol cbHandler, *cbTarget",
      "stopListening object me",
      "lastSender object me",
      "reply object me, object messageOrBundle",
      "sendFromListener object me, object messageOrBundle",
      "addRoute object me, string addressPattern, symbol "
      "cbHandler, *cbTarget",
      "removeRoute object me, string addressPattern",
      "joinGroup object me, string group, *interfaceAddress",
      "leaveGroup object me, string group, *interfaceAddress",
      "setMulticast object me, integer ttl, *interfaceAddress",
      "connectStream object me, string host, integer port, symbol framing, symbol cbHandler, "
      "*cbTarget",
      "sendStream object me, object messageOrBundle",
      "disconnectStream object me",
      "safeForShockwave: 1"};
  ASSERT_GE(info.lines.size(), table.size());
  const std::vector<std::string> tail(info.lines.end() - static_cast<long>(table.size()),
                                      info.lines.end());
  EXPECT_EQ(tail, table);
}

TEST(ToolTest, AnUnloadableLibraryAndUsageErrorsHaveTheirStatuses) {
  const ToolRun missing = run({"--library", "/nonexistent/libzephyx.so", "info"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(contains(missing.lines, "/nonexistent/libzephyx.so"));
  EXPECT_EQ(run({}).status, 2);
  EXPECT_EQ(run({"fly"}).status, 2);
  EXPECT_EQ(run({"--frobnicate"}).status, 2);
  EXPECT_EQ(run({"send"}).status, 2);
  EXPECT_EQ(run({"listen", "--count", "zero"}).status, 2);
  EXPECT_EQ(run({"send", "--buffer-size", "", R"(["/a"])"}).status, 2) << "not the default size";
  EXPECT_EQ(run({"send", "--to", "", R"(["/a"])"}).status, 2) << "not the default destination";
  EXPECT_EQ(run({"send", "--timeout", "1", R"(["/a"])"}).status, 2) << "only with --from-port";
  EXPECT_EQ(run({"listen", "--route", "/a/[b", "--timeout", "0"}).status, 2) << "addRoute said 0";
  EXPECT_EQ(run({"--help"}).status, 0);
  const ToolRun version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.lines, std::vector<std::string>{std::string("zephyx-host ") + VersionText});
}

TEST(ToolTest, SendPrintsOneResultPerLiteral) {
  testsupport::UdpCapture capture;
  const std::string to = "127.0.0.1:" + std::to_string(capture.port());
  const ToolRun sent = run({"send", "--to", to, R"(["/synth/freq", [#float32: 440.0, #int32: 1]])",
                            R"([1, [["/a", [1]], [2.5, [["/b", [#double: 0.5]]]]]])"});
  EXPECT_EQ(sent.status, 0);
  EXPECT_EQ(sent.lines, (std::vector<std::string>{"1", "1"}));
  auto first = capture.receive();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(
      testsupport::hex(*first),
      testsupport::hex(testsupport::OscBytes().str("/synth/freq").str(",fi").f32(440.0f).i32(1)));
  EXPECT_TRUE(capture.receive().has_value());

  const ToolRun mixed = run(
      {"send", "--to", to, "--buffer-size", "16", R"(["/a"])", R"(["/a-much-longer-address"])"});
  EXPECT_EQ(mixed.status, 1) << "any 0 makes the status 1";
  EXPECT_EQ(mixed.lines, (std::vector<std::string>{"1", "0"}));

  const ToolRun badPort = run({"send", "--to", "127.0.0.1:70000", R"(["/a"])"});
  EXPECT_EQ(badPort.status, 1) << "the port reaches the library unchecked";
  EXPECT_EQ(badPort.lines, std::vector<std::string>{"0"});
}

// The multicast options reach joinGroup and setMulticast as a script would
// call them, and what those refuse never reaches the network: each row is
// refused by the argument checks, or sends to a loopback port only.
TEST(ToolTest, MulticastOptionsPassTheirValuesAndWhatIsRefusedSendsNothing) {
  testsupport::UdpCapture capture;
  const std::string to = "127.0.0.1:" + std::to_string(capture.port());
  auto with = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const std::vector<std::string> listen = {"listen", "--port", "0", "--timeout", "0", "--join"};
  const std::vector<std::string> send = {"send", "--to", to};
  const std::vector<std::string> sendFrom = with(send, {"--from-port", "0", "--timeout", "0"});
  const std::string refused = R"(["/refused"])";
  const std::string sent = R"(["/sent"])";
  struct Row {
    std::vector<std::string> arguments;
    int status;
    std::string shown;  // in the output; the only line of a row that sends
  };
  const std::vector<Row> rows = {
      {{"listen", "--join"}, 2, "--join needs a value"},
      {with(listen, {"10.0.0.1"}), 1, "joinGroup 10.0.0.1 answered \"not a multicast address\""},
      {with(listen, {"10.0.0.1@127.0.0.1"}), 1, "not a multicast address"},
      {with(listen, {"239.255.0.1@nonsense"}), 1, "not an interface address"},
      {with(listen, {"239.255.0.1@"}), 1, "not an interface address"},
      {with(listen, {"239.255.0.1@239.255.0.2"}), 1, "not an interface address"},
      {with(send, {"--ttl", "300", refused}), 2, "setMulticast answered 0 for --ttl 300"},
      {with(send, {"--ttl", "-1", refused}), 2, "setMulticast answered 0"},
      {with(send, {"--ttl", "two", refused}), 2, "--ttl needs an integer"},
      {with(send, {"--ttl", refused}), 2, "send needs at least one literal"},
      {with(send, {"--interface", "nonsense", refused}), 2, "answered 0 for --interface nonsense"},
      {with(send, {"--ttl", "2", "--interface", "", refused}), 2, "setMulticast answered 0"},
      {with(sendFrom, {"--ttl", "256", refused}), 2, "setMulticast answered 0"},
      {with(send, {"--ttl", "0", "--interface", "127.0.0.1", sent}), 0, "1"},
      {with(send, {"--interface", "127.0.0.1", sent}), 0, "1"},
      {with(sendFrom, {"--ttl", "255", sent}), 0, "1"},
  };
  int sends = 0;
  for (const Row& row : rows) {
    const ToolRun result = run(row.arguments);
    std::string command;
    for (const std::string& argument : row.arguments) command += " " + argument;
    EXPECT_EQ(result.status, row.status) << command;
    if (row.status == 0) {
      ++sends;
      EXPECT_EQ(result.lines, std::vector<std::string>{row.shown}) << command;
    } else {
      EXPECT_TRUE(contains(result.lines, row.shown)) << command;
    }
  }

  const testsupport::Bytes sentBytes = testsupport::OscBytes().str("/sent").str(",");
  const testsupport::Bytes sentinel = testsupport::OscBytes().str("/sentinel").str(",");
  testsupport::UdpSender().send(capture.port(), sentinel);
  for (int i = 0; i < sends; ++i) {
    const auto next = capture.receive();
    ASSERT_TRUE(next.has_value()) << "send " << i;
    EXPECT_EQ(testsupport::hex(*next), testsupport::hex(sentBytes)) << "send " << i;
  }
  const auto last = capture.receive();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(testsupport::hex(*last), testsupport::hex(sentinel)) << "nothing refused was sent";
}

TEST(ToolTest, AMalformedLiteralSendsNothing) {
  testsupport::UdpCapture capture;
  const ToolRun malformed = run({"send", "--to", "127.0.0.1:" + std::to_string(capture.port()),
                                 R"(["/fine"])", R"(["/a", [1, 2)"});
  EXPECT_EQ(malformed.status, 2);
  EXPECT_TRUE(contains(malformed.lines, "expected ',' or ']' at position 12"))
      << malformed.lines.front();
  const testsupport::Bytes sentinel = testsupport::OscBytes().str("/sentinel").str(",");
  testsupport::UdpSender().send(capture.port(), sentinel);
  const auto next = capture.receive();
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(testsupport::hex(*next), testsupport::hex(sentinel))
      << "not even the literal before it";
}

// What stream refuses before anything is sent: its own checks are usage
// errors; connectStream's answers and a connection that is refused make the
// status 1. The only peer is a loopback port that nothing listens on.
TEST(ToolTest, StreamRefusalsSendNothing) {
  testsupport::TcpPeer closed;
  const std::string nobody = "127.0.0.1:" + std::to_string(closed.port());
  closed.stopListening();
  const std::string literal = R"(["/a"])";
  auto to = [&](const std::string& destination, std::vector<std::string> tail) {
    tail.insert(tail.begin(), {"stream", "--to", destination});
    return tail;
  };
  struct Row {
    std::vector<std::string> arguments;
    int status;
    std::string shown;
  };
  const std::vector<Row> rows = {
      {{"stream", "--framing", "length", literal}, 2, "stream needs --to HOST:PORT"},
      {to(nobody, {literal}), 2, "stream needs --framing length or --framing slip"},
      {to(nobody, {"--framing", "osc", literal}), 2, "needs --framing length or"},
      {to("127.0.0.1", {"--framing", "slip", literal}), 2, "--to needs HOST:PORT"},
      {to(nobody, {"--framing", "slip"}), 2, "stream needs at least one literal"},
      {to(nobody, {"--framing", "slip", "--count", "0", literal}), 2, "bad value for --count: 0"},
      {to(nobody, {"--framing", "slip", "--tmeout", "1", literal}), 2, "unknown stream argument"},
      {to(nobody, {"--framing", "slip", literal, R"(["/b", [1)"}), 2, "malformed literal"},
      {to("127.0.0.1:70000", {"--framing", "length", literal}), 1,
       "connectStream to 127.0.0.1:70000 answered \"invalid port\""},
      {to("127.0.0.1:0", {"--framing", "length", literal}), 1, "\"invalid port\""},
      {to(nobody, {"--framing", "slip", "--timeout", "1", literal}), 1,
       "#streamclosed, \"connection refused\""},
  };
  for (const Row& row : rows) {
    const ToolRun result = run(row.arguments);
    std::string command;
    for (const std::string& argument : row.arguments) command += " " + argument;
    EXPECT_EQ(result.status, row.status) << command;
    EXPECT_TRUE(contains(result.lines, row.shown)) << command;
    for (const std::string& line : result.lines) {
      EXPECT_TRUE(line != "1" && line != "0") << command << ": a send was made";
    }
  }
}

// One exchange with a peer of the test's own: the literal arrives in a
// length frame, and the framed answer is printed after the stream's marker.
TEST(ToolTest, StreamSendsEachLiteralFramedAndPrintsWhatComesBack) {
  testsupport::TcpPeer peer;
  const std::string address = "127.0.0.1:" + std::to_string(peer.port());
  const std::string shown = address + " ";
  ChildProcess tool(withTool({"stream", "--to", address, "--framing", "length", "--show-sender",
                              "--count", "1", "--timeout", "10", R"(["/ping", [#int32: 7]])"}));
  ASSERT_TRUE(tool.started()) << tool.startError();
  ASSERT_TRUE(peer.accept(Deadline));
  // A length frame is laid out as a bundle element: the size, then the bytes.
  auto framed = [](const testsupport::Bytes& packet) -> testsupport::Bytes {
    return testsupport::OscBytes().element(packet);
  };
  const testsupport::Bytes ping = framed(testsupport::OscBytes().str("/ping").str(",i").i32(7));
  EXPECT_EQ(peer.read(ping.size(), Deadline), ping);
  ASSERT_TRUE(peer.write(framed(testsupport::OscBytes().str("/pong").str(",s").str("ok"))));
  std::vector<std::string> lines;
  while (auto line = tool.readLine(Deadline)) lines.push_back(*line);
  EXPECT_EQ(lines, (std::vector<std::string>{shown + "#streamopen, 0", "1",
                                             shown + R"("/pong", ["ok"])"}));
  EXPECT_EQ(tool.waitForExit(Deadline), 0);
  EXPECT_TRUE(peer.closedByOtherEnd(Deadline)) << "disconnectStream closes the connection";
}

// Starts `listen` on a free port; its first handler call proves it listens.
class ToolListenTest : public ::testing::Test {
 protected:
  std::unique_ptr<ChildProcess> listen(std::vector<std::string> options) {
    port = testsupport::freeUdpPort();
    options.insert(options.begin(), {"listen", "--port", std::to_string(port)});
    return std::make_unique<ChildProcess>(withTool(options));
  }

  // Sends `/probe` until the listener prints it.
  void waitForProbe(ChildProcess& listener) {
    const auto end = std::chrono::steady_clock::now() + Deadline;
    while (std::chrono::steady_clock::now() < end) {
      sender.send(port, testsupport::OscBytes().str("/probe").str(","));
      if (auto line = listener.readLine(milliseconds(100))) {
        if (isProbe(*line)) return;
      }
    }
    FAIL() << "the listener never showed a probe: " << listener.transcript();
  }

  // A probe's line, after the sender when it is shown.
  static bool isProbe(const std::string& line) {
    for (const std::string probe : {"\"/probe\", []", "\"/probe\", [:]"}) {
      if (line.size() >= probe.size() &&
          line.compare(line.size() - probe.size(), probe.size(), probe) == 0) {
        return true;
      }
    }
    return false;
  }

  int port = 0;
  testsupport::UdpSender sender;
};

TEST_F(ToolListenTest, CountStopsAfterExactlyThatManyCalls) {
  auto listener = listen({"--count", "5", "--proplist"});
  waitForProbe(*listener);
  sender.send(port, testsupport::OscBytes().str("/x").str(",is").i32(1).str("two"));
  sender.send(port,
              testsupport::bundleHeader(1).element(testsupport::OscBytes().str("/y").str(",")));
  std::vector<std::string> lines = {"\"/probe\", [:]"};
  while (auto line = listener->readLine(Deadline)) lines.push_back(*line);
  EXPECT_EQ(listener->waitForExit(Deadline), 0);
  ASSERT_EQ(lines.size(), 5u) << listener->transcript();
  // A slow start may show a second probe; what follows the probes is the
  // start of what was sent.
  const std::vector<std::string> sent = {R"("/x", [#int32: 1, #string: "two"])", "#bundlestart, 1",
                                         R"("/y", [:])", "#bundleend, 0"};
  size_t probes = 0;
  while (probes < lines.size() && lines[probes] == "\"/probe\", [:]") ++probes;
  ASSERT_GE(probes, 1u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(probes), lines.end()),
            std::vector<std::string>(sent.begin(), sent.begin() + static_cast<long>(5 - probes)));
}

TEST_F(ToolListenTest, ATimeoutEndsTheListener) {
  auto plain = listen({"--timeout", "0.3"});
  EXPECT_EQ(plain->waitForExit(Deadline), 0);
  auto counted = listen({"--timeout", "0.3", "--count", "5"});
  EXPECT_EQ(counted->waitForExit(Deadline), 1) << "fewer calls than counted";
}

#if !defined(_WIN32)  // Windows has no SIGTERM to send another process
TEST_F(ToolListenTest, ASignalStopsTheListenerCleanly) {
  auto listener = listen({});
  waitForProbe(*listener);
  ::kill(listener->pid(), SIGTERM);
  EXPECT_EQ(listener->waitForExit(Deadline), 0);

  // A signal that comes while the listener starts: started with it blocked,
  // the listener finds it pending from its first instruction.
  for (int signal : {SIGINT, SIGTERM}) {
    sigset_t blocked;
    sigset_t previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    auto early = listen({});
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::kill(early->pid(), signal);
    EXPECT_EQ(early->waitForExit(Deadline), 0)
        << "signal " << signal << ": " << early->transcript();
  }
}
#endif

// Two zephyx-host processes in conversation: `send --from-port` sends from
// its own listening port, the listener prints that port as the sender,
// prints only what its routes take, and its replies reach the sender's
// listening port.
TEST_F(ToolListenTest, AListenerShowsTheSenderPrintsWhatItsRoutesTakeAndReplies) {
  auto listener = listen({"--show-sender", "--reply", R"(["/pong", [2]])", "--route", "/ping/[a-c]",
                          "--route", "/probe"});
  waitForProbe(*listener);
  const int from = testsupport::freeUdpPort();
  const ToolRun sent =
      run({"send", "--from-port", std::to_string(from), "--to", "127.0.0.1:" + std::to_string(port),
           "--show-sender", "--count", "3", "--timeout", "10", R"(["/ping/a", [1]])",
           R"(["/ping/other", [3]])", R"([1, [["/ping/b", [4]]]])"});
  const std::string pong = "127.0.0.1:" + std::to_string(port) + " \"/pong\", [2]";
  EXPECT_EQ(sent.status, 0);
  EXPECT_EQ(sent.lines, (std::vector<std::string>{"1", "1", "1", pong, pong, pong}))
      << "every message answered, the one no route takes too";

  // Neither the unrouted message nor the bundle's markers between the two.
  std::vector<std::string> printed;
  while (auto line = listener->readLine(Deadline)) {
    if (isProbe(*line)) continue;
    printed.push_back(*line);
    if (line->find("/ping/b") != std::string::npos) break;
  }
  const std::string shownFrom = "127.0.0.1:" + std::to_string(from) + " ";
  EXPECT_EQ(printed, (std::vector<std::string>{shownFrom + R"("/ping/a", [1])",
                                               shownFrom + R"("/ping/b", [4])"}))
      << listener->transcript();
}

TEST_F(ToolListenTest, ATakenPortIsReported) {
  testsupport::PortHolder holder;
  ChildProcess listener(withTool({"listen", "--port", std::to_string(holder.port())}));
  EXPECT_EQ(listener.waitForExit(Deadline), 1);
  EXPECT_NE(listener.transcript().find("unable to bind udp socket"), std::string::npos);
  const ToolRun sent = run({"send", "--from-port", std::to_string(holder.port()), R"(["/a"])"});
  EXPECT_EQ(sent.status, 1);
  EXPECT_TRUE(contains(sent.lines, "unable to bind udp socket"));
}

TEST(ToolTest, TheDemoSucceeds) {
  const ToolRun demo = run({"demo"});
  EXPECT_EQ(demo.status, 0);
  EXPECT_TRUE(contains(demo.lines, "demo: everything arrived as expected"));
}

}  // namespace
}  // namespace zephyx
