// Paced loopback streams into a listening Zephyx object (host loop pumping
// about every millisecond) and into liblo's oscdump, as the reference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zephyx::bench {

struct StreamResult {
  int rate = 0;
  int64_t sent = 0;
  int64_t delivered = 0;        // handler calls, or lines oscdump printed
  long kernelDrops = -1;        // /proc/net/udp drops for the port
  int64_t queueEvicted = 0;     // Zephyx only: dropped by the queue limit
  int receiveBuffer = 0;        // the socket's SO_RCVBUF as the kernel reports it; 0 unknown
  double longestPumpGapMs = 0;  // Zephyx only: the longest wait between two host-loop passes
  bool ran = false;
  bool lossless() const { return ran && sent > 0 && delivered == sent; }
};

struct Latency {
  double medianUs = 0;
  double p99Us = 0;
  int64_t samples = 0;
};

// Runs `rate` messages a second for `seconds` into a Zephyx object; with
// `latency`, records the time from send to handler call for each message.
// `receiveBuffer` > 0 sets that SO_RCVBUF on the listening socket, found
// among the process's descriptors: for trying other sizes than the
// library's.
StreamResult streamIntoZephyx(int rate, double seconds, Latency* latency, int receiveBuffer = 0);

// The same stream into `oscdump -L PORT`, its output to a file.
StreamResult streamIntoOscdump(int rate, double seconds);

}  // namespace zephyx::bench
