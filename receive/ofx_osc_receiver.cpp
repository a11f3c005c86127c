#include "receive/ofx_osc_receiver.h"

#include <chrono>
#include <cstring>
#include <exception>
#include <system_error>

#include "common/never_throw.h"
#include "receive/bundle_markers.h"
#include "receive/message_conversion.h"
#include "receive/packet_validation.h"
#include "receive/receive_buffer.h"
#include "receive/receiving_services.h"

namespace zephyx::receive {

ofxOscReceiver::ofxOscReceiver(IHostValues* values, const BrokerSource& broker)
    : itemValues(values), brokerSource(broker) {}

ofxOscReceiver::~ofxOscReceiver() { stopReceiving(); }

void ofxOscReceiver::setLastError(const char* text) {
  std::strncpy(lastErrorText, text, LastErrorSize - 1);
  lastErrorText[LastErrorSize - 1] = '\0';
  // The codec's texts end in a line feed; the script gets the reason alone.
  size_t length = std::strlen(lastErrorText);
  while (length > 0 && (lastErrorText[length - 1] == '\n' || lastErrorText[length - 1] == '\r')) {
    lastErrorText[--length] = '\0';
  }
}

bool ofxOscReceiver::startReceiving(int32_t port, bool propList, bool byteArrays,
                                    const TypeSymbolTable* table) {
  if (listenSocket) stopReceiving();
  // The codec would bind the low 16 bits of any other value: a port nobody asked for.
  if (port < -1 || port > 65535) {
    setLastError("invalid udp port");
    return false;
  }
  asPropList = propList;
  blobsAsByteArrays = byteArrays;
  typeSymbols = table;
  threadFinished.store(false, std::memory_order_release);

  try {
    // The codec makes its socket first, before its wake-up pipe.
    const int descriptor = nextSocketDescriptor();
    listenSocket = std::make_unique<UdpListeningReceiveSocket>(
        IpEndpointName(IpEndpointName::ANY_ADDRESS, port), this);
    enlargeReceiveBuffer(descriptor, port);
  } catch (const std::exception& failure) {
    setLastError(failure.what());
    threadFinished.store(true, std::memory_order_release);
    return false;
  }

  try {
    receiveThread = std::thread(&ofxOscReceiver::receiveLoop, this);
  } catch (const std::exception&) {
    listenSocket.reset();
    threadFinished.store(true, std::memory_order_release);
    setLastError("unable to start receiving thread");
    return false;
  }
  return true;
}

void ofxOscReceiver::receiveLoop() {
  // "select failed" or out of memory: the thread ends, but cleanly.
  neverThrow([this] { listenSocket->Run(); });
  // Given back on this thread, before the host thread can go on.
  dropServices();
  threadFinished.store(true, std::memory_order_release);
}

const ReceivingServices* ofxOscReceiver::currentServices() {
  IHostBroker* broker = brokerSource.load(std::memory_order_acquire);
  if (services && services->ready() && broker == servicesBroker) return services.get();
  // Changed, or missing a service last time: asked anew.
  dropServices();
  if (broker == nullptr) return nullptr;
  const bool made = neverThrow(false, [&] {
    services = std::make_unique<ReceivingServices>(broker, ReceivingServices::ValuesAndContainers);
    return true;
  });
  if (!made) return nullptr;
  servicesBroker = broker;
  // Values alone are enough for bundle markers.
  return services->values != nullptr ? services.get() : nullptr;
}

void ofxOscReceiver::dropServices() {
  services.reset();
  servicesBroker = nullptr;
}

void ofxOscReceiver::stopReceiving() {
  if (listenSocket) {
    // The codec clears its break flag when Run starts, so a break sent
    // before the thread got there is lost: repeat it until the thread is out.
    while (!threadFinished.load(std::memory_order_acquire)) {
      listenSocket->AsynchronousBreak();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    receiveThread.join();
    listenSocket.reset();
  }
  dropServices();
  // Destroyed here, outside the queue's mutex.
  queue.takeAll();
}

std::unique_ptr<ReceivedItem> ofxOscReceiver::popItem() { return queue.pop(); }

void ofxOscReceiver::push(std::unique_ptr<ReceivedItem> item) {
  std::unique_ptr<ReceivedItem> removed = queue.push(std::move(item));
  if (removed) evicted.fetch_add(1, std::memory_order_relaxed);
}

void ofxOscReceiver::ProcessPacket(const char* data, int size,
                                   const IpEndpointName& remoteEndpoint) {
  if (size <= 0 || !isWellFormedPacket(data, static_cast<size_t>(size))) {
    rejected.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  // Taken once per datagram: the broker may change meanwhile, and what
  // this datagram's bundles hold must stay valid until it is done.
  packetServices = currentServices();
  const bool done = neverThrow(false, [&] {
    osc::OscPacketListener::ProcessPacket(data, size, remoteEndpoint);
    return true;
  });
  packetServices = nullptr;
  (done ? processed : rejected).fetch_add(1, std::memory_order_relaxed);
}

void ofxOscReceiver::ProcessBundle(const osc::ReceivedBundle& bundle,
                                   const IpEndpointName& remoteEndpoint) {
  const ReceivingServices* held = packetServices;
  if (held == nullptr) return;
  push(makeBundleStart(held->values, itemValues, bundle.TimeTag()));
  for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element) {
    if (element->IsBundle()) {
      ProcessBundle(osc::ReceivedBundle(*element), remoteEndpoint);
    } else {
      ProcessMessage(osc::ReceivedMessage(*element), remoteEndpoint);
    }
  }
  push(makeBundleEnd(held->values, itemValues));
}

void ofxOscReceiver::ProcessMessage(const osc::ReceivedMessage& message, const IpEndpointName&) {
  const ReceivingServices* held = packetServices;
  if (held == nullptr || !held->ready() || typeSymbols == nullptr) return;
  const ConversionSettings settings{asPropList, blobsAsByteArrays, typeSymbols, itemValues};
  push(convertMessage(message, settings, *held));
}

}  // namespace zephyx::receive
