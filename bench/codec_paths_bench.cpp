// The receive path (validation and conversion into host values, as the
// receiving thread runs it) and the send path (encoding into the packet
// buffer), through the stand-in host.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "common/type_symbol_table.h"
#include "host/host_ids.h"
#include "osc/OscOutboundPacketStream.h"
#include "osc/OscReceivedElements.h"
#include "receive/packet_decoding.h"
#include "receive/packet_validation.h"
#include "send/packet_sender.h"
#include "standin/lingo_object.h"
#include "xtra/library_entry_points.h"
#include "xtra/scripting_object.h"
#include "xtra/sending_control.h"

namespace zephyx {
namespace {

using namespace receive;

// A typical controller message: an address and a handful of arguments.
std::vector<char> typicalMessage() {
  std::vector<char> buffer(256);
  osc::OutboundPacketStream stream(buffer.data(), buffer.size());
  stream << osc::BeginMessage("/synth/voice/3/freq") << 440.0f << osc::int32(1) << "saw"
         << osc::BeginArray << 0.25f << 0.5f << osc::EndArray << osc::EndMessage;
  buffer.resize(stream.Size());
  return buffer;
}

void BM_StandInValueMakeRelease(benchmark::State& state) {
  standin::StandInHost host;
  IHostValues& values = host.values();
  for (auto _ : state) {
    HostValue value;
    values.integerToValue(42, &value);
    values.releaseValue(&value);
  }
}
BENCHMARK(BM_StandInValueMakeRelease);

void BM_ValidatePacket(benchmark::State& state) {
  const std::vector<char> packet = typicalMessage();
  for (auto _ : state) {
    benchmark::DoNotOptimize(isWellFormedPacket(packet.data(), packet.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packet.size()));
}
BENCHMARK(BM_ValidatePacket);

// Validation, conversion into an item and the item's release: what one
// datagram costs the receiving thread and, for the release, the host thread.
void BM_ReceiveMessage(benchmark::State& state) {
  standin::StandInHost host;
  std::unique_ptr<TypeSymbolTable> table(makeTypeSymbolTable(&host.values()));
  const std::vector<char> packet = typicalMessage();
  const ReceiveSettings settings{&host.broker(), state.range(0) != 0, true, table.get()};
  // Taken once, as the receiving thread takes them when it starts.
  const ReceivingServices services(&host.broker());
  for (auto _ : state) {
    DatagramItems items(&host.values(), Sender{});
    if (decodePacket(packet.data(), packet.size(), settings, services, items) !=
        DecodeResult::Decoded) {
      state.SkipWithError("not decoded");
    }
    benchmark::DoNotOptimize(items.items()[0].head);
    items.giveBack();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(state.range(0) != 0 ? "property list" : "list");
}
BENCHMARK(BM_ReceiveMessage)->Arg(0)->Arg(1);

// Encoding one typed message into the packet buffer (no socket).
void BM_EncodeMessage(benchmark::State& state) {
  standin::StandInHost host;
  host.addClass(hostids::ZephyxClass, xtra::DllGetClassForm, xtra::DllGetInterface);
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass);
  const xtra::XtraInstance& instance =
      *static_cast<xtra::TStdXtra_IMoaMmXScript*>(object->script())->owner;
  const send::SendContext context = xtra::sendContextOf(instance);
  lingo::ParseResult parsed = host.parse(
      "[\"/synth/voice/3/freq\", [#float32: 440.0, #int32: 1, #string: \"saw\", "
      "#array: [0.25, 0.5]]]");
  OwnedValue message = host.own(parsed.value);
  std::vector<char> buffer(1024);
  for (auto _ : state) {
    send::PacketWriter writer(buffer.data(), buffer.size());
    send::encodePacket(context, writer, message.get());
    benchmark::DoNotOptimize(writer.size());
  }
  state.SetItemsProcessed(state.iterations());
  message.reset();
  object->call(1);  // forget
}
BENCHMARK(BM_EncodeMessage);

}  // namespace
}  // namespace zephyx
