// The receiving half of an instance: a UDP port, its thread and the queue
// of converted items.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

#include "host/host_values.h"
#include "osc/OscPacketListener.h"
#include "receive/listening_socket.h"
#include "receive/receive_settings.h"
#include "receive/received_queue.h"
#include "receive/receiving_services.h"

namespace zephyx::receive {

// Owns the socket, the receiving thread, the queue and the counters. What a
// datagram becomes is decodePacket's business; this class only hands each
// datagram to it and queues the result.
class ofxOscReceiver : public osc::OscPacketListener {
 public:
  static constexpr size_t LastErrorSize = 256;

  // Idle: no socket, no thread. `itemValues` is the value service that
  // items are released with; it must outlive the receiver.
  explicit ofxOscReceiver(IHostValues* itemValues);
  ~ofxOscReceiver() override;
  ofxOscReceiver(const ofxOscReceiver&) = delete;
  ofxOscReceiver& operator=(const ofxOscReceiver&) = delete;

  // Host thread. Stops a running receiver (dropping what it queued), binds
  // a UDP socket to `port` on every local IPv4 address (-1 and 0 let the
  // system choose) and starts the receiving thread with `settings`, which
  // it reads until stopReceiving returns. False, with the reason in
  // lastError(), when the port is outside -1..65535, the host's services
  // cannot be had, the socket cannot be made or bound, or the thread cannot
  // start.
  bool startReceiving(int32_t port, const ReceiveSettings& settings);

  // Host thread. Ends the thread and closes the socket if it runs, then
  // destroys every queued item.
  void stopReceiving();

  // Host thread. The oldest queued item, owned by the caller, or nothing.
  std::optional<ReceivedItem> popItem();
  size_t queuedCount() const { return queue.size(); }
  bool running() const { return listenSocket != nullptr; }

  // Any thread: the receiving thread, or another reader of packets. Queues
  // every item of one datagram together, in order, and leaves `items`
  // empty; the oldest items give way beyond the queue's limit.
  void pushItems(DatagramItems& items);

  // Host thread. The listening socket while running, else null; valid
  // until the next start or stop.
  ListeningSocket* listeningSocket() const { return listenSocket.get(); }

  // The reason the last start failed, without the codec's line feed.
  const char* lastError() const { return lastErrorText; }

  // Any thread.
  uint64_t datagramsProcessed() const { return processed.load(std::memory_order_acquire); }
  uint64_t datagramsRejected() const { return rejected.load(std::memory_order_acquire); }
  uint64_t itemsEvicted() const { return evicted.load(std::memory_order_acquire); }

 private:
  // Receiving thread. Decodes the datagram and queues its items together;
  // one that is malformed or cannot be converted whole adds nothing and is
  // counted as rejected. No exception leaves: one bad datagram must not end
  // the thread.
  void ProcessPacket(const char* data, int size, const IpEndpointName& remoteEndpoint) override;
  // Every datagram goes through ProcessPacket, which converts it whole.
  void ProcessMessage(const osc::ReceivedMessage&, const IpEndpointName&) override {}

  void setLastError(const char* text);
  void receiveLoop();

  char lastErrorText[LastErrorSize] = {};
  ReceivedQueue queue;
  std::unique_ptr<ListeningSocket> listenSocket;
  std::thread receiveThread;
  std::atomic<bool> threadFinished{true};
  // Written before the thread starts and read only by it until it ends;
  // the services are taken from the settings' broker at each start.
  ReceiveSettings settings;
  std::optional<ReceivingServices> services;

  std::atomic<uint64_t> processed{0};
  std::atomic<uint64_t> rejected{0};
  std::atomic<uint64_t> evicted{0};
};

}  // namespace zephyx::receive
