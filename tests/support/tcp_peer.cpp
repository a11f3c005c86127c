#include "tests/support/tcp_peer.h"

#include "asio.hpp"

namespace zephyx::testsupport {

using asio::ip::tcp;

struct TcpPeer::Sockets {
  asio::io_context io;
  tcp::acceptor acceptor{io};
  tcp::socket connection{io};
  int port = 0;

  bool listen(int onPort) {
    std::error_code error;
    acceptor.open(tcp::v4(), error);
    if (!error) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    if (!error)
      acceptor.bind({asio::ip::address_v4::loopback(), static_cast<uint16_t>(onPort)}, error);
    if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) return false;
    port = acceptor.local_endpoint(error).port();
    return !error;
  }

  // Runs the handlers of the started operation until it is done or the
  // deadline passes, when it is cancelled.
  void runFor(std::chrono::milliseconds wait, const bool& done) {
    io.restart();
    const auto end = std::chrono::steady_clock::now() + wait;
    while (!done && std::chrono::steady_clock::now() < end) io.run_one_for(wait);
    if (!done) {
      std::error_code ignored;
      acceptor.cancel(ignored);
      connection.cancel(ignored);
      io.restart();
      io.run();
    }
  }
};

TcpPeer::TcpPeer(int port) : sockets_(std::make_unique<Sockets>()) { sockets_->listen(port); }

TcpPeer::~TcpPeer() {
  std::error_code ignored;
  sockets_->connection.close(ignored);
  sockets_->acceptor.close(ignored);
}

int TcpPeer::port() const { return sockets_->port; }

bool TcpPeer::accept(std::chrono::milliseconds wait) {
  closeConnection();
  bool done = false;
  bool accepted = false;
  sockets_->acceptor.async_accept(sockets_->connection, [&](const std::error_code& error) {
    done = true;
    accepted = !error;
  });
  sockets_->runFor(wait, done);
  return accepted;
}

bool TcpPeer::write(const Bytes& bytes) {
  std::error_code error;
  asio::write(sockets_->connection, asio::buffer(bytes), error);
  return !error;
}

std::optional<Bytes> TcpPeer::read(size_t size, std::chrono::milliseconds wait) {
  Bytes bytes(size);
  bool done = false;
  bool whole = false;
  asio::async_read(sockets_->connection, asio::buffer(bytes),
                   [&](const std::error_code& error, size_t) {
                     done = true;
                     whole = !error;
                   });
  sockets_->runFor(wait, done);
  if (!whole) return std::nullopt;
  return bytes;
}

bool TcpPeer::closedByOtherEnd(std::chrono::milliseconds wait, Bytes* rest) {
  const auto end = std::chrono::steady_clock::now() + wait;
  uint8_t chunk[4096];
  while (std::chrono::steady_clock::now() < end) {
    bool done = false;
    std::error_code failure;
    size_t got = 0;
    sockets_->connection.async_read_some(asio::buffer(chunk),
                                         [&](const std::error_code& error, size_t size) {
                                           done = true;
                                           failure = error;
                                           got = size;
                                         });
    sockets_->runFor(std::chrono::duration_cast<std::chrono::milliseconds>(
                         end - std::chrono::steady_clock::now()),
                     done);
    if (!done) return false;
    if (rest != nullptr) rest->insert(rest->end(), chunk, chunk + got);
    if (failure) return failure == asio::error::eof;
  }
  return false;
}

void TcpPeer::closeConnection() {
  std::error_code ignored;
  sockets_->connection.shutdown(tcp::socket::shutdown_both, ignored);
  sockets_->connection.close(ignored);
}

void TcpPeer::stopListening() {
  std::error_code ignored;
  sockets_->acceptor.close(ignored);
}

bool TcpPeer::listenAgain() { return sockets_->listen(sockets_->port); }

}  // namespace zephyx::testsupport
