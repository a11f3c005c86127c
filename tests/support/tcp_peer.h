// A TCP peer for tests of streams: listens on 127.0.0.1, takes one
// connection at a time, and reads and writes raw bytes with deadlines.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "tests/support/udp_loopback.h"

namespace zephyx::testsupport {

class TcpPeer {
 public:
  // Listens on `port` (0: one the system chooses).
  explicit TcpPeer(int port = 0);
  ~TcpPeer();
  TcpPeer(const TcpPeer&) = delete;
  TcpPeer& operator=(const TcpPeer&) = delete;

  int port() const;
  // Waits for the next connection, closing the one there was.
  bool accept(std::chrono::milliseconds wait = std::chrono::milliseconds(5000));
  // Writes all of `bytes` to the connection; false when it is gone.
  bool write(const Bytes& bytes);
  // Reads until `size` bytes have come, or nothing when they do not come in
  // time or the connection closes first.
  std::optional<Bytes> read(size_t size,
                            std::chrono::milliseconds wait = std::chrono::milliseconds(5000));
  // True when the other end closes the connection within `wait`, whatever
  // it sends before; what it sent is in `rest`.
  bool closedByOtherEnd(std::chrono::milliseconds wait, Bytes* rest = nullptr);
  // Closes the connection.
  void closeConnection();
  // Stops listening (a connect is then refused) and starts again on the same port.
  void stopListening();
  bool listenAgain();

 private:
  struct Sockets;
  std::unique_ptr<Sockets> sockets_;
};

}  // namespace zephyx::testsupport
