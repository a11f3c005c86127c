// Loopback UDP helpers for tests: a capture socket, a raw sender and free
// ports. Everything stays on 127.0.0.1.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/udp_port.h"

namespace zephyx::testsupport {

using Bytes = std::vector<uint8_t>;

// A UDP socket bound to 127.0.0.1 on a port the system chooses.
class UdpCapture {
 public:
  UdpCapture();
  ~UdpCapture();
  UdpCapture(const UdpCapture&) = delete;
  UdpCapture& operator=(const UdpCapture&) = delete;

  int port() const { return port_; }
  // The next datagram, or nothing when none arrives within `wait`.
  std::optional<Bytes> receive(std::chrono::milliseconds wait = std::chrono::milliseconds(2000));
  // The source port of the last datagram received.
  int lastSourcePort() const { return lastSourcePort_; }
  // Sends from this socket's own port, as a peer that expects answers there.
  void send(int port, const Bytes& datagram);

 private:
  int socket_ = -1;
  int port_ = 0;
  int lastSourcePort_ = 0;
};

// Sends raw datagrams to 127.0.0.1.
class UdpSender {
 public:
  UdpSender();
  ~UdpSender();
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  void send(int port, const Bytes& datagram);

 private:
  int socket_ = -1;
};

using tool::freeUdpPort;

// A UDP socket that holds a port, so that binding it elsewhere fails.
class PortHolder {
 public:
  PortHolder();
  ~PortHolder();
  PortHolder(const PortHolder&) = delete;
  PortHolder& operator=(const PortHolder&) = delete;
  int port() const { return port_; }

 private:
  int socket_ = -1;
  int port_ = 0;
};

// Hex dump "2f 61 00 00 ..." for readable failures.
std::string hex(const Bytes& bytes);

}  // namespace zephyx::testsupport
