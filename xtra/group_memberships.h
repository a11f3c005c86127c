// The multicast groups an instance has joined: kept from joinGroup until
// leaveGroup or forget, and joined again on each new listening socket, so
// that stopping and starting to listen keeps them as it keeps routes.
#pragma once

#include <cstdint>
#include <vector>

#include "receive/listening_socket.h"

namespace zephyx::xtra {

// A group on the network of one local interface (0: the system's choice),
// addresses in host byte order.
struct GroupMembership {
  uint32_t group = 0;
  uint32_t interfaceAddress = 0;
  bool operator==(const GroupMembership& other) const {
    return group == other.group && interfaceAddress == other.interfaceAddress;
  }
};

class GroupMemberships {
 public:
  // Joins on `socket` and keeps the membership. True when it is joined
  // there now, also when it already was; false, keeping nothing new, when
  // the system refused. Only joined memberships are kept, so the system's
  // own limit on them bounds this list.
  bool join(receive::ListeningSocket& socket, const GroupMembership& membership);

  // Drops a kept membership, and leaves the group on `socket` if there is
  // one. False when that membership was not kept.
  bool leave(receive::ListeningSocket* socket, const GroupMembership& membership);

  // A new listening socket: joins every kept membership on it. One that the
  // system refuses now stays kept, and is tried again by the next join of
  // it or the next socket.
  void joinAllOn(receive::ListeningSocket& socket);

  // The socket has closed, and with it every membership on it.
  void socketClosed();

 private:
  struct Kept {
    GroupMembership membership;
    bool joined;
  };
  Kept* find(const GroupMembership& membership);

  std::vector<Kept> kept_;
};

}  // namespace zephyx::xtra
