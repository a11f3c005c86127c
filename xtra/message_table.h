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
  MethodLastSender = 6,
  MethodReply = 7,
  MethodSendFromListener = 8,
  MethodAddRoute = 9,
  MethodRemoveRoute = 10,
  MethodJoinGroup = 11,
  MethodLeaveGroup = 12,
  MethodSetMulticast = 13,
  MethodConnectStream = 14,
  MethodSendStream = 15,
  MethodDisconnectStream = 16,
  MethodCount = 17,
};

// The first line, a format filled with the major and minor version.
extern const char MessageTableFirstLine[];
// The method lines, each ended by a line feed: the first six, then those for
// talking with peers that answer, then multicast, then streams over TCP.
constexpr char MessageTableMethodLines[] =
    "new object me, *bufferSize\n"
    "/forget object me\n"
    "setDestination object me, string host, integer port\n"
    "send object me, object messageOrBundle\n"
    "startListening object me, integer port, integer asPropList, symbol cbHandler, *cbTarget\n"
    "stopListening object me\n"
    "lastSender object me\n"
    "reply object me, object messageOrBundle\n"
    "sendFromListener object me, object messageOrBundle\n"
    "addRoute object me, string addressPattern, symbol cbHandler, *cbTarget\n"
    "removeRoute object me, string addressPattern\n"
    "joinGroup object me, string group, *interfaceAddress\n"
    "leaveGroup object me, string group, *interfaceAddress\n"
    "setMulticast object me, integer ttl, *interfaceAddress\n"
    "connectStream object me, string host, integer port, symbol framing, symbol cbHandler, "
    "*cbTarget\n"
    "sendStream object me, object messageOrBundle\n"
    "disconnectStream object me\n";

}  // namespace zephyx::xtra
