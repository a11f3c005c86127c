#include "loopback_support.h"

#include "datagram_batch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace zephyx::bench {

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

namespace {

using Clock = std::chrono::steady_clock;

// Offsets in timedMessage(): "/bench/e2e\0\0" (12), ",hiiiiiiii\0\0" (12).
constexpr size_t TimeOffset = 24;
constexpr size_t SequenceOffset = 32;

void putBigEndian(char* out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out[i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

}  // namespace

SinkSocket::SinkSocket() {
  fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
}

SinkSocket::~SinkSocket() {
  if (fd_ >= 0) ::close(fd_);
}

std::vector<char> timedMessage() {
  std::vector<char> out(64, '\0');
  std::memcpy(out.data(), "/bench/e2e", 10);
  std::memcpy(out.data() + 12, ",hiiiiiiii", 10);
  return out;
}

void stampTimedMessage(std::vector<char>& message, int64_t sentNs, int32_t sequence) {
  putBigEndian(message.data() + TimeOffset, static_cast<uint64_t>(sentNs), 8);
  putBigEndian(message.data() + SequenceOffset, static_cast<uint32_t>(sequence), 4);
}

int64_t steadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

PacedSender::PacedSender(int port, int rate, double seconds, bool oneByOne)
    : port_(port), rate_(rate), seconds_(seconds), oneByOne_(oneByOne), thread_([this] {
        run();
      }) {}

PacedSender::~PacedSender() { join(); }

void PacedSender::join() {
  if (thread_.joinable()) thread_.join();
}

void PacedSender::run() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = loopback(port_);
  std::vector<std::vector<char>> burst;
  const auto total = static_cast<int64_t>(rate_ * seconds_);
  constexpr auto Tick = std::chrono::microseconds(250);
  const auto start = Clock::now();
  auto tick = start;
  int64_t done = 0;
  while (fd >= 0 && done < total) {
    // Due by the schedule since the start, so that a late wake-up sends
    // more, never fewer, and the rate holds on average.
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const int64_t due = std::min<int64_t>(total, static_cast<int64_t>(elapsed * rate_) + 1);
    burst.resize(oneByOne_ ? 1 : static_cast<size_t>(due - done), timedMessage());
    while (done < due) {
      const int64_t now = steadyNowNs();
      for (size_t i = 0; i < burst.size(); ++i) {
        stampTimedMessage(burst[i], now, static_cast<int32_t>(done + static_cast<int64_t>(i)));
      }
      const int64_t delivered = sendDatagrams(fd, to, burst);
      failed_.fetch_add(static_cast<int64_t>(burst.size()) - delivered, std::memory_order_relaxed);
      done += static_cast<int64_t>(burst.size());
    }
    sent_.store(done, std::memory_order_release);
    tick += Tick;
    std::this_thread::sleep_until(tick);
  }
  if (fd >= 0) ::close(fd);
  done_.store(true, std::memory_order_release);
}

}  // namespace zephyx::bench
