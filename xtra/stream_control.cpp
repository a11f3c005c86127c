#include "xtra/stream_control.h"

#include <memory>

#include "send/destination.h"
#include "xtra/listening_control.h"
#include "xtra/process_state.h"
#include "xtra/sending_control.h"

namespace zephyx::xtra {
namespace {

// connectStream needs host, port, framing and handler after `me`.
constexpr int32_t ConnectStreamRequiredArgs = 5;
constexpr int32_t StreamHostSize = 256;

// The stream as a packet sink: open while a connection is made.
class StreamSink final : public send::DatagramSink {
 public:
  explicit StreamSink(stream::StreamConnection* connection) : connection_(connection) {}
  bool open() override { return connection_ != nullptr && connection_->open(); }
  bool send(const char* data, size_t size) override { return connection_->send(data, size); }

 private:
  stream::StreamConnection* connection_;
};

const char* framingOf(IHostValues* values, const HostValue& value, stream::Framing* framing) {
  HostSymbol given = NoSymbol;
  HostSymbol length = NoSymbol;
  HostSymbol slip = NoSymbol;
  // Only a symbol converts to one.
  if (values->valueToSymbol(&value, &given) != StatusOk) return "unknown framing";
  values->stringToSymbol("length", &length);
  values->stringToSymbol("slip", &slip);
  if (given != NoSymbol && given == length) {
    *framing = stream::Framing::Length;
  } else if (given != NoSymbol && given == slip) {
    *framing = stream::Framing::Slip;
  } else {
    return "unknown framing";
  }
  return nullptr;
}

// Why the call cannot start a stream, or null with `peer` filled.
const char* peerOf(XtraInstance& instance, const MethodCall& call, stream::StreamPeer* peer) {
  IHostValues* values = instance.valueServices;
  if (call.argCount < ConnectStreamRequiredArgs || call.args == nullptr) return "missing argument";
  if (const char* refusal = framingOf(values, call.args[3], &peer->framing)) return refusal;
  int32_t kind = KindVoid;
  int32_t port = 0;
  values->valueType(&call.args[2], &kind);
  if ((kind != KindInteger && kind != KindFloat) ||
      values->valueToInteger(&call.args[2], &port) != StatusOk || port < 1 || port > 65535) {
    return "invalid port";
  }
  values->valueType(&call.args[1], &kind);
  char host[StreamHostSize] = {};
  if (kind != KindString || values->copyString(&call.args[1], host, StreamHostSize) != StatusOk) {
    return "unable to resolve host";
  }
  host[StreamHostSize - 1] = '\0';
  // Resolving is the one wait on the host thread; connecting is the stream's.
  if (!send::resolveDestination(host, port, &peer->address)) return "unable to resolve host";
  peer->port = static_cast<uint16_t>(port);
  return nullptr;
}

}  // namespace

void connectStreamFromCall(XtraInstance& instance, MethodCall& call,
                           TStdXtra_IMoaMmXScript* script) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;
  InstanceHoldings& held = *instance.held;
  stream::StreamPeer peer;
  const char* refusal = peerOf(instance, call, &peer);
  if (refusal == nullptr && held.stream && held.stream->open()) refusal = "stream already open";
  if (refusal != nullptr) {
    values->stringToValue(refusal, &call.result);
    return;
  }
  // One that is waiting to connect again gives way.
  endStream(instance);

  HostSymbol handler = NoSymbol;
  values->valueToSymbol(&call.args[4], &handler);
  held.streamHandler = handler;
  held.streamHasTarget = call.argCount > ConnectStreamRequiredArgs;
  held.streamTarget =
      held.streamHasTarget ? OwnedValue::retain(values, call.args[5]) : OwnedValue();

  if (!held.stream) held.stream = std::make_unique<stream::StreamConnection>(values);
  const receive::ReceiveSettings settings{sharedBroker, held.asPropList, isModernHost,
                                          held.typeSymbols.get()};
  if (!held.stream->start(peer, settings)) {
    held.streamTarget = OwnedValue();
    held.streamHasTarget = false;
    values->stringToValue(held.stream->lastError(), &call.result);
    return;
  }
  keepDelivering(instance, script);
  values->integerToValue(1, &call.result);
}

void sendStreamFromCall(XtraInstance& instance, MethodCall& call) {
  StreamSink sink(instance.held->stream.get());
  answerSend(instance, call, sink, static_cast<int32_t>(stream::MaxFrameSize));
}

bool replyOverStream(XtraInstance& instance, MethodCall& call) {
  if (!instance.held->lastSenderOnStream) return false;
  sendStreamFromCall(instance, call);
  return true;
}

void endStream(XtraInstance& instance) {
  InstanceHoldings* held = instance.held.get();
  if (held == nullptr) return;
  if (held->stream) held->stream->stop();
  held->streamTarget = OwnedValue();
  held->streamHasTarget = false;
  stopDeliveringWhenIdle(instance);
}

}  // namespace zephyx::xtra
