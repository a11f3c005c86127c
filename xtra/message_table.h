// The Lingo message table of the Zephyx class.
#pragma once

#include <cstdint>

namespace zephyx::xtra {

// The methods in message-table order; the host's method index.
enum MethodIndex : uint32_t {
  MethodNew = 0,
  MethodForget = 1,
  MethodSetDestination = 2,
  MethodSend = 3,
  MethodStartListening = 4,
  MethodStopListening = 5,
  MethodCount = 6,
};

// The first line, a format filled with the major and minor version.
extern const char MessageTableFirstLine[];
// Lines 2 to 7, each ended by a line feed.
constexpr char MessageTableMethodLines[] =
    "new object me, *bufferSize\n"
    "/forget object me\n"
    "setDestination object me, string host, integer port\n"
    "send object me, object messageOrBundle\n"
    "startListening object me, integer port, integer asPropList, symbol cbHandler, *cbTarget\n"
    "stopListening object me\n";

}  // namespace zephyx::xtra
