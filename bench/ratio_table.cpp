// zephyx_ratio_table: the library's hot paths side by side with the least
// the same work can cost (oscpack alone, bare sockets), in one process, and
// a table of the ratios at the end; then a table of messages a second over
// TCP streams and UDP. Run through scripts/bench.
#include <algorithm>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "direct_decoding.h"
#include "end_to_end.h"
#include "host/host_ids.h"
#include "loopback_support.h"
#include "null_host.h"
#include "null_host_packet.h"
#include "osc/OscReceivedElements.h"
#include "oscpack_walk.h"
#include "packet_shapes.h"
#include "receive/ofx_osc_receiver.h"
#include "send/packet_sender.h"
#include "standin/lingo_object.h"
#include "standin/standin_host.h"
#include "throughput.h"
#include "xtra/library_entry_points.h"
#include "xtra/message_table.h"
#include "xtra/scripting_object.h"
#include "xtra/sending_control.h"

namespace zephyx::bench {
namespace {

// A stand-in host with one Zephyx object of the library's own class.
struct World {
  standin::StandInHost host;
  std::unique_ptr<standin::LingoObject> object;
  World() {
    host.addClass(hostids::ZephyxClass, xtra::DllGetClassForm, xtra::DllGetInterface);
    host.scriptContext().setRecordLimit(0);
    object = standin::LingoObject::create(host, hostids::ZephyxClass);
    if (!object) {
      std::fprintf(stderr, "cannot create a Zephyx object\n");
      std::exit(1);
    }
  }
  ~World() {
    object->call(xtra::MethodForget);
    object.reset();
  }
  xtra::XtraInstance& instance() {
    return *static_cast<xtra::TStdXtra_IMoaMmXScript*>(object->script())->owner;
  }
  OwnedValue parse(const std::string& text) {
    lingo::ParseResult parsed = host.parse(text);
    if (!parsed.ok) {
      std::fprintf(stderr, "bad Lingo value: %s\n", text.c_str());
      std::exit(1);
    }
    return host.own(parsed.value);
  }
};

// ---- 1. Encoding ----------------------------------------------------------

// Set when a Lingo value does not encode to its direct packet: the run
// then fails, whatever the timings.
bool packetsDiffer = false;

void encodeLoop(benchmark::State& state, const send::SendContext& context,
                const HostValue& packet) {
  if (!encodesLikeDirect(context, packet, static_cast<int>(state.range(0)))) {
    packetsDiffer = true;
    state.SkipWithError("the Lingo value does not encode to the direct packet");
    return;
  }
  std::vector<char> buffer(4096);
  for (auto _ : state) {
    send::PacketWriter writer(buffer.data(), buffer.size());
    benchmark::DoNotOptimize(send::encodePacket(context, writer, packet));
    benchmark::ClobberMemory();
  }
}

void BM_EncodeZephyx(benchmark::State& state) {
  World world;
  OwnedValue packet = world.parse(lingoText(static_cast<int>(state.range(0))));
  encodeLoop(state, xtra::sendContextOf(world.instance()), packet.get());
  packet.reset();
}

// The same packet through the null host: the library's own cost.
void BM_EncodeNullHost(benchmark::State& state) {
  const NullHostPacket packet(static_cast<int>(state.range(0)));
  encodeLoop(state, packet.context(), packet.value);
}

void BM_EncodeDirect(benchmark::State& state) {
  const int shape = static_cast<int>(state.range(0));
  std::vector<char> buffer(4096);
  for (auto _ : state) {
    benchmark::DoNotOptimize(writeDirect(shape, buffer.data(), buffer.size()));
    benchmark::ClobberMemory();
  }
}

// ---- 2. Sending -----------------------------------------------------------

void BM_SendZephyx(benchmark::State& state) {
  World world;
  SinkSocket sink;
  OwnedValue host = world.host.own(world.host.makeString("127.0.0.1"));
  OwnedValue port = world.host.own(world.host.makeInteger(sink.port()));
  world.object->call(xtra::MethodSetDestination, {host.get(), port.get()});
  OwnedValue packet = world.parse(lingoText(Typed));
  if (world.host.format(world.object->call(xtra::MethodSend, {packet.get()}).get()) != "1") {
    state.SkipWithError("send answered 0");
    return;
  }
  for (auto _ : state) {
    OwnedValue sent = world.object->call(xtra::MethodSend, {packet.get()});
    benchmark::DoNotOptimize(sent.get());
  }
  state.SetItemsProcessed(state.iterations());
  packet.reset();
}

void BM_SendSocketPerCall(benchmark::State& state) {
  SinkSocket sink;
  const std::vector<char> packet = directPacket(Typed);
  const sockaddr_in to = loopback(sink.port());
  for (auto _ : state) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    benchmark::DoNotOptimize(::send(fd, packet.data(), packet.size(), 0));
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_SendPersistentSocket(benchmark::State& state) {
  SinkSocket sink;
  const std::vector<char> packet = directPacket(Typed);
  const sockaddr_in to = loopback(sink.port());
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  for (auto _ : state) {
    benchmark::DoNotOptimize(::send(fd, packet.data(), packet.size(), 0));
  }
  ::close(fd);
  state.SetItemsProcessed(state.iterations());
}

// ---- 3. Decoding ----------------------------------------------------------

void decodeLoop(benchmark::State& state, DirectDecoding& receiver) {
  const std::vector<char> packet = directPacket(static_cast<int>(state.range(0)));
  int64_t pending = 0;
  for (auto _ : state) {
    receiver.process(packet);
    // Emptied out of the timing well before the queue limit would evict.
    if (++pending == 64) {
      state.PauseTiming();
      receiver.drain();
      pending = 0;
      state.ResumeTiming();
    }
  }
  receiver.drain();
  if (receiver.datagramsRejected() != 0) state.SkipWithError("datagram rejected");
}

void BM_DecodeZephyx(benchmark::State& state) {
  standin::StandInHost host;
  std::unique_ptr<TypeSymbolTable> table(makeTypeSymbolTable(&host.values()));
  DirectDecoding receiver(&host.broker(), &host.values(), table.get());
  decodeLoop(state, receiver);
}

void BM_DecodeNullHost(benchmark::State& state) {
  NullHost null;
  std::unique_ptr<TypeSymbolTable> table(makeTypeSymbolTable(null.values()));
  DirectDecoding receiver(null.broker(), null.values(), table.get());
  decodeLoop(state, receiver);
}

void BM_DecodeOscpack(benchmark::State& state) {
  const std::vector<char> packet = directPacket(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    osc::ReceivedPacket received(packet.data(),
                                 static_cast<osc::osc_bundle_element_size_t>(packet.size()));
    benchmark::DoNotOptimize(walkElement(received));
  }
}

// ---- 4. Delivery ----------------------------------------------------------

// Per iteration, a batch of queued items (arrived over loopback outside the
// timing) delivered by one pass of the host loop; the handler counts them.
constexpr int DeliveryBatch = 512;

// Patterns that the delivered message's address "/synth/voice/3" does not
// match, then one that it does: every item tries each route in turn.
constexpr int RoutesTried = 8;
std::vector<std::string> routePatterns() {
  std::vector<std::string> patterns;
  for (int i = 0; i < RoutesTried - 1; ++i) {
    patterns.push_back("/other/" + std::to_string(i) + "/*");
  }
  patterns.push_back("/synth/voice/*");
  return patterns;
}

void deliverLoop(benchmark::State& state, const std::vector<std::string>& routes) {
  World world;
  int64_t calls = 0;
  world.host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall&) {
    ++calls;
    return StatusOk;
  });
  // Routed to the listening handler, so that only the choice differs.
  for (const std::string& pattern : routes) {
    OwnedValue patternValue = world.host.own(world.host.makeString(pattern));
    OwnedValue handler = world.host.own(world.host.makeSymbol("onOsc"));
    OwnedValue added =
        world.object->call(xtra::MethodAddRoute, {patternValue.get(), handler.get()});
    if (world.host.format(added.get()) != "1") {
      state.SkipWithError("addRoute answered 0");
      return;
    }
  }
  int port = 0;
  for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
    const int candidate = freeUdpPort();
    OwnedValue portValue = world.host.own(world.host.makeInteger(candidate));
    OwnedValue shape = world.host.own(world.host.makeInteger(0));
    OwnedValue handler = world.host.own(world.host.makeSymbol("onOsc"));
    if (world.host.format(
            world.object
                ->call(xtra::MethodStartListening, {portValue.get(), shape.get(), handler.get()})
                .get()) == "1") {
      port = candidate;
    }
  }
  if (port == 0) {
    state.SkipWithError("cannot listen");
    return;
  }
  const receive::ofxOscReceiver* receiver = world.instance().held->receiver.get();
  const std::vector<char> packet = directPacket(Typed);
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<uint16_t>(port));
  for (auto _ : state) {
    for (int i = 0; i < DeliveryBatch; ++i) {
      ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
      // Small steps, so that the kernel's buffer never overflows.
      if (i % 64 == 63) {
        while (receiver->queuedCount() < static_cast<size_t>(i + 1)) std::this_thread::yield();
      }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (receiver->queuedCount() < DeliveryBatch && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    const int64_t before = calls;
    const auto start = std::chrono::steady_clock::now();
    world.host.pump();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (calls - before != DeliveryBatch) {
      state.SkipWithError("a batch was not delivered whole");
      break;
    }
  }
  ::close(fd);
  world.object->call(xtra::MethodStopListening);
  state.SetItemsProcessed(state.iterations() * DeliveryBatch);
}

void BM_DeliverZephyx(benchmark::State& state) { deliverLoop(state, {}); }
void BM_DeliverRouted(benchmark::State& state) { deliverLoop(state, routePatterns()); }

// `iterations` > 0 fixes every benchmark's count: for instruction counts
// under callgrind, where the timing would pick arbitrary counts.
void registerBenchmarks(int64_t iterations) {
  std::vector<benchmark::internal::Benchmark*> all;
  for (int shape = 0; shape < ShapeCount; ++shape) {
    all.push_back(benchmark::RegisterBenchmark("encode/zephyx", BM_EncodeZephyx)->Arg(shape));
    all.push_back(benchmark::RegisterBenchmark("encode/null_host", BM_EncodeNullHost)->Arg(shape));
    all.push_back(benchmark::RegisterBenchmark("encode/direct", BM_EncodeDirect)->Arg(shape));
  }
  all.push_back(benchmark::RegisterBenchmark("send/zephyx", BM_SendZephyx));
  all.push_back(benchmark::RegisterBenchmark("send/socket_per_call", BM_SendSocketPerCall));
  all.push_back(benchmark::RegisterBenchmark("send/persistent_socket", BM_SendPersistentSocket));
  for (int shape = 0; shape < ShapeCount; ++shape) {
    all.push_back(benchmark::RegisterBenchmark("decode/zephyx", BM_DecodeZephyx)->Arg(shape));
    all.push_back(benchmark::RegisterBenchmark("decode/null_host", BM_DecodeNullHost)->Arg(shape));
    all.push_back(benchmark::RegisterBenchmark("decode/oscpack", BM_DecodeOscpack)->Arg(shape));
  }
  all.push_back(benchmark::RegisterBenchmark("deliver/zephyx", BM_DeliverZephyx)->UseManualTime());
  all.push_back(benchmark::RegisterBenchmark("deliver/routed", BM_DeliverRouted)->UseManualTime());
  if (iterations > 0) {
    for (benchmark::internal::Benchmark* one : all) one->Iterations(iterations);
  }
}

// Keeps every run's time per iteration (ns) by name, and prints as usual.
// Each pair runs several times, interleaved with the others; the table
// takes the median, so a moment in which the machine is busy elsewhere
// does not decide a ratio.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved table stays plain text.
  CollectingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      nanoseconds[run.benchmark_name()].push_back(seconds * 1e9);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double ns(const std::string& name) const {
    const auto found = nanoseconds.find(name);
    if (found == nanoseconds.end() || found->second.empty()) return 0.0;
    std::vector<double> times = found->second;
    std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2),
                     times.end());
    return times[times.size() / 2];
  }
  std::map<std::string, std::vector<double>> nanoseconds;
};

const char* verdict(bool met) { return met ? "met" : "NOT MET"; }
// Only figures that were measured get a verdict.
const char* verdict(double a, double b, bool met) { return a > 0 && b > 0 ? verdict(met) : "-"; }

// The null host's columns are filled for encoding and decoding only.
void row(const char* what, const std::string& ours, const std::string& reference,
         const std::string& ratio, const std::string& goal, const std::string& status,
         const std::string& nullHost = "-", const std::string& nullRatio = "-") {
  std::printf("| %-50s | %-22s | %-12s | %-22s | %-8s | %-10s | %-12s | %-17s |\n", what,
              ours.c_str(), nullHost.c_str(), reference.c_str(), ratio.c_str(), nullRatio.c_str(),
              goal.c_str(), status.c_str());
}

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

std::string ratioText(const char* pattern, double a, double b) {
  return a > 0 && b > 0 ? format(pattern, a / b) : "-";
}

std::string describe(const StreamResult& r) {
  if (!r.ran) return "did not run";
  char text[160];
  std::snprintf(text, sizeof text, "%lld/%lld, kernel drops %ld",
                static_cast<long long>(r.delivered), static_cast<long long>(r.sent), r.kernelDrops);
  std::string out = text;
  if (r.queueEvicted > 0) out += ", queue evicted " + std::to_string(r.queueEvicted);
  if (r.receiveBuffer > 0) out += ", SO_RCVBUF " + std::to_string(r.receiveBuffer / 1024) + " KiB";
  if (r.longestPumpGapMs > 0) out += format(", longest pump gap %.1f ms", r.longestPumpGapMs);
  return out;
}

// Each way of sending this many times, interleaved; the medians are shown.
constexpr int ThroughputRounds = 3;

// Its own table: rates side by side, not ratios against a reference.
void printThroughput(const std::vector<ThroughputResult>& rows, int64_t messages) {
  // The message of the send rows above.
  const std::string title = "throughput, typed msg, " + std::to_string(messages) +
                            " calls, median of " + std::to_string(ThroughputRounds);
  std::printf("\n| %-50s | %-16s | %-20s | %-15s | %-21s |\n", title.c_str(), "accepted",
              "peer received", "peer got", "answered 0, retried");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(52, '-').c_str(), std::string(18, '-').c_str(),
              std::string(22, '-').c_str(), std::string(17, '-').c_str(),
              std::string(23, '-').c_str());
  for (const ThroughputResult& one : rows) {
    if (!one.ran) {
      std::printf("| %-50s | %-16s | %-20s | %-15s | %-21s |\n", one.what.c_str(), "did not run",
                  "-", "-", "-");
      continue;
    }
    const std::string got = std::to_string(one.received) + "/" + std::to_string(one.messages);
    std::printf("| %-50s | %-16s | %-20s | %-15s | %-21s |\n", one.what.c_str(),
                format("%.0f msg/s", one.acceptedPerSecond).c_str(),
                format("%.0f msg/s", one.receivedPerSecond).c_str(), got.c_str(),
                std::to_string(one.refused).c_str());
  }
}

}  // namespace
}  // namespace zephyx::bench

int main(int argc, char** argv) {
  using namespace zephyx::bench;
  // --e2e-seconds S (default 5), --e2e-rates a,b,c, --no-e2e,
  // --throughput-messages N, --no-throughput, --iterations N; the rest goes
  // to Google Benchmark.
  double e2eSeconds = 5;
  std::vector<int> rates = {25000, 50000, 100000, 150000, 200000};
  bool e2e = true;
  bool throughput = true;
  int64_t throughputMessages = 20000;
  int64_t iterations = 0;
  // Defaults for Google Benchmark; flags given later win.
  char repetitions[] = "--benchmark_repetitions=5";
  char interleaving[] = "--benchmark_enable_random_interleaving=true";
  char minimumTime[] = "--benchmark_min_time=0.2";
  std::vector<char*> passOn = {argv[0], repetitions, interleaving, minimumTime};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-e2e") {
      e2e = false;
    } else if (arg == "--no-throughput") {
      throughput = false;
    } else if (arg == "--throughput-messages" && i + 1 < argc) {
      throughputMessages = std::max<int64_t>(1, std::atoll(argv[++i]));
    } else if (arg == "--iterations" && i + 1 < argc) {
      iterations = std::atoll(argv[++i]);
    } else if (arg == "--e2e-seconds" && i + 1 < argc) {
      e2eSeconds = std::atof(argv[++i]);
    } else if (arg == "--e2e-rates" && i + 1 < argc) {
      rates.clear();
      for (char* part = std::strtok(argv[++i], ","); part; part = std::strtok(nullptr, ",")) {
        rates.push_back(std::atoi(part));
      }
    } else {
      passOn.push_back(argv[i]);
    }
  }
  int passCount = static_cast<int>(passOn.size());
  benchmark::Initialize(&passCount, passOn.data());
  registerBenchmarks(iterations);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::vector<StreamResult> ours, theirs;
  int held = 0;
  Latency latency;
  StreamResult latencyRun;
  if (e2e) {
    for (int rate : rates) {
      std::fprintf(stderr, "end to end: %d msg/s for %.0f s...\n", rate, e2eSeconds);
      ours.push_back(streamIntoZephyx(rate, e2eSeconds, nullptr));
      theirs.push_back(streamIntoOscdump(rate, e2eSeconds));
      if (ours.back().lossless())
        held = rate;
      else
        break;  // the search stops at the first rate with a loss
    }
    const int half = (held > 0 ? held : rates.front()) / 2;
    std::fprintf(stderr, "end to end: latency at %d msg/s...\n", half);
    latencyRun = streamIntoZephyx(half, e2eSeconds, &latency);
  }
  std::vector<ThroughputResult> throughputRows;
  if (throughput) {
    std::fprintf(stderr, "throughput: %lld messages each way, %d rounds...\n",
                 static_cast<long long>(throughputMessages), ThroughputRounds);
    throughputRows = measureThroughput(lingoText(Typed), throughputMessages, ThroughputRounds);
  }

  const CollectingReporter& r = reporter;
  std::printf("\n| %-50s | %-22s | %-12s | %-22s | %-8s | %-10s | %-12s | %-17s |\n", "measure",
              "zephyx (stand-in)", "null host", "reference", "ratio", "null ratio", "goal",
              "status");
  std::printf(
      "|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(52, '-').c_str(), std::string(24, '-').c_str(),
      std::string(14, '-').c_str(), std::string(24, '-').c_str(), std::string(10, '-').c_str(),
      std::string(12, '-').c_str(), std::string(14, '-').c_str(), std::string(19, '-').c_str());
  // Encoding and decoding: the stand-in's ratio and the null host's, each
  // against the same oscpack figure and goal; the status gives both.
  const auto codecRow = [&](const char* path, const char* reference, const char* referenceName,
                            double goal, const char* goalText) {
    for (int shape = 0; shape < ShapeCount; ++shape) {
      const std::string suffix = "/" + std::to_string(shape);
      const double a = r.ns(std::string(path) + "/zephyx" + suffix);
      const double n = r.ns(std::string(path) + "/null_host" + suffix);
      const double b = r.ns(std::string(path) + "/" + reference + suffix);
      row((std::string(path) + ": " + ShapeNames[shape]).c_str(), format("%.0f ns", a),
          format("%.0f ns (", b) + referenceName + ")", ratioText("%.2fx", a, b), goalText,
          std::string(verdict(a, b, a <= goal * b)) + " / " + verdict(n, b, n <= goal * b),
          format("%.0f ns", n), ratioText("%.2fx", n, b));
    }
  };
  codecRow("encode", "direct", "oscpack", 1.5, "<= 1.5x");
  {
    const auto perSecond = [&](const char* name) {
      return r.ns(name) > 0 ? 1e9 / r.ns(name) : 0.0;
    };
    const double z = perSecond("send/zephyx"), s = perSecond("send/socket_per_call"),
                 p = perSecond("send/persistent_socket");
    row("send: calls/s vs socket+connect+send+close", format("%.0f /s", z), format("%.0f /s", s),
        ratioText("%.2f", z, s), ">= 0.8", verdict(z, s, z >= 0.8 * s));
    row("send: calls/s vs one persistent socket", format("%.0f /s", z), format("%.0f /s", p),
        ratioText("%.2f", z, p), "-", "-");
  }
  codecRow("decode", "oscpack", "oscpack walk", 2.0, "<= 2x");
  row("deliver: per item (pop, handler, release)",
      format("%.0f ns", r.ns("deliver/zephyx/manual_time") / DeliveryBatch), "-", "-", "-", "-");
  const std::string routed =
      "deliver: per item with " + std::to_string(RoutesTried) + " routes, the last matching";
  row(routed.c_str(), format("%.0f ns", r.ns("deliver/routed/manual_time") / DeliveryBatch), "-",
      "-", "-", "-");
  if (e2e) {
    for (size_t i = 0; i < ours.size(); ++i) {
      const std::string rate =
          std::to_string(ours[i].rate / 1000) + "k msg/s, " + format("%.0f s", e2eSeconds);
      row(("end to end " + rate + ": delivered").c_str(), describe(ours[i]),
          describe(theirs[i]) + " (oscdump)", "-", "no loss", ours[i].lossless() ? "met" : "lost");
    }
    row("end to end: highest lossless rate tried", format("%.0f msg/s", held), "-", "-",
        ">= 100000", verdict(held >= 100000));
    row(("latency at " + std::to_string(latencyRun.rate) + " msg/s: median").c_str(),
        format("%.0f us", latency.medianUs), describe(latencyRun), "-", "-", "-");
    row(("latency at " + std::to_string(latencyRun.rate) + " msg/s: p99").c_str(),
        format("%.0f us", latency.p99Us), "-", "-", "< 1500 us",
        verdict(latency.samples > 0 && latency.p99Us < 1500));
  }
  if (throughput) printThroughput(throughputRows, throughputMessages);
  benchmark::Shutdown();
  if (packetsDiffer) {
    std::fprintf(stderr, "a Lingo value did not encode to its direct packet\n");
    return 1;
  }
  return 0;
}
