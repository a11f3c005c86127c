#include "throughput.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "host/host_ids.h"
#include "loopback_support.h"
#include "standin/lingo_object.h"
#include "standin/standin_host.h"
#include "xtra/library_entry_points.h"
#include "xtra/message_table.h"
#include "xtra/scripting_object.h"

namespace zephyx::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int PollMs = 50;
// A peer that has had nothing new for this long has had everything.
constexpr auto QuietFor = std::chrono::milliseconds(500);

int64_t sinceNs(Clock::time_point start, int64_t thenNs) {
  return thenNs -
         std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
}

// Counts what arrives on its own thread until destroyed: each read adds to
// count() and stamps lastNs(), so that the reader's pace is the peer's.
class Peer {
 public:
  virtual ~Peer() = default;
  int port() const { return port_; }
  int64_t count() const { return count_.load(std::memory_order_acquire); }
  int64_t lastNs() const { return lastNs_.load(std::memory_order_acquire); }

 protected:
  void start() {
    thread_ = std::thread([this] { run(); });
  }
  void finish() {
    stop_.store(true, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
  }
  void counted(int64_t total) {
    lastNs_.store(steadyNowNs(), std::memory_order_release);
    count_.store(total, std::memory_order_release);
  }
  bool stopping() const { return stop_.load(std::memory_order_acquire); }
  // Waits for `fd` to be readable; false when stopping.
  bool readable(int fd) const {
    pollfd one{fd, POLLIN, 0};
    while (!stopping()) {
      if (::poll(&one, 1, PollMs) > 0) return true;
    }
    return false;
  }
  virtual void run() = 0;
  int port_ = 0;

 private:
  std::atomic<int64_t> count_{0};
  std::atomic<int64_t> lastNs_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int boundSocket(int type, int* port) {
  const int fd = ::socket(AF_INET, type, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

// Takes one connection and counts the frames read from it.
class TcpPeer final : public Peer {
 public:
  explicit TcpPeer(bool slip) : slip_(slip) {
    listener_ = boundSocket(SOCK_STREAM, &port_);
    if (listener_ >= 0 && ::listen(listener_, 1) != 0) {
      ::close(listener_);
      listener_ = -1;
    }
    if (listener_ < 0) port_ = 0;
    start();
  }
  ~TcpPeer() override {
    finish();
    if (listener_ >= 0) ::close(listener_);
  }

 private:
  void run() override {
    if (listener_ < 0 || !readable(listener_)) return;
    const int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    std::vector<char> buffer(256 * 1024);
    int64_t frames = 0;
    while (readable(fd)) {
      const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
      if (got <= 0) break;
      frames += slip_ ? slipFrames(buffer.data(), static_cast<size_t>(got))
                      : lengthFrames(buffer.data(), static_cast<size_t>(got));
      counted(frames);
    }
    ::close(fd);
  }

  // Frames completed by the next bytes: a size prefix, then that many.
  int64_t lengthFrames(const char* data, size_t size) {
    int64_t done = 0;
    size_t at = 0;
    while (at < size) {
      if (prefixHeld_ < 4) {
        prefix_ = (prefix_ << 8) | static_cast<unsigned char>(data[at++]);
        if (++prefixHeld_ == 4) {
          remaining_ = prefix_;
          // An empty frame: the next prefix follows at once.
          if (remaining_ == 0) {
            prefixHeld_ = 0;
            prefix_ = 0;
          }
        }
        continue;
      }
      const size_t take = std::min(remaining_, size - at);
      at += take;
      remaining_ -= take;
      if (remaining_ == 0) {
        ++done;
        prefixHeld_ = 0;
        prefix_ = 0;
      }
    }
    return done;
  }

  // An END after any other byte closes a frame; the library's frames have
  // no empty ones, and an escaped END is no END byte.
  int64_t slipFrames(const char* data, size_t size) {
    int64_t done = 0;
    for (size_t at = 0; at < size; ++at) {
      if (static_cast<unsigned char>(data[at]) == 0xC0) {
        done += inFrame_ ? 1 : 0;
        inFrame_ = false;
      } else {
        inFrame_ = true;
      }
    }
    return done;
  }

  const bool slip_;
  int listener_ = -1;
  uint32_t prefix_ = 0;
  int prefixHeld_ = 0;
  size_t remaining_ = 0;
  bool inFrame_ = false;
};

// Counts datagrams, many a system call, with as large a receive buffer as
// the system gives, so that what it misses is the sender's doing rather
// than the buffer's size.
class UdpPeer final : public Peer {
 public:
  UdpPeer() {
    fd_ = boundSocket(SOCK_DGRAM, &port_);
    const int size = 8 * 1024 * 1024;
    if (fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
      ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    start();
  }
  ~UdpPeer() override {
    finish();
    if (fd_ >= 0) ::close(fd_);
  }

 private:
  void run() override {
    constexpr int Batch = 64;
    std::vector<std::vector<char>> buffers(Batch, std::vector<char>(2048));
    std::vector<iovec> pieces(Batch);
    std::vector<mmsghdr> headers(Batch);
    for (int i = 0; i < Batch; ++i) {
      pieces[i] = iovec{buffers[i].data(), buffers[i].size()};
      headers[i] = mmsghdr{};
      headers[i].msg_hdr.msg_iov = &pieces[i];
      headers[i].msg_hdr.msg_iovlen = 1;
    }
    int64_t datagrams = 0;
    while (fd_ >= 0 && readable(fd_)) {
      const int got = ::recvmmsg(fd_, headers.data(), Batch, MSG_DONTWAIT, nullptr);
      if (got <= 0) continue;
      datagrams += got;
      counted(datagrams);
    }
  }

  int fd_ = -1;
};

// A stand-in host with one Zephyx object of the library's own class.
struct Script {
  standin::StandInHost host;
  std::unique_ptr<standin::LingoObject> object;
  Script() {
    host.addClass(hostids::ZephyxClass, xtra::DllGetClassForm, xtra::DllGetInterface);
    host.scriptContext().setRecordLimit(0);
    host.scriptContext().setHandler("onOsc", [](const standin::HandlerCall&) { return StatusOk; });
    object = standin::LingoObject::create(host, hostids::ZephyxClass);
  }
  ~Script() {
    if (object) object->call(xtra::MethodForget);
  }
  // True when the call answered the integer 1.
  bool call(int32_t method, const std::vector<HostValue>& args) {
    OwnedValue result = object->call(method, args);
    int32_t kind = KindVoid;
    int32_t answer = 0;
    host.values().valueType(&result.get(), &kind);
    return kind == KindInteger &&
           host.values().valueToInteger(&result.get(), &answer) == StatusOk && answer == 1;
  }
  OwnedValue string(const char* text) { return host.own(host.makeString(text)); }
  OwnedValue integer(int number) { return host.own(host.makeInteger(number)); }
  OwnedValue symbol(const char* name) { return host.own(host.makeSymbol(name)); }
  const stream::StreamConnection* stream() const {
    return static_cast<xtra::TStdXtra_IMoaMmXScript*>(object->script())->owner->held->stream.get();
  }
};

// Calls `method` with `packet` until `messages` calls have answered 1; a 0
// is counted, and the call made again after a pass of the host loop and a
// yield, for the other threads to drain what waits. Then waits until the
// peer has had everything or nothing more for a while.
ThroughputResult sendAll(Script& script, int32_t method, const HostValue& packet, int64_t messages,
                         Peer& peer, const std::function<bool()>& canGoOn) {
  ThroughputResult result;
  const auto start = Clock::now();
  auto lastAccepted = start;
  for (int64_t done = 0; done < messages;) {
    if (script.call(method, {packet})) {
      ++done;
      lastAccepted = Clock::now();
      continue;
    }
    ++result.refused;
    if (!canGoOn() || Clock::now() - lastAccepted > std::chrono::seconds(2)) return result;
    script.host.pump();
    std::this_thread::yield();
  }
  const auto accepted = Clock::now();
  result.messages = messages;
  result.acceptedPerSecond =
      static_cast<double>(messages) / std::chrono::duration<double>(accepted - start).count();
  auto lastMove = Clock::now();
  int64_t seen = -1;
  while (peer.count() < messages && Clock::now() - lastMove < QuietFor) {
    if (peer.count() != seen) {
      seen = peer.count();
      lastMove = Clock::now();
    }
    script.host.pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  result.received = peer.count();
  const int64_t lastNs = sinceNs(start, peer.lastNs());
  if (result.received > 0 && lastNs > 0) {
    result.receivedPerSecond =
        static_cast<double>(result.received) * 1e9 / static_cast<double>(lastNs);
  }
  result.ran = true;
  return result;
}

ThroughputResult overStream(const std::string& packetText, int64_t messages, bool slip) {
  Script script;
  TcpPeer peer(slip);
  if (!script.object || peer.port() == 0) return {};
  lingo::ParseResult parsed = script.host.parse(packetText);
  if (!parsed.ok) return {};
  OwnedValue packet = script.host.own(parsed.value);
  OwnedValue host = script.string("127.0.0.1");
  OwnedValue port = script.integer(peer.port());
  OwnedValue framing = script.symbol(slip ? "slip" : "length");
  OwnedValue handler = script.symbol("onOsc");
  if (!script.call(xtra::MethodConnectStream,
                   {host.get(), port.get(), framing.get(), handler.get()}))
    return {};
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!(script.stream() && script.stream()->open()) && Clock::now() < deadline) {
    script.host.pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ThroughputResult result = sendAll(script, xtra::MethodSendStream, packet.get(), messages, peer,
                                    [&] { return script.stream()->open(); });
  script.object->call(xtra::MethodDisconnectStream);
  return result;
}

ThroughputResult overUdp(const std::string& packetText, int64_t messages, bool fromListener) {
  Script script;
  UdpPeer peer;
  if (!script.object || peer.port() == 0) return {};
  lingo::ParseResult parsed = script.host.parse(packetText);
  if (!parsed.ok) return {};
  OwnedValue packet = script.host.own(parsed.value);
  OwnedValue host = script.string("127.0.0.1");
  OwnedValue port = script.integer(peer.port());
  script.object->call(xtra::MethodSetDestination, {host.get(), port.get()});
  if (fromListener) {
    OwnedValue shape = script.integer(0);
    OwnedValue handler = script.symbol("onOsc");
    bool listening = false;
    for (int attempt = 0; attempt < 20 && !listening; ++attempt) {
      OwnedValue listenPort = script.integer(freeUdpPort());
      listening =
          script.call(xtra::MethodStartListening, {listenPort.get(), shape.get(), handler.get()});
    }
    if (!listening) return {};
  }
  ThroughputResult result =
      sendAll(script, fromListener ? xtra::MethodSendFromListener : xtra::MethodSend, packet.get(),
              messages, peer, [] { return true; });
  if (fromListener) script.object->call(xtra::MethodStopListening);
  return result;
}

double medianOf(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

}  // namespace

std::vector<ThroughputResult> measureThroughput(const std::string& packet, int64_t messages,
                                                int rounds) {
  struct Way {
    const char* what;
    std::function<ThroughputResult()> run;
  };
  const std::vector<Way> ways = {
      {"sendStream #length (TCP)", [&] { return overStream(packet, messages, false); }},
      {"sendStream #slip (TCP)", [&] { return overStream(packet, messages, true); }},
      {"send (UDP, a fresh socket per call)", [&] { return overUdp(packet, messages, false); }},
      {"sendFromListener (UDP, the listening socket)",
       [&] { return overUdp(packet, messages, true); }},
  };
  std::vector<std::vector<ThroughputResult>> runs(ways.size());
  for (int round = 0; round < std::max(1, rounds); ++round) {
    for (size_t way = 0; way < ways.size(); ++way) runs[way].push_back(ways[way].run());
  }
  std::vector<ThroughputResult> out;
  for (size_t way = 0; way < ways.size(); ++way) {
    ThroughputResult summary;
    summary.what = ways[way].what;
    summary.ran = std::all_of(runs[way].begin(), runs[way].end(),
                              [](const ThroughputResult& r) { return r.ran; });
    if (summary.ran) {
      std::vector<double> accepted, received, refused;
      summary.received = messages;
      for (const ThroughputResult& r : runs[way]) {
        accepted.push_back(r.acceptedPerSecond);
        received.push_back(r.receivedPerSecond);
        refused.push_back(static_cast<double>(r.refused));
        summary.received = std::min(summary.received, r.received);
      }
      summary.messages = messages;
      summary.acceptedPerSecond = medianOf(accepted);
      summary.receivedPerSecond = medianOf(received);
      summary.refused = static_cast<int64_t>(medianOf(refused));
    }
    out.push_back(summary);
  }
  return out;
}

}  // namespace zephyx::bench
