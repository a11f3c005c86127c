// Every kind of Lingo value in every argument position of the six methods,
// arguments missing and arguments to spare, through the loaded library. A
// script may pass anything; the library must answer as documented (send: 1
// or 0; startListening: 1 or the reason; the others: nothing), keep working
// and give back every value it took.
//
// Nothing here can reach another machine: each object is first aimed at a
// capture socket on 127.0.0.1, and the only host names a row passes are
// 127.0.0.1, localhost and a name under .invalid; other kinds copy as an
// empty name, which does not resolve.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "host/host_ids.h"
#include "tests/support/lingo_session.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/udp_loopback.h"

namespace {

using std::chrono::milliseconds;

// The kinds, in the order of every sweep's expectations. $INT stands for a
// port: the capture's for setDestination, a free one for startListening
// (and the capture's elsewhere, where it is just a large number).
constexpr size_t KindCount = 9;
const std::array<const char*, KindCount> Kinds = {
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

// One argument position of a method, swept over every kind; the other
// positions hold `args`.
struct Sweep {
  std::string method;
  std::vector<std::string> args;
  size_t position;  // index into args
  std::array<Outcome, KindCount> expected;
};

const Outcome Void{"VOID", true, ""};
const Outcome VoidUnsent{"VOID", false, ""};
const Outcome Sent{"1", true, ""};
const Outcome Unsent{"0", true, ""};
const Outcome Listens{"1", true, ""};
Outcome delivers(const std::string& call) { return {"1", true, call}; }

const std::vector<std::string> GoodStart = {"$INT", "0", "#onOsc"};

const std::vector<Sweep> Sweeps = {
    // Only an integer sets the buffer size; every other kind leaves 1024,
    // too small for the probe.
    {"new", {"4096"}, 0,
     {VoidUnsent, Void, VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent,
      VoidUnsent}},
    // Only a string names a host; the one given does not resolve.
    {"setDestination", {"\"127.0.0.1\"", "$INT"}, 0,
     {VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent,
      VoidUnsent, VoidUnsent}},
    // A float port is rounded; what is no number is port 0, which sends nothing.
    {"setDestination", {"\"127.0.0.1\"", "$INT"}, 1,
     {VoidUnsent, Void, Void, VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent, VoidUnsent,
      VoidUnsent}},
    // Only a list with an address (a property list is read by position) is sent.
    {"send", {"[\"/x\"]"}, 0,
     {Unsent, Unsent, Unsent, Unsent, Unsent, Sent, Sent, Unsent, Unsent}},
    // What is no number is port 0: the system chooses one.
    {"startListening", GoodStart, 0,
     {Listens, delivers("onOsc: \"/n\", [1]"), delivers("onOsc: \"/n\", [1]"), Listens, Listens,
      Listens, Listens, Listens, Listens}},
    // A nonzero number asks for property lists.
    {"startListening", GoodStart, 1,
     {delivers("onOsc: \"/n\", [1]"), delivers("onOsc: \"/n\", [#int32: 1]"),
      delivers("onOsc: \"/n\", [#int32: 1]"), delivers("onOsc: \"/n\", [1]"),
      delivers("onOsc: \"/n\", [1]"), delivers("onOsc: \"/n\", [1]"),
      delivers("onOsc: \"/n\", [1]"), delivers("onOsc: \"/n\", [1]"),
      delivers("onOsc: \"/n\", [1]")}},
    // Only a symbol names the handler; anything else calls the nameless one.
    {"startListening", GoodStart, 2,
     {delivers(": \"/n\", [1]"), delivers(": \"/n\", [1]"), delivers(": \"/n\", [1]"),
      delivers(": \"/n\", [1]"), delivers("onOsc: \"/n\", [1]"), delivers(": \"/n\", [1]"),
      delivers(": \"/n\", [1]"), delivers(": \"/n\", [1]"), delivers(": \"/n\", [1]")}},
};

// The target may be any value; it comes first in every call.
Sweep targetSweep() {
  Sweep sweep{"startListening", {"$INT", "0", "#onOsc", "VOID"}, 3, {}};
  const std::array<const char*, KindCount> shown = {
      "VOID", "$INT", "$INT.25", "\"no-such-host.invalid\"", "#onOsc", "[\"/bad\", [1]]",
      "[#address: \"/p\"]", "<bytes 2f 61 00>", "<object other>"};
  for (size_t kind = 0; kind < KindCount; ++kind) {
    sweep.expected[kind] = delivers(std::string("onOsc: ") + shown[kind] + ", \"/n\", [1]");
  }
  return sweep;
}

// Arguments a method does not take are passed over, whatever their kind.
Sweep extraSweep(const std::string& method, const Outcome& outcome) {
  Sweep sweep{method, {"VOID"}, 0, {}};
  sweep.expected.fill(outcome);
  return sweep;
}

const std::vector<Row> Rows = {
    // Missing arguments.
    {"new", {}, VoidUnsent},
    {"setDestination", {}, Void},
    {"setDestination", {"\"localhost\""}, Void},  // the port stays
    {"send", {}, Unsent},
    {"startListening", {}, {"\"missing argument\"", true, ""}},
    {"startListening", {"$INT"}, {"\"missing argument\"", true, ""}},
    {"startListening", {"$INT", "0"}, {"\"missing argument\"", true, ""}},
    // Extra arguments.
    {"new", {"4096", "[1]", "$OBJECT"}, Void},
    {"setDestination", {"\"127.0.0.1\"", "$INT", "[1]", "$OBJECT"}, Void},
    {"send", {"[\"/x\"]", "[1]", "$OBJECT"}, Sent},
    {"startListening", {"$INT", "0", "#onOsc", "$OBJECT", "[1]", "VOID"},
     delivers("onOsc: <object other>, \"/n\", [1]")},
};

std::vector<Row> allRows() {
  std::vector<Sweep> sweeps = Sweeps;
  sweeps.push_back(targetSweep());
  sweeps.push_back(extraSweep("forget", {"VOID", false, ""}));  // no probe after forget
  sweeps.push_back(extraSweep("stopListening", Void));
  std::vector<Row> rows = Rows;
  for (const Sweep& sweep : sweeps) {
    for (size_t kind = 0; kind < KindCount; ++kind) {
      Row row{sweep.method, sweep.args, sweep.expected[kind]};
      row.args[sweep.position] = Kinds[kind];
      rows.push_back(row);
    }
  }
  return rows;
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
    // Larger than the default buffer of 1024 bytes.
    probe = "[\"/probe\", [\"" + std::string(1100, 'p') + "\"]]";
  }

  // The row's arguments as values, $INT replaced by `port`.
  std::vector<OwnedValue> values(const std::vector<std::string>& literals, int port) {
    std::vector<OwnedValue> owned;
    for (std::string literal : literals) {
      if (literal == "$OBJECT") {
        owned.push_back(host.own(host.makeObject("other")));
        continue;
      }
      const size_t at = literal.find("$INT");
      if (at != std::string::npos) literal.replace(at, 4, std::to_string(port));
      owned.push_back(lingo(literal));
    }
    return owned;
  }

  static std::vector<HostValue> raw(const std::vector<OwnedValue>& owned) {
    std::vector<HostValue> args;
    for (const OwnedValue& value : owned) args.push_back(value.get());
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
      std::vector<OwnedValue> owned = values(row.args, *listenPort);
      HostStatus status = -1;
      result = format(object->call(row.method, raw(owned), &status));
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

  // True when exactly `count` datagrams reach the capture.
  bool caught(size_t count) {
    for (size_t i = 0; i < count; ++i) {
      if (!capture.receive()) return false;
    }
    return capture.quiet(milliseconds(20));
  }

  testsupport::UdpCapture capture;
  testsupport::UdpSender sender;
  std::string probe;
};

TEST_F(BadInputTest, EveryKindInEveryPositionIsAnsweredAsDocumented) {
  for (const Row& row : allRows()) {
    SCOPED_TRACE(describe(row));
    int listenPort = 0;
    const std::string result = run(row, &listenPort);
    EXPECT_EQ(result, row.expected.result);
    const bool sentByRow = row.method == "send" && result == "1";

    if (!row.expected.delivered.empty()) {
      std::string expected = row.expected.delivered;
      const size_t at = expected.find("$INT");
      if (at != std::string::npos) expected.replace(at, 4, std::to_string(listenPort));
      EXPECT_EQ(deliveredCall(listenPort), expected);
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
    renew();  // for the next row, and for the fixture's teardown
  }
}

}  // namespace
