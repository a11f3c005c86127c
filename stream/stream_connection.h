// One OSC stream over TCP: a connection of its own thread that keeps itself
// open, the packets waiting to be written to it, and the items read from it
// waiting for the host thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

#include "receive/receive_settings.h"
#include "receive/received_item.h"
#include "receive/received_queue.h"
#include "stream/stream_framing.h"

namespace zephyx::stream {

// The bytes of framed packets that may wait to be written, so that a peer
// that stops reading can never hold the host thread or grow memory.
constexpr size_t OutgoingLimit = 1024 * 1024;
// Between a failed or lost connection and the next attempt: doubling from
// the first to the last, and the first again once a connection is made.
constexpr std::chrono::milliseconds FirstRetryDelay(500);
constexpr std::chrono::milliseconds LastRetryDelay(8000);
// A connection not made by then has timed out.
constexpr std::chrono::milliseconds ConnectTimeout(5000);
// How long stop goes on writing what is queued before it closes.
constexpr std::chrono::milliseconds FlushLimit(1000);

struct StreamPeer {
  uint32_t address = 0;  // IPv4, host byte order
  uint16_t port = 0;
  Framing framing = Framing::Length;
};

class StreamConnection {
 public:
  static constexpr size_t LastErrorSize = 256;

  // Idle. `itemValues` gives back the values of items not popped; it must
  // outlive the connection.
  explicit StreamConnection(IHostValues* itemValues);
  ~StreamConnection();
  StreamConnection(const StreamConnection&) = delete;
  StreamConnection& operator=(const StreamConnection&) = delete;

  // Host thread. Starts the stream's thread, which connects to `peer` and,
  // whenever the connection fails, is refused, is closed or breaks, reports
  // it and connects again after a delay, until stop. Received packets are
  // validated and converted with `settings`, which it reads until stop
  // returns, and queued with a (#streamopen, 0) item when a connection is
  // made and (#streamclosed, the reason) when it goes. False, with the
  // reason in lastError(), when the host's services cannot be had or the
  // thread cannot start.
  bool start(const StreamPeer& peer, const receive::ReceiveSettings& settings);

  // Host thread. Writes what is queued for at most FlushLimit, closes the
  // connection, ends the thread and drops every item not popped. Nothing
  // when not started.
  void stop();

  bool running() const { return thread_.joinable(); }
  // Any thread. True while a connection is made.
  bool open() const { return open_.load(std::memory_order_acquire); }
  const StreamPeer& peer() const { return peer_; }

  // Host thread. Frames `packet` and queues it for writing. False when no
  // connection is made, the packet is larger than MaxFrameSize, or the
  // queue would pass OutgoingLimit. What is queued when a connection goes
  // is dropped with it: the #streamclosed item says so.
  bool send(const char* packet, size_t size);

  // Host thread. The oldest item read from the stream, or nothing.
  std::optional<receive::ReceivedItem> popItem() { return queue_.pop(); }
  size_t queuedCount() const { return queue_.size(); }

  const char* lastError() const { return lastError_; }

  // Any thread.
  uint64_t packetsProcessed() const { return processed_.load(std::memory_order_acquire); }
  uint64_t packetsRejected() const { return rejected_.load(std::memory_order_acquire); }

 private:
  class Session;

  void setLastError(const char* text);

  receive::ReceivedQueue queue_;
  StreamPeer peer_;
  // Made by start and destroyed by stop once the thread is joined; between
  // the two, what the host thread touches of it is guarded inside.
  std::unique_ptr<Session> session_;
  std::thread thread_;
  std::atomic<bool> open_{false};
  std::atomic<uint64_t> processed_{0};
  std::atomic<uint64_t> rejected_{0};
  char lastError_[LastErrorSize] = {};
};

}  // namespace zephyx::stream
