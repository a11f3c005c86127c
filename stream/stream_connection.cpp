#include "stream/stream_connection.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

#include "asio.hpp"
#include "common/never_throw.h"
#include "common/owned_value.h"
#include "receive/datagram_items.h"
#include "receive/packet_decoding.h"
#include "receive/receiving_services.h"

namespace zephyx::stream {

using asio::ip::tcp;
using ErrorCode = std::error_code;

namespace {

// TCP waits for a reader, so a stream need lose nothing to the queue's
// limit: reading pauses while the host thread has more than this many items
// to take. One read makes at most a few hundred items (the smallest packet,
// four bytes, framed in five or eight), so the queue never reaches its limit
// through small packets; a single large packet may still pass it, as a
// datagram may.
constexpr size_t ReadSize = 2048;
constexpr size_t ResumeReadingAt = receive::ReceivedQueue::ReceivedQueueLimit / 2;
constexpr std::chrono::milliseconds QueuePoll(1);

}  // namespace

// Everything of one started stream that the stream's thread works with.
// Only that thread touches the socket, the timers and the reader; the host
// thread only queues packets (under outgoingMutex_) and posts to io_.
class StreamConnection::Session final : public FrameSink {
 public:
  Session(StreamConnection& owner, const receive::ReceiveSettings& settings)
      : owner_(owner),
        settings_(settings),
        services_(settings.broker),
        socket_(io_),
        connectTimer_(io_),
        retryTimer_(io_),
        flushTimer_(io_),
        pauseTimer_(io_),
        reader_(owner.peer_.framing) {}

  bool ready() const { return services_.ready() && settings_.typeSymbols != nullptr; }

  // The stream's thread.
  void run() {
    asio::post(io_, [this] { connect(); });
    // A handler that throws (out of memory) ends this run; the stream
    // closes rather than take the host down.
    neverThrow([this] { io_.run(); });
    owner_.open_.store(false, std::memory_order_release);
  }

  // Host thread.
  void requestStop() {
    asio::post(io_, [this] { beginStop(); });
  }

  // Host thread.
  bool enqueue(const char* packet, size_t size) {
    std::vector<char> frame;
    if (!appendFrame(owner_.peer_.framing, packet, size, frame)) return false;
    {
      const std::lock_guard<std::mutex> lock(outgoingMutex_);
      if (!owner_.open() || stopping_ || outgoingBytes_ + frame.size() > OutgoingLimit) {
        return false;
      }
      outgoingBytes_ += frame.size();
      outgoing_.push_back(std::move(frame));
    }
    asio::post(io_, [this] { write(); });
    return true;
  }

 private:
  void connect() {
    if (stopping()) return;
    const uint64_t attempt = ++connection_;
    timedOut_ = false;
    ErrorCode ignored;
    socket_.close(ignored);
    connectTimer_.expires_after(ConnectTimeout);
    connectTimer_.async_wait([this, attempt](const ErrorCode& error) {
      if (error || attempt != connection_) return;
      timedOut_ = true;
      ErrorCode closing;
      socket_.close(closing);
    });
    const tcp::endpoint endpoint(asio::ip::address_v4(owner_.peer_.address), owner_.peer_.port);
    socket_.async_connect(endpoint, [this, attempt](const ErrorCode& error) {
      if (attempt != connection_) return;
      connectTimer_.cancel();
      connected(error);
    });
  }

  void connected(const ErrorCode& error) {
    if (stopping()) return finish();
    if (error) {
      return lost(timedOut_                                  ? "connection timed out"
                  : error == asio::error::connection_refused ? "connection refused"
                                                             : "unable to connect");
    }
    ErrorCode ignored;
    socket_.set_option(tcp::no_delay(true), ignored);
    retryDelay_ = FirstRetryDelay;
    reader_.reset();
    owner_.open_.store(true, std::memory_order_release);
    addMarker(settings_.typeSymbols->streamOpen, nullptr);
    read();
    write();
  }

  void read() {
    const uint64_t attempt = connection_;
    socket_.async_read_some(asio::buffer(readBuffer_),
                            [this, attempt](const ErrorCode& error, size_t size) {
                              if (attempt != connection_) return;
                              received(error, size);
                            });
  }

  void received(const ErrorCode& error, size_t size) {
    if (error) return lost(error == asio::error::eof ? "closed by the peer" : "connection lost");
    if (!reader_.feed(readBuffer_.data(), size, *this)) return lost("framing error");
    readWhenDrained();
  }

  void readWhenDrained() {
    if (owner_.queue_.size() <= ResumeReadingAt) return read();
    const uint64_t attempt = connection_;
    pauseTimer_.expires_after(QueuePoll);
    pauseTimer_.async_wait([this, attempt](const ErrorCode& error) {
      if (!error && attempt == connection_) readWhenDrained();
    });
  }

  // FrameSink: one packet read whole. A malformed one is dropped and the
  // stream goes on, as a datagram would be.
  void frame(const char* data, size_t size) override {
    const receive::Sender sender{owner_.peer_.address, owner_.peer_.port};
    receive::DatagramItems items(services_.values(), sender);
    if (receive::decodePacket(data, size, settings_, services_, items) !=
        receive::DecodeResult::Decoded) {
      owner_.rejected_.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    owner_.queue_.pushAll(items);
    owner_.processed_.fetch_add(1, std::memory_order_relaxed);
  }

  void write() {
    if (writing_ || !owner_.open()) return;
    auto frame = std::make_shared<std::vector<char>>();
    {
      const std::lock_guard<std::mutex> lock(outgoingMutex_);
      if (outgoing_.empty()) return;
      *frame = std::move(outgoing_.front());
      outgoing_.pop_front();
      outgoingBytes_ -= frame->size();
    }
    writing_ = true;
    const uint64_t attempt = connection_;
    asio::async_write(socket_, asio::buffer(*frame),
                      [this, attempt, frame](const ErrorCode& error, size_t) {
                        if (attempt != connection_) return;
                        writing_ = false;
                        if (error) return lost("connection lost");
                        if (stopping() && nothingToWrite()) return finish();
                        write();
                      });
  }

  // The connection is gone, or never came: what waited to be written goes
  // with it, the script is told, and the next attempt is due after a delay.
  void lost(const char* reason) {
    ++connection_;
    writing_ = false;
    owner_.open_.store(false, std::memory_order_release);
    ErrorCode ignored;
    socket_.close(ignored);
    {
      const std::lock_guard<std::mutex> lock(outgoingMutex_);
      outgoing_.clear();
      outgoingBytes_ = 0;
    }
    addMarker(settings_.typeSymbols->streamClosed, reason);
    if (stopping()) return finish();
    retryTimer_.expires_after(retryDelay_);
    retryDelay_ = std::min(retryDelay_ * 2, LastRetryDelay);
    retryTimer_.async_wait([this](const ErrorCode& error) {
      if (!error) connect();
    });
  }

  void beginStop() {
    {
      const std::lock_guard<std::mutex> lock(outgoingMutex_);
      stopping_ = true;
    }
    retryTimer_.cancel();
    if (!owner_.open() || nothingToWrite()) return finish();
    flushTimer_.expires_after(FlushLimit);
    flushTimer_.async_wait([this](const ErrorCode& error) {
      if (!error) finish();
    });
  }

  // Closes everything; run returns once the handlers still running end.
  void finish() {
    ++connection_;
    owner_.open_.store(false, std::memory_order_release);
    ErrorCode ignored;
    // Cancelled before it is closed: Wine's server fails on a socket closed
    // with a write still pending.
    socket_.cancel(ignored);
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    io_.stop();
  }

  bool stopping() {
    const std::lock_guard<std::mutex> lock(outgoingMutex_);
    return stopping_;
  }

  bool nothingToWrite() {
    if (writing_) return false;
    const std::lock_guard<std::mutex> lock(outgoingMutex_);
    return outgoing_.empty();
  }

  // (#streamopen, 0) or (#streamclosed, reason). A marker the host cannot
  // make is left out: nothing else can be done on this thread.
  void addMarker(HostSymbol name, const char* reason) {
    IHostValues* values = services_.values();
    OwnedValue head(values);
    OwnedValue body(values);
    const HostStatus made = values->symbolToValue(name, head.out()) |
                            (reason != nullptr ? values->stringToValue(reason, body.out())
                                               : values->integerToValue(0, body.out()));
    if (made != StatusOk) return;
    neverThrow([&] {
      receive::DatagramItems items(values, {owner_.peer_.address, owner_.peer_.port});
      items.add(head.take(), body.take());
      owner_.queue_.pushAll(items);
    });
  }

  StreamConnection& owner_;
  const receive::ReceiveSettings settings_;
  const receive::ReceivingServices services_;
  asio::io_context io_;
  tcp::socket socket_;
  asio::steady_timer connectTimer_;
  asio::steady_timer retryTimer_;
  asio::steady_timer flushTimer_;
  asio::steady_timer pauseTimer_;
  FrameReader reader_;
  std::array<char, ReadSize> readBuffer_{};
  // Each attempt's number: handlers of an attempt that is over do nothing.
  uint64_t connection_ = 0;
  bool timedOut_ = false;
  bool writing_ = false;
  std::chrono::milliseconds retryDelay_ = FirstRetryDelay;

  std::mutex outgoingMutex_;
  std::deque<std::vector<char>> outgoing_;  // guarded by outgoingMutex_
  size_t outgoingBytes_ = 0;                // guarded by outgoingMutex_
  bool stopping_ = false;                   // guarded by outgoingMutex_
};

StreamConnection::StreamConnection(IHostValues* itemValues) : queue_(itemValues) {}

StreamConnection::~StreamConnection() { stop(); }

void StreamConnection::setLastError(const char* text) {
  std::strncpy(lastError_, text, LastErrorSize - 1);
  lastError_[LastErrorSize - 1] = '\0';
}

bool StreamConnection::start(const StreamPeer& peer, const receive::ReceiveSettings& settings) {
  stop();
  peer_ = peer;
  const bool made = neverThrow(false, [&] {
    session_ = std::make_unique<Session>(*this, settings);
    return session_->ready();
  });
  if (!made) {
    session_.reset();
    setLastError("unable to get host services");
    return false;
  }
  try {
    thread_ = std::thread([session = session_.get()] { session->run(); });
  } catch (const std::exception&) {
    session_.reset();
    setLastError("unable to start stream thread");
    return false;
  }
  return true;
}

void StreamConnection::stop() {
  if (thread_.joinable()) {
    neverThrow([this] { session_->requestStop(); });
    thread_.join();
  }
  session_.reset();
  open_.store(false, std::memory_order_release);
  queue_.clear();
}

bool StreamConnection::send(const char* packet, size_t size) {
  if (!session_ || !open() || size > MaxFrameSize) return false;
  return neverThrow(false, [&] { return session_->enqueue(packet, size); });
}

}  // namespace zephyx::stream
