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
namespace {

// Adds an item to `items`, or gives its values back if there is no room.
void keep(std::vector<ItemValues>& items, IHostValues* values, const ItemValues& item) {
  try {
    items.push_back(item);
  } catch (...) {
    values->releaseValue(&item.head);
    values->releaseValue(&item.body);
    throw;
  }
}

}  // namespace

ofxOscReceiver::ofxOscReceiver(IHostValues* values, const BrokerSource& broker)
    : itemValues(values), queue(values), brokerSource(broker) {}

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
    // Answers sent from this socket may go to a network's broadcast address.
    listenSocket->SetEnableBroadcast(true);
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
  if (takenServices && takenServices->ready() && broker == servicesBroker) {
    return takenServices.get();
  }
  // Changed, or missing a service last time: asked anew.
  dropServices();
  if (broker == nullptr) return nullptr;
  const bool made = neverThrow(false, [&] {
    takenServices = std::make_unique<ReceivingServices>(broker);
    return true;
  });
  if (!made) return nullptr;
  servicesBroker = broker;
  return takenServices->ready() ? takenServices.get() : nullptr;
}

void ofxOscReceiver::dropServices() {
  takenServices.reset();
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
  queue.clear();
}

std::optional<ReceivedItem> ofxOscReceiver::popItem() { return queue.pop(); }

void ofxOscReceiver::push(const ItemValues& item) {
  std::vector<ItemValues> one;
  keep(one, itemValues, item);
  evicted.fetch_add(queue.pushAll(one), std::memory_order_relaxed);
}

void ofxOscReceiver::ProcessPacket(const char* data, int size, const IpEndpointName& from) {
  if (size <= 0 || !isWellFormedPacket(data, static_cast<size_t>(size))) {
    rejected.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  // Taken once per datagram: the broker may change meanwhile, and what
  // this datagram's values are made with must stay until it is done.
  const ReceivingServices* held = currentServices();
  const Sender sender{static_cast<uint32_t>(from.address), static_cast<uint16_t>(from.port)};
  const bool done = neverThrow(false, [&] {
    if (held == nullptr || typeSymbols == nullptr) return true;
    const osc::ReceivedPacket packet(data, size);
    if (packet.IsBundle()) {
      convertBundle(osc::ReceivedBundle(packet), *held, sender, converted);
    } else {
      convertOne(osc::ReceivedMessage(packet), *held, sender, converted);
    }
    return true;
  });
  // What was converted before a failure is queued all the same, as if each
  // item had been queued when it was made.
  evicted.fetch_add(queue.pushAll(converted), std::memory_order_relaxed);
  (done ? processed : rejected).fetch_add(1, std::memory_order_relaxed);
}

void ofxOscReceiver::convertBundle(const osc::ReceivedBundle& bundle,
                                   const ReceivingServices& services, const Sender& sender,
                                   std::vector<ItemValues>& items) const {
  ItemValues start = makeBundleStart(services.values(), *typeSymbols, bundle.TimeTag());
  start.sender = sender;
  keep(items, services.values(), start);
  for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element) {
    if (element->IsBundle()) {
      convertBundle(osc::ReceivedBundle(*element), services, sender, items);
    } else {
      convertOne(osc::ReceivedMessage(*element), services, sender, items);
    }
  }
  ItemValues end = makeBundleEnd(services.values(), *typeSymbols);
  end.sender = sender;
  keep(items, services.values(), end);
}

void ofxOscReceiver::convertOne(const osc::ReceivedMessage& message,
                                const ReceivingServices& services, const Sender& sender,
                                std::vector<ItemValues>& items) const {
  const ConversionSettings settings{asPropList, blobsAsByteArrays, typeSymbols};
  ItemValues item = convertMessage(message, settings, services);
  item.sender = sender;
  keep(items, services.values(), item);
}

bool ofxOscReceiver::sendFromListeningSocket(uint32_t address, int32_t port, const char* data,
                                             size_t size) {
  if (!listenSocket || port < 1 || port > 65535) return false;
  // The receiving thread waits on this socket meanwhile; the codec's send
  // touches only what sending uses.
  return neverThrow(false, [&] {
    listenSocket->SendTo(IpEndpointName(address, port), data, size);
    return true;
  });
}

}  // namespace zephyx::receive
