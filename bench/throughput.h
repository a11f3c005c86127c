// Messages a second through the loaded library as a script sends them, one
// call after another as fast as a loop makes them: sendStream over TCP in
// both framings, and send and sendFromListener over UDP, each to a peer on
// 127.0.0.1 that reads on a thread of its own and counts what arrives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zephyx::bench {

struct ThroughputResult {
  std::string what;
  int64_t messages = 0;  // calls that answered 1, one per message
  int64_t refused = 0;   // sendStream's 0s for a full queue, each retried
  int64_t received = 0;  // what the peer read
  // Calls answered 1 a second, from the first call to the last; and
  // messages a second until the peer had the last it got.
  double acceptedPerSecond = 0;
  double receivedPerSecond = 0;
  bool ran = false;
  bool complete() const { return ran && received == messages; }
};

// Each way `rounds` times, the rounds interleaved so that a busy moment of
// the machine falls on all of them alike; per way, the median of each rate
// and of the refusals, and the fewest received. `packet` is the message in
// Lingo notation.
std::vector<ThroughputResult> measureThroughput(const std::string& packet, int64_t messages,
                                                int rounds);

}  // namespace zephyx::bench
