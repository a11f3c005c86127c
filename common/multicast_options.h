// Multicast on a UDP socket: the memberships of a listening socket, and how
// a socket sends to a group.
#pragma once

#include <cstdint>

#include "ip/UdpSocket.h"

namespace zephyx {

// Addresses in host byte order; 0 lets the system choose the interface.
struct MulticastSending {
  int32_t hopLimit = 1;  // IP time to live, 0..255; 1 stays on the local network
  uint32_t interfaceAddress = 0;
};

// Sets the hop limit and the outgoing interface for datagrams to a group,
// with loopback on, so that a program on this machine hears the group too.
// False when the system refused any of it (an interface that is not this
// machine's, say).
bool applyMulticastSending(UdpSocket& socket, const MulticastSending& sending);

// Adds or drops the membership of `group` on the network of the local
// `interfaceAddress`. False when the system refused.
bool joinMulticastGroup(UdpSocket& socket, uint32_t group, uint32_t interfaceAddress);
bool leaveMulticastGroup(UdpSocket& socket, uint32_t group, uint32_t interfaceAddress);

}  // namespace zephyx
