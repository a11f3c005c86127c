// The receiving half of an instance: a UDP port, its thread and the queue
// of converted items.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "host/host_broker.h"
#include "host/host_values.h"
#include "ip/UdpSocket.h"
#include "osc/OscPacketListener.h"
#include "receive/received_queue.h"
#include "receive/receiving_services.h"
#include "common/type_symbol_table.h"

namespace zephyx::receive {

class ofxOscReceiver : public osc::OscPacketListener {
 public:
  static constexpr size_t LastErrorSize = 256;

  // Where the receiving thread finds the host's broker, and through it the
  // services it builds values with; read afresh for every message, and the
  // services taken anew whenever it changed.
  using BrokerSource = std::atomic<IHostBroker*>;

  // Idle: no socket, no thread. `itemValues` is the value service that
  // items are released with; it and `broker` must outlive the receiver.
  ofxOscReceiver(IHostValues* itemValues, const BrokerSource& broker);
  ~ofxOscReceiver() override;
  ofxOscReceiver(const ofxOscReceiver&) = delete;
  ofxOscReceiver& operator=(const ofxOscReceiver&) = delete;

  // Host thread. Stops a running receiver (dropping what it queued), binds
  // a UDP socket to `port` on every local IPv4 address (-1 and 0 let the
  // system choose) and starts the receiving thread. False, with the reason
  // in lastError(), when the port is outside -1..65535, the socket cannot
  // be made or bound, or the thread cannot start. `typeSymbols` must stay
  // valid until stopReceiving returns.
  bool startReceiving(int32_t port, bool asPropList, bool blobsAsByteArrays,
                      const TypeSymbolTable* typeSymbols);

  // Host thread. Ends the thread and closes the socket if it runs, then
  // destroys every queued item.
  void stopReceiving();

  // Host thread. The oldest queued item, owned by the caller, or nothing.
  std::optional<ReceivedItem> popItem();
  size_t queuedCount() const { return queue.size(); }
  bool running() const { return listenSocket != nullptr; }

  // The reason the last start failed, without the codec's line feed.
  const char* lastError() const { return lastErrorText; }

  // Receiving thread, or a caller standing in for it. Queues one item and
  // takes over its values.
  void push(const ItemValues& item);

  // Host thread, while running. Sends `size` bytes as one datagram from the
  // listening socket to `address` (IPv4, host byte order) and `port`, so
  // that the peer's answers come back to this receiver. True when the
  // socket took it.
  bool sendFromListeningSocket(uint32_t address, int32_t port, const char* data, size_t size);

  // Any thread.
  uint64_t datagramsProcessed() const { return processed.load(std::memory_order_acquire); }
  uint64_t datagramsRejected() const { return rejected.load(std::memory_order_acquire); }
  uint64_t itemsEvicted() const { return evicted.load(std::memory_order_acquire); }

 protected:
  // Receiving thread. Each datagram is taken apart whole before anything is
  // converted; a malformed one adds nothing and is counted. Its items are
  // queued together once it is converted. No exception leaves: one bad
  // datagram must not end the thread.
  void ProcessPacket(const char* data, int size, const IpEndpointName& remoteEndpoint) override;
  // Every datagram goes through ProcessPacket, which converts it whole.
  void ProcessMessage(const osc::ReceivedMessage&, const IpEndpointName&) override {}

 private:
  void setLastError(const char* text);
  void receiveLoop();
  // The services of the current broker, taken at the first datagram after
  // the broker changed and kept, rather than taken and given back for every
  // datagram; null when they cannot be had.
  const ReceivingServices* currentServices();
  void dropServices();
  // Add a bundle's items (its elements depth first, between its markers)
  // or a message's item to `items`, each from `sender`.
  void convertBundle(const osc::ReceivedBundle& bundle, const ReceivingServices& services,
                     const Sender& sender, std::vector<ItemValues>& items) const;
  void convertOne(const osc::ReceivedMessage& message, const ReceivingServices& services,
                  const Sender& sender, std::vector<ItemValues>& items) const;

  char lastErrorText[LastErrorSize] = {};
  IHostValues* itemValues;
  ReceivedQueue queue;
  std::unique_ptr<UdpListeningReceiveSocket> listenSocket;
  std::thread receiveThread;
  std::atomic<bool> threadFinished{true};
  // Written before the thread starts, read only by it.
  bool asPropList = false;
  bool blobsAsByteArrays = false;
  const TypeSymbolTable* typeSymbols = nullptr;
  const BrokerSource& brokerSource;
  // Used by whichever thread processes datagrams: the receiving thread
  // while it runs, the host thread once it has been joined.
  std::unique_ptr<ReceivingServices> takenServices;
  IHostBroker* servicesBroker = nullptr;
  // The items of the datagram being converted; kept between datagrams only
  // for its capacity.
  std::vector<ItemValues> converted;

  std::atomic<uint64_t> processed{0};
  std::atomic<uint64_t> rejected{0};
  std::atomic<uint64_t> evicted{0};
};

}  // namespace zephyx::receive
