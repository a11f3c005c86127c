// zephyx_instructions: the encode and decode paths with the null host, and
// oscpack alone doing the same, each measured by itself under callgrind
// (scripts/bench --instructions). For each packet and path: a warm-up, then
// Iterations packets between zeroed and dumped statistics, the dump named
// after the path and packet. Prints one line per measurement with what the
// table needs besides the instruction counts: the iterations, the values
// and queued items per packet, and the null host's calls. Runs outside
// valgrind too, where the client requests do nothing.
#include <valgrind/callgrind.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/type_symbol_table.h"
#include "direct_decoding.h"
#include "null_host.h"
#include "null_host_packet.h"
#include "oscpack_walk.h"
#include "packet_shapes.h"
#include "send/packet_sender.h"

namespace zephyx::bench {
namespace {

constexpr int Iterations = 1024;
constexpr int WarmUp = 16;

const char* const ShapeKeys[ShapeCount] = {"typed", "floats", "bundle"};
// OSC arguments per packet, an array counted by its elements: 9 + 2 in the
// typed message, 100 floats, 10 messages of an int32 and [0.5, [1, "x"]].
const int ValuesPerPacket[ShapeCount] = {11, 100, 40};

volatile int64_t sink = 0;

void report(const char* path, int shape, int64_t items, const NullHost* host) {
  std::printf("row %s %s iterations=%d values=%d items=%lld", path, ShapeKeys[shape], Iterations,
              ValuesPerPacket[shape], static_cast<long long>(items));
  if (host != nullptr) {
    std::printf(" hostcalls=%llu", static_cast<unsigned long long>(host->totalCalls()));
    for (int call = 0; call < HostCallCount; ++call) {
      const uint64_t count = host->calls(static_cast<HostCall>(call));
      if (count > 0) {
        std::printf(" %s=%llu", HostCallNames[call], static_cast<unsigned long long>(count));
      }
    }
  }
  std::printf("\n");
}

// Runs `work` for the warm-up, then Iterations times between zeroed and
// dumped statistics, the dump named after the path and packet; the null
// host's calls, if given, are counted from the measured runs only.
template <typename Work>
void countInstructions(const char* path, int shape, NullHost* host, Work&& work) {
  for (int i = 0; i < WarmUp; ++i) work();
  // Named before the statistics are zeroed, so that naming is not counted.
  const std::string name = std::string(path) + " " + ShapeKeys[shape];
  if (host != nullptr) host->resetCalls();
  CALLGRIND_ZERO_STATS;
  for (int i = 0; i < Iterations; ++i) work();
  CALLGRIND_DUMP_STATS_AT(name.c_str());
}

bool measureEncode(int shape) {
  NullHostPacket packet(shape);
  if (!encodesLikeDirect(packet.context(), packet.value, shape)) {
    std::fprintf(stderr, "%s: the null host's value does not encode to the direct packet\n",
                 ShapeKeys[shape]);
    return false;
  }
  std::vector<char> buffer(4096);
  countInstructions("encode", shape, &packet.host, [&] {
    send::PacketWriter writer(buffer.data(), buffer.size());
    sink = sink + send::encodePacket(packet.context(), writer, packet.value);
  });
  report("encode", shape, 0, &packet.host);

  countInstructions("oscpack-write", shape, nullptr, [&] {
    sink = sink + static_cast<int64_t>(writeDirect(shape, buffer.data(), buffer.size()));
  });
  report("oscpack-write", shape, 0, nullptr);
  return true;
}

bool measureDecode(int shape) {
  NullHost null;
  std::unique_ptr<TypeSymbolTable> table(makeTypeSymbolTable(null.values()));
  DirectDecoding receiver(null.broker(), null.values(), table.get());
  const std::vector<char> packet = directPacket(shape);
  // The queue is emptied after each packet, as a host loop that keeps up
  // would: the pop and the items' release are part of the path.
  int64_t items = 0;
  countInstructions("decode", shape, &null, [&] {
    receiver.process(packet);
    items = receiver.drain();
  });
  if (receiver.datagramsRejected() != 0 || items == 0) {
    std::fprintf(stderr, "%s: the packet was not decoded\n", ShapeKeys[shape]);
    return false;
  }
  report("decode", shape, items, &null);

  const auto size = static_cast<osc::osc_bundle_element_size_t>(packet.size());
  countInstructions("oscpack-walk", shape, nullptr,
                    [&] { sink = sink + walkElement(osc::ReceivedPacket(packet.data(), size)); });
  report("oscpack-walk", shape, 0, nullptr);
  return true;
}

}  // namespace
}  // namespace zephyx::bench

int main() {
  using namespace zephyx::bench;
  for (int shape = 0; shape < ShapeCount; ++shape) {
    if (!measureEncode(shape) || !measureDecode(shape)) return 1;
  }
  return 0;
}
