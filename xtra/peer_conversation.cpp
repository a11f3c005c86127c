#include "xtra/peer_conversation.h"

#include <cstdio>
#include <optional>

#include "common/ipv4_address.h"
#include "common/owned_value.h"
#include "receive/ofx_osc_receiver.h"
#include "send/destination.h"
#include "send/packet_sender.h"
#include "xtra/sending_control.h"
#include "xtra/stream_control.h"

namespace zephyx::xtra {
namespace {

// The listening socket towards one peer: it opens only while the instance
// listens (null receiver otherwise), and resolves the peer when it is
// given by name.
class ListenerSink final : public send::DatagramSink {
 public:
  // To the peer at `address` and `port`.
  ListenerSink(receive::ofxOscReceiver* receiver, const MulticastSending& multicast,
               uint32_t address, int32_t port)
      : receiver_(receiver), multicast_(multicast), address_(address), port_(port) {}
  // To `host`:`port`, resolved when opened.
  ListenerSink(receive::ofxOscReceiver* receiver, const MulticastSending& multicast,
               const char* host, int32_t port)
      : receiver_(receiver), multicast_(multicast), host_(host), port_(port) {}

  bool open() override {
    if (receiver_ == nullptr || receiver_->listeningSocket() == nullptr) return false;
    if (host_ != nullptr && !send::resolveDestination(host_, port_, &address_)) return false;
    return !isMulticastAddress(address_) ||
           receiver_->listeningSocket()->sendToGroupsWith(multicast_);
  }
  // Whether it left is not examined, as for send's own socket.
  bool send(const char* data, size_t size) override {
    receiver_->listeningSocket()->sendTo(address_, port_, data, size);
    return true;
  }

 private:
  receive::ofxOscReceiver* receiver_;
  const MulticastSending& multicast_;
  const char* host_ = nullptr;
  uint32_t address_ = 0;
  int32_t port_;
};

}  // namespace

void noteSender(XtraInstance& instance, const receive::Sender& sender, bool onStream) {
  instance.held->lastSenderOnStream = onStream;
  std::optional<receive::Sender>& last = instance.held->lastSender;
  if (sender.port != 0) {
    last = sender;
  } else {
    last.reset();
  }
}

void lastSenderFromCall(XtraInstance& instance, MethodCall& call) {
  IHostValues* values = instance.valueServices;
  IHostLists* lists = instance.listServices;
  const std::optional<receive::Sender>& last = instance.held->lastSender;
  if (values == nullptr || lists == nullptr || !last) return;
  const uint32_t address = last->address;
  char dotted[16];
  std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff,
                (address >> 8) & 0xff, address & 0xff);
  OwnedValue list(values);
  lists->newList(list.out());
  OwnedValue host(values);
  values->stringToValue(dotted, host.out());
  OwnedValue port(values);
  values->integerToValue(last->port, port.out());
  lists->appendToList(list.ptr(), host.ptr());
  lists->appendToList(list.ptr(), port.ptr());
  call.result = list.take();
}

void replyFromCall(XtraInstance& instance, MethodCall& call) {
  const std::optional<receive::Sender>& last = instance.held->lastSender;
  if (last && replyOverStream(instance, call)) return;
  ListenerSink sink(instance.listening && last ? instance.held->receiver.get() : nullptr,
                    instance.held->multicast, last ? last->address : 0, last ? last->port : 0);
  answerSend(instance, call, sink);
}

void sendFromListenerFromCall(XtraInstance& instance, MethodCall& call) {
  ListenerSink sink(instance.listening ? instance.held->receiver.get() : nullptr,
                    instance.held->multicast, instance.destinationHost, instance.destinationPort);
  answerSend(instance, call, sink);
}

}  // namespace zephyx::xtra
