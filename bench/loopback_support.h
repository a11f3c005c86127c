// Loopback helpers shared by the side-by-side benchmarks: a free port, the
// kernel's drop counter for a port, and a paced sender. 127.0.0.1 only.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "tools/loopback_counters.h"
#include "tools/udp_port.h"

namespace zephyx::bench {

// 127.0.0.1:port.
sockaddr_in loopback(int port);

using tool::freeUdpPort;
using tool::kernelDrops;

// A UDP socket bound to 127.0.0.1 on a system-chosen port, never read: a
// destination for the sending benchmarks.
class SinkSocket {
 public:
  SinkSocket();
  ~SinkSocket();
  SinkSocket(const SinkSocket&) = delete;
  SinkSocket& operator=(const SinkSocket&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// The end-to-end message: "/bench/e2e" with an int64 (the send time in
// steady-clock nanoseconds) and eight int32 (the first is the sequence).
std::vector<char> timedMessage();
// Writes the send time and the sequence number into a timedMessage().
void stampTimedMessage(std::vector<char>& message, int64_t sentNs, int32_t sequence);
int64_t steadyNowNs();

// Sends `rate` messages a second to 127.0.0.1:port for `seconds`, in bursts
// every quarter millisecond, each stamped with its send time. A burst goes
// to the kernel in one call, or, `oneByOne`, a call per message, as a sender
// on another machine would deliver them: for timing each message.
class PacedSender {
 public:
  PacedSender(int port, int rate, double seconds, bool oneByOne = false);
  ~PacedSender();
  PacedSender(const PacedSender&) = delete;
  PacedSender& operator=(const PacedSender&) = delete;
  bool done() const { return done_.load(std::memory_order_acquire); }
  void join();
  int64_t sent() const { return sent_.load(std::memory_order_acquire); }
  int64_t failed() const { return failed_.load(std::memory_order_acquire); }

 private:
  void run();
  const int port_;
  const int rate_;
  const double seconds_;
  const bool oneByOne_;
  std::atomic<int64_t> sent_{0};
  std::atomic<int64_t> failed_{0};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace zephyx::bench
