// Every kind of Lingo value in every argument position of every method,
// arguments missing and to spare, through the loaded library: answered as
// documented (send, reply, sendFromListener, addRoute, removeRoute,
// leaveGroup, setMulticast and sendStream: 1 or 0; startListening,
// joinGroup and connectStream: 1 or the reason; lastSender: VOID without a
// sender; the others: nothing), still working afterwards, every value given
// back. The objects here never listen when a row runs, so reply and
// sendFromListener never send, and no group is joined: joinGroup checks its
// arguments first. A stream connects only to 127.0.0.1, where the capture's
// port refuses it. Nothing can
// reach another machine: each object is first aimed at a capture socket on
// 127.0.0.1, and the only host names passed are 127.0.0.1, localhost and a
// name under .invalid; other kinds copy as an empty name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_ids.h"
#include "tests/support/lingo_session.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/udp_loopback.h"

namespace zephyx {
namespace {

using std::chrono::milliseconds;

// The kinds. $INT stands for a port: the capture's for setDestination, a
// free one for startListening (and the capture's elsewhere, where it is
// just a large number).
enum Kind { KVoid, KInteger, KFloat, KString, KSymbol, KList, KPropList, KBytes, KObject };
const std::vector<std::string> Kinds = {
    "VOID",
    "$INT",
    "$INT.25",
    "\"no-such-host.invalid\"",
    "#onOsc",
    "[\"/bad\", [1]]",
    "[#address: \"/p\"]",
    "<bytes 2f 61 00>",
    "$OBJECT",
};

// What one call should do.
struct Outcome {
  std::string result;      // in Lingo notation
  bool probeSent = false;  // a large probe message afterwards reaches the capture
  // startListening: the handler call a datagram to the port causes, as
  // "handler: arguments"; empty when the port is not known.
  std::string delivered;
};

struct Row {
  std::string method;
  std::vector<std::string> args;
  Outcome expected;
};

// One argument position of a method, swept over every kind with the other
// positions as in `args`: every kind has `usual` but those listed.
struct Sweep {
  std::string method;
  std::vector<std::string> args;
  size_t position;
  Outcome usual;
  std::vector<std::pair<Kind, Outcome>> except;
};

const Outcome Quiet{"VOID", true, ""};
const Outcome Unaimed{"VOID", false, ""};  // the probe is not sent
const Outcome Sent{"1", true, ""};
const Outcome Unsent{"0", true, ""};
const Outcome Listens{"1", true, ""};
Outcome delivers(const std::string& call) { return {"1", true, call}; }
const Outcome AsList = delivers("onOsc: \"/n\", [1]");
const Outcome AsPropList = delivers("onOsc: \"/n\", [#int32: 1]");
const Outcome Missing{"\"missing argument\"", true, ""};
const Outcome NotListening{"\"not listening\"", true, ""};
const Outcome NotMulticast{"\"not a multicast address\"", true, ""};
const Outcome NotInterface{"\"not an interface address\"", true, ""};

const Outcome Unresolved{"\"unable to resolve host\"", true, ""};
const Outcome InvalidPort{"\"invalid port\"", true, ""};
const Outcome UnknownFraming{"\"unknown framing\"", true, ""};
const std::vector<std::string> GoodStream = {"\"127.0.0.1\"", "$INT", "#length", "#onOsc"};

const std::string AGroup = "\"239.255.0.1\"";
const std::string Loopback = "\"127.0.0.1\"";

const std::vector<std::string> GoodStart = {"$INT", "0", "#onOsc"};

const std::vector<Sweep> Sweeps = {
    // Only an integer sets the buffer size; every other kind leaves 1024,
    // too small for the probe.
    {"new", {"4096"}, 0, Unaimed, {{KInteger, Quiet}}},
    // Only a string names a host; the one given does not resolve.
    {"setDestination", {"\"127.0.0.1\"", "$INT"}, 0, Unaimed, {}},
    // A float port is rounded; what is no number is port 0, which sends nothing.
    {"setDestination", {"\"127.0.0.1\"", "$INT"}, 1, Unaimed, {{KInteger, Quiet}, {KFloat, Quiet}}},
    // Only a list with an address (a property list is read by position) is sent.
    {"send", {"[\"/x\"]"}, 0, Unsent, {{KList, Sent}, {KPropList, Sent}}},
    // What is no number is port 0: the system chooses one.
    {"startListening", GoodStart, 0, Listens, {{KInteger, AsList}, {KFloat, AsList}}},
    // A nonzero number asks for property lists.
    {"startListening", GoodStart, 1, AsList, {{KInteger, AsPropList}, {KFloat, AsPropList}}},
    // Only a symbol names the handler; anything else calls the nameless one.
    {"startListening", GoodStart, 2, delivers(": \"/n\", [1]"), {{KSymbol, AsList}}},
    // The target may be any value; it comes first in every call.
    {"startListening",
     {"$INT", "0", "#onOsc", "VOID"},
     3,
     delivers("onOsc: $TARGET, \"/n\", [1]"),
     {}},
    // Arguments a method does not take are passed over, whatever their kind.
    {"forget", {"VOID"}, 0, {"VOID", false, ""}, {}},  // no probe after forget
    {"stopListening", {"VOID"}, 0, Quiet, {}},
    {"lastSender", {"VOID"}, 0, Quiet, {}},
    // Not listening: nothing leaves, whatever the packet.
    {"reply", {"[\"/x\"]"}, 0, Unsent, {}},
    {"sendFromListener", {"[\"/x\"]"}, 0, Unsent, {}},
    // The string kind here is no pattern (it does not start with '/').
    {"addRoute", {"\"/n\"", "#onOsc"}, 0, Unsent, {}},
    // Only a symbol names the handler.
    {"addRoute", {"\"/n\"", "#onOsc"}, 1, Unsent, {{KSymbol, Sent}}},
    // The target may be any value.
    {"addRoute", {"\"/n\"", "#onOsc", "VOID"}, 2, Sent, {}},
    // There is no route to remove.
    {"removeRoute", {"\"/n\""}, 0, Unsent, {}},
    // Only a dotted multicast address is a group, and only a dotted one
    // (or VOID, the system's choice) an interface; names are not resolved.
    {"joinGroup", {AGroup}, 0, NotMulticast, {}},
    {"joinGroup", {AGroup, Loopback}, 1, NotInterface, {{KVoid, NotListening}}},
    // There is no membership to leave.
    {"leaveGroup", {AGroup}, 0, Unsent, {}},
    {"leaveGroup", {AGroup, Loopback}, 1, Unsent, {}},
    // $INT, a port, is beyond the hop limit's 255.
    {"setMulticast", {"1"}, 0, Unsent, {}},
    {"setMulticast", {"1", Loopback}, 1, Unsent, {{KVoid, Sent}}},
    // Only a string names the host; the one given does not resolve.
    {"connectStream", GoodStream, 0, Unresolved, {}},
    // A float port is rounded; what is no number is no port.
    {"connectStream", GoodStream, 1, InvalidPort, {{KInteger, Listens}, {KFloat, Listens}}},
    // Only #length and #slip are framings.
    {"connectStream", GoodStream, 2, UnknownFraming, {}},
    // Any handler and any target are taken, as startListening takes them.
    {"connectStream", GoodStream, 3, Listens, {}},
    {"connectStream", {"\"127.0.0.1\"", "$INT", "#slip", "#onOsc", "VOID"}, 4, Listens, {}},
    // No stream is connected.
    {"sendStream", {"[\"/x\"]"}, 0, Unsent, {}},
    {"disconnectStream", {"VOID"}, 0, Quiet, {}},
};

const std::vector<Row> Rows = {
    // Missing arguments.
    {"new", {}, Unaimed},
    {"new", {"\"5000\""}, Unaimed},  // not even a string of digits sets the size
    {"setDestination", {}, Quiet},
    {"setDestination", {"\"localhost\""}, Quiet},  // the port stays
    // Destinations that cannot be sent to.
    {"setDestination", {"\"0.0.0.0\"", "$INT"}, Unaimed},
    {"setDestination", {"\"255.255.255.255\"", "$INT"}, Unaimed},  // never a broadcast
    {"setDestination", {"\"\"", "$INT"}, Unaimed},
    {"setDestination", {"\"127.0.0.1\"", "-1"}, Unaimed},
    {"setDestination", {"\"127.0.0.1\"", "70000"}, Unaimed},
    {"setDestination", {"\"127.0.0.1\"", "$WRAP"}, Unaimed},  // not taken modulo 65536
    {"send", {}, Unsent},
    {"startListening", {}, Missing},
    {"startListening", {"$INT"}, Missing},
    {"startListening", {"$INT", "0"}, Missing},
    // Extra arguments.
    {"new", {"4096", "[1]", "$OBJECT"}, Quiet},
    {"setDestination", {"\"127.0.0.1\"", "$INT", "[1]", "$OBJECT"}, Quiet},
    {"send", {"[\"/x\"]", "[1]", "$OBJECT"}, Sent},
    {"startListening",
     {"$INT", "0", "#onOsc", "$OBJECT", "[1]", "VOID"},
     delivers("onOsc: <object other>, \"/n\", [1]")},
    // The later methods: missing and extra arguments, hostile patterns.
    {"lastSender", {"[1]", "$OBJECT"}, Quiet},
    {"reply", {}, Unsent},
    {"sendFromListener", {}, Unsent},
    {"reply", {"[\"/x\"]", "[1]", "$OBJECT"}, Unsent},
    {"sendFromListener", {"[\"/x\"]", "[1]", "$OBJECT"}, Unsent},
    {"addRoute", {}, Unsent},
    {"addRoute", {"\"/n\""}, Unsent},
    {"addRoute", {"\"/n\"", "#onOsc", "$OBJECT", "[1]", "VOID"}, Sent},
    {"addRoute", {"\"\"", "#onOsc"}, Unsent},
    {"addRoute", {"\"/[a-\"", "#onOsc"}, Unsent},
    {"addRoute", {"\"/{a,b\"", "#onOsc"}, Unsent},
    {"addRoute", {"\"/a]\"", "#onOsc"}, Unsent},
    {"addRoute", {"\"/" + std::string(3000, '*') + "\"", "#onOsc"}, Sent},
    {"addRoute",
     {"\"/" + std::string(5000, 'a') + "\"", "#onOsc"},
     Unsent},  // longer than any address
    {"removeRoute", {}, Unsent},
    {"removeRoute", {"\"/n\"", "[1]"}, Unsent},
    // Multicast: missing and extra arguments, and addresses that are no
    // groups, no addresses or names.
    {"joinGroup", {}, Missing},
    {"joinGroup", {AGroup}, NotListening},
    {"joinGroup", {AGroup, "VOID", "[1]", "$OBJECT"}, NotListening},
    {"joinGroup", {"\"224.0.0.0\""}, NotListening},
    {"joinGroup", {"\"239.255.255.255\""}, NotListening},
    {"joinGroup", {"\"223.255.255.255\""}, NotMulticast},
    {"joinGroup", {"\"240.0.0.1\""}, NotMulticast},
    {"joinGroup", {"\"10.0.0.1\""}, NotMulticast},
    {"joinGroup", {"\"239.1\""}, NotMulticast},
    {"joinGroup", {"\" 239.255.0.1\""}, NotMulticast},
    {"joinGroup", {"\"239.255.0.1:9000\""}, NotMulticast},
    {"joinGroup", {"\"group.invalid\""}, NotMulticast},
    {"joinGroup", {"\"\""}, NotMulticast},
    {"joinGroup", {AGroup, "\"239.255.0.2\""}, NotInterface},
    {"joinGroup", {AGroup, "\"localhost\""}, NotInterface},
    {"joinGroup", {AGroup, "\"\""}, NotInterface},
    {"joinGroup", {AGroup, "\"127.0.0\""}, NotInterface},
    {"leaveGroup", {}, Unsent},
    {"leaveGroup", {AGroup, "VOID", "[1]", "$OBJECT"}, Unsent},
    {"leaveGroup", {"\"10.0.0.1\""}, Unsent},
    {"setMulticast", {}, Unsent},
    {"setMulticast", {"-1"}, Unsent},
    {"setMulticast", {"256"}, Unsent},
    {"setMulticast", {"0"}, Sent},
    {"setMulticast", {"255"}, Sent},
    {"setMulticast", {"255", "VOID", "[1]", "$OBJECT"}, Sent},
    {"setMulticast", {"1", "\"10.0.0\""}, Unsent},
    {"setMulticast", {"1", "\"224.0.0.1\""}, Unsent},
    {"setMulticast", {"1", "\"host.invalid\""}, Unsent},
    // A well-formed address that is no interface here is refused only by a
    // send to a group; the probe goes to one host.
    {"setMulticast", {"1", "\"192.0.2.1\""}, Sent},
    // Streams: missing and extra arguments, ports and framings that are none.
    {"connectStream", {}, Missing},
    {"connectStream", {"\"127.0.0.1\""}, Missing},
    {"connectStream", {"\"127.0.0.1\"", "$INT", "#length"}, Missing},
    {"connectStream",
     {"\"127.0.0.1\"", "$INT", "#length", "#onOsc", "VOID", "[1]", "$OBJECT"},
     Listens},
    {"connectStream", {"\"127.0.0.1\"", "0", "#length", "#onOsc"}, InvalidPort},
    {"connectStream", {"\"127.0.0.1\"", "-1", "#length", "#onOsc"}, InvalidPort},
    {"connectStream", {"\"127.0.0.1\"", "65536", "#length", "#onOsc"}, InvalidPort},
    {"connectStream", {"\"127.0.0.1\"", "$WRAP", "#length", "#onOsc"}, InvalidPort},
    {"connectStream", {"\"127.0.0.1\"", "$INT", "#udp", "#onOsc"}, UnknownFraming},
    {"connectStream", {"\"\"", "$INT", "#length", "#onOsc"}, Unresolved},
    {"connectStream", {"\"0.0.0.0\"", "$INT", "#length", "#onOsc"}, Unresolved},
    {"connectStream", {"\"255.255.255.255\"", "$INT", "#length", "#onOsc"}, Unresolved},
    {"sendStream", {}, Unsent},
    {"sendStream", {"[\"/x\"]", "[1]", "$OBJECT"}, Unsent},
    {"disconnectStream", {"[1]", "$OBJECT"}, Quiet},
};

std::vector<Row> allRows() {
  std::vector<Row> rows = Rows;
  for (const Sweep& sweep : Sweeps) {
    for (size_t kind = 0; kind < Kinds.size(); ++kind) {
      Row row{sweep.method, sweep.args, sweep.usual};
      for (const auto& [except, outcome] : sweep.except) {
        if (except == static_cast<Kind>(kind)) row.expected = outcome;
      }
      row.args[sweep.position] = Kinds[kind];
      const size_t at = row.expected.delivered.find("$TARGET");
      if (at != std::string::npos) row.expected.delivered.replace(at, 7, Kinds[kind]);
      rows.push_back(row);
    }
  }
  return rows;
}

// $INT as `port`, $WRAP as `port` + 65536; $OBJECT as the script object shows.
std::string substitute(std::string text, int port) {
  for (const auto& [token, by] : {std::pair<std::string, std::string>{"$INT", std::to_string(port)},
                                  {"$WRAP", std::to_string(port + 65536)},
                                  {"$OBJECT", "<object other>"}}) {
    const size_t at = text.find(token);
    if (at != std::string::npos) text.replace(at, token.size(), by);
  }
  return text;
}

std::string describe(const Row& row) {
  std::string text = row.method + "(";
  for (size_t i = 0; i < row.args.size(); ++i) text += (i > 0 ? ", " : "") + row.args[i];
  return text + ")";
}

class BadInputTest : public testsupport::LingoSessionFixture {
 protected:
  void SetUp() override {
    LingoSessionFixture::SetUp();
    host.scriptContext().setHandler("onOsc", [](const standin::HandlerCall&) { return StatusOk; });
    host.scriptContext().setHandler("", [](const standin::HandlerCall&) { return StatusOk; });
  }

  // The row's arguments as values, owned by `owned`.
  std::vector<HostValue> values(const std::vector<std::string>& literals, int port,
                                std::vector<OwnedValue>& owned) {
    std::vector<HostValue> args;
    for (const std::string& literal : literals) {
      owned.push_back(literal == "$OBJECT" ? host.own(host.makeObject("other"))
                                           : lingo(substitute(literal, port)));
      args.push_back(owned.back().get());
    }
    return args;
  }

  void aimAtCapture() {
    EXPECT_EQ(call("setDestination", {"\"127.0.0.1\"", std::to_string(capture.port())}), "VOID");
  }

  // Runs one row on a fresh object; the result in Lingo notation.
  std::string run(const Row& row, int* listenPort) {
    OwnedValue size = host.own(host.makeInteger(4096));
    object->call("forget");
    object = standin::LingoObject::create(host, hostids::ZephyxClass, {size.get()});
    if (!object) return "no object";
    aimAtCapture();
    std::string result;
    // A free port may be taken by another process before it is bound.
    for (int attempt = 0; attempt < 20; ++attempt) {
      *listenPort = row.method == "startListening" ? testsupport::freeUdpPort() : capture.port();
      std::vector<OwnedValue> owned;
      HostStatus status = -1;
      result = format(object->call(row.method, values(row.args, *listenPort, owned), &status));
      EXPECT_EQ(status, StatusOk);
      if (result != "\"unable to bind udp socket\"") break;
    }
    // `new` starts over, destination included.
    if (row.method == "new") aimAtCapture();
    return result;
  }

  // The handler call a datagram to `port` causes, as "handler: arguments".
  std::string deliveredCall(int port) {
    sender.send(port, testsupport::OscBytes().str("/n").str(",i").i32(1));
    const auto& calls = host.scriptContext().calls();
    if (!testsupport::pumpUntil(host, [&] { return !calls.empty(); })) return "nothing";
    const std::string text = calls.front().handler + ": " + calls.front().text;
    host.scriptContext().clearCalls();
    return text;
  }

  // True when exactly `count` datagrams reach the capture: a sentinel sent
  // after them is the next to arrive.
  bool caught(size_t count) {
    for (size_t i = 0; i < count; ++i) {
      if (!capture.receive()) return false;
    }
    const testsupport::Bytes sentinel = testsupport::OscBytes().str("/sentinel").str(",");
    sender.send(capture.port(), sentinel);
    const auto next = capture.receive();
    return next.has_value() && *next == sentinel;
  }

  testsupport::UdpCapture capture;
  testsupport::UdpSender sender;
  // Larger than the default buffer of 1024 bytes.
  const std::string probe = "[\"/probe\", [\"" + std::string(1100, 'p') + "\"]]";
};

TEST_F(BadInputTest, EveryKindInEveryPositionIsAnsweredAsDocumented) {
  for (const Row& row : allRows()) {
    SCOPED_TRACE(describe(row));
    int listenPort = 0;
    const std::string result = run(row, &listenPort);
    EXPECT_EQ(result, row.expected.result);
    const bool sentByRow = row.method == "send" && result == "1";

    if (!row.expected.delivered.empty()) {
      EXPECT_EQ(deliveredCall(listenPort), substitute(row.expected.delivered, listenPort));
    }
    size_t datagrams = sentByRow ? 1 : 0;
    if (row.method != "forget") {
      EXPECT_EQ(call("send", {probe}), row.expected.probeSent ? "1" : "0") << "probe";
      if (row.expected.probeSent) ++datagrams;
    }
    EXPECT_TRUE(caught(datagrams)) << datagrams << " datagrams expected";

    object->call("forget");
    object.reset();
    host.scriptContext().clearCalls();
    EXPECT_EQ(host.leakReport(), "");
    EXPECT_EQ(host.libraries().front()->canUnloadNow(), StatusOk) << "no interface object left";
    renew();  // for the next row, and for the fixture's teardown
  }
}

}  // namespace
}  // namespace zephyx
