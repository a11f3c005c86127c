// zephyx-flood: sends OSC datagrams to 127.0.0.1 at a steady rate, for
// measuring how a listener holds up under load. Loopback only.
//
//   zephyx-flood PORT SECONDS RATE small|nine|arrays [ARRAYS]
//
// `small` sends a short message with an int and a string; `nine` a 76-byte
// message of nine arguments (four ints, four floats, a string), a typical
// control message; `arrays` one message of ARRAYS (default 1000) empty
// arrays. RATE is datagrams per second. The first int is the sequence.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "datagram_batch.h"

namespace {

void appendPadded(std::vector<char>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  const size_t padding = 4 - text.size() % 4;
  out.insert(out.end(), padding, '\0');
}

void appendInt(std::vector<char>& out, int32_t value) {
  const uint32_t big = htonl(static_cast<uint32_t>(value));
  const char* bytes = reinterpret_cast<const char*>(&big);
  out.insert(out.end(), bytes, bytes + 4);
}

std::vector<char> smallMessage(int32_t sequence) {
  std::vector<char> out;
  appendPadded(out, "/flood/small");
  appendPadded(out, ",is");
  appendInt(out, sequence);
  appendPadded(out, "text");
  return out;
}

void appendFloat(std::vector<char>& out, float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  appendInt(out, static_cast<int32_t>(bits));
}

std::vector<char> nineMessage(int32_t sequence) {
  std::vector<char> out;
  appendPadded(out, "/flood/nine");
  appendPadded(out, ",iiiiffffs");
  appendInt(out, sequence);
  for (int32_t i = 1; i < 4; ++i) appendInt(out, i * 1000);
  for (int i = 0; i < 4; ++i) appendFloat(out, 0.25f * static_cast<float>(i));
  appendPadded(out, "nine arguments, 76b");
  return out;
}

std::vector<char> arraysMessage(int arrays) {
  std::string tags = ",";
  for (int i = 0; i < arrays; ++i) tags += "[]";
  std::vector<char> out;
  appendPadded(out, "/flood/arrays");
  appendPadded(out, tags);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: zephyx-flood PORT SECONDS RATE small|nine|arrays [ARRAYS]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const double seconds = std::atof(argv[2]);
  const double rate = std::atof(argv[3]);
  const std::string kind = argv[4];
  const int arrays = argc > 5 ? std::atoi(argv[5]) : 1000;
  if (port <= 0 || port > 65535 || seconds <= 0 || rate <= 0 ||
      (kind != "small" && kind != "nine" && kind != "arrays")) {
    std::fprintf(stderr, "zephyx-flood: bad arguments\n");
    return 2;
  }

  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  const std::vector<char> heavy = arraysMessage(arrays);
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  int64_t sent = 0;       // due by the schedule
  int64_t delivered = 0;  // taken by the kernel
  std::vector<std::vector<char>> burst;
  // Sends in small bursts, catching up with the schedule after each sleep.
  while (Clock::now() < end) {
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    const int64_t due = static_cast<int64_t>(elapsed.count() * rate);
    burst.clear();
    for (int64_t next = sent; next < due; ++next) {
      const auto sequence = static_cast<int32_t>(next);
      burst.push_back(kind == "small"  ? smallMessage(sequence)
                      : kind == "nine" ? nineMessage(sequence)
                                       : heavy);
    }
    delivered += zephyx::bench::sendDatagrams(fd, to, burst);
    sent = due;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  ::close(fd);
  std::printf("sent %lld datagrams of %zu bytes\n", static_cast<long long>(delivered),
              kind == "small"  ? smallMessage(0).size()
              : kind == "nine" ? nineMessage(0).size()
                               : heavy.size());
  return 0;
}
