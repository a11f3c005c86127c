#include "receive/ofx_osc_receiver.h"

#include <chrono>
#include <cstring>
#include <exception>

#include "common/never_throw.h"
#include "receive/packet_decoding.h"

namespace zephyx::receive {

ofxOscReceiver::ofxOscReceiver(IHostValues* itemValues) : queue(itemValues) {}

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

bool ofxOscReceiver::startReceiving(int32_t port, const ReceiveSettings& startSettings) {
  if (listenSocket) stopReceiving();
  // The codec would bind the low 16 bits of any other value: a port nobody asked for.
  if (port < -1 || port > 65535) {
    setLastError("invalid udp port");
    return false;
  }
  settings = startSettings;
  // Taken once per start rather than for every datagram, and given back once
  // the thread is joined. Without them every datagram would be dropped:
  // better said now.
  const bool haveServices = neverThrow(false, [&] {
    services.emplace(settings.broker);
    return services->ready();
  });
  if (!haveServices || settings.typeSymbols == nullptr) {
    services.reset();
    setLastError("unable to get host services");
    return false;
  }

  try {
    listenSocket = std::make_unique<ListeningSocket>(port, this);
  } catch (const std::exception& failure) {
    setLastError(failure.what());
    services.reset();
    return false;
  }

  threadFinished.store(false, std::memory_order_release);
  try {
    receiveThread = std::thread(&ofxOscReceiver::receiveLoop, this);
  } catch (const std::exception&) {
    listenSocket.reset();
    threadFinished.store(true, std::memory_order_release);
    services.reset();
    setLastError("unable to start receiving thread");
    return false;
  }
  return true;
}

void ofxOscReceiver::receiveLoop() {
  // "select failed" or out of memory: the thread ends, but cleanly.
  neverThrow([this] { listenSocket->run(); });
  threadFinished.store(true, std::memory_order_release);
}

void ofxOscReceiver::stopReceiving() {
  if (listenSocket) {
    // The codec clears its break flag when it starts running, so a break
    // sent before the thread got there is lost: repeat it until the thread
    // is out.
    while (!threadFinished.load(std::memory_order_acquire)) {
      listenSocket->breakRun();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    receiveThread.join();
    listenSocket.reset();
  }
  services.reset();
  queue.clear();
}

std::optional<ReceivedItem> ofxOscReceiver::popItem() { return queue.pop(); }

void ofxOscReceiver::pushItems(DatagramItems& items) {
  evicted.fetch_add(queue.pushAll(items), std::memory_order_relaxed);
}

void ofxOscReceiver::ProcessPacket(const char* data, int size, const IpEndpointName& from) {
  if (!services || size <= 0) {
    rejected.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  const Sender sender{static_cast<uint32_t>(from.address), static_cast<uint16_t>(from.port)};
  DatagramItems items(services->values(), sender);
  const DecodeResult result =
      decodePacket(data, static_cast<size_t>(size), settings, *services, items);
  if (result != DecodeResult::Decoded) {
    rejected.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  pushItems(items);
  processed.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace zephyx::receive
