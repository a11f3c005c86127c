// A Lingo object of the loaded library that listens on a free port, with a
// handler that records its calls.
#pragma once

#include <string>
#include <vector>

#include "tests/support/lingo_session.h"
#include "tests/support/udp_loopback.h"

namespace zephyx::testsupport {

class ListeningFixture : public LingoSessionFixture {
 protected:
  void SetUp() override;

  // startListening on a port the system chose a moment ago, trying again if
  // another process took it in between; `extra` follows port and shape
  // (the handler, the target). Returns the result in Lingo notation.
  std::string listen(bool asPropList, const std::vector<std::string>& extra = {"#onOsc"});

  // The handler's calls so far, each as its arguments in Lingo notation.
  std::vector<std::string> calls() const;
  // Pumps the host loop until at least `count` calls were made.
  bool pumpForCalls(size_t count);

  int port = 0;
  UdpSender sender;
};

}  // namespace zephyx::testsupport
