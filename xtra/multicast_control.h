// Multicast from Lingo: joining and leaving groups on the listening socket,
// and how datagrams to a group leave.
#pragma once

#include "host/moa_mm_xscript.h"
#include "xtra/xtra_instance.h"

namespace zephyx::xtra {

// Lingo `joinGroup object me, string group, *interfaceAddress`: 1 when the
// listening socket is a member of the group (224.0.0.0 to 239.255.255.255)
// on the network of that local address (the system's choice when it is
// omitted or VOID), else the reason: "missing argument", "not a multicast
// address", "not an interface address", "not listening" or "unable to join
// multicast group" (the system refused). A joined group is kept and joined
// again by each startListening until leaveGroup or forget.
void joinGroupFromCall(XtraInstance& instance, MethodCall& call);

// Lingo `leaveGroup object me, string group, *interfaceAddress`: 1 when that
// membership was kept and is now dropped, else 0.
void leaveGroupFromCall(XtraInstance& instance, MethodCall& call);

// Lingo `setMulticast object me, integer ttl, *interfaceAddress`: the hop
// limit (0 to 255, 1 to begin with) and outgoing interface (the system's
// choice when omitted or VOID) of every datagram that send,
// sendFromListener and reply send to a group. 1, or 0 for a hop limit that
// is no integer in range or an interface that is no address; then nothing
// changes.
void setMulticastFromCall(XtraInstance& instance, MethodCall& call);

}  // namespace zephyx::xtra
