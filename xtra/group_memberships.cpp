#include "xtra/group_memberships.h"

#include <algorithm>

namespace zephyx::xtra {

GroupMemberships::Kept* GroupMemberships::find(const GroupMembership& membership) {
  const auto at = std::find_if(kept_.begin(), kept_.end(),
                               [&](const Kept& kept) { return kept.membership == membership; });
  return at == kept_.end() ? nullptr : &*at;
}

bool GroupMemberships::join(receive::ListeningSocket& socket, const GroupMembership& membership) {
  Kept* kept = find(membership);
  if (kept != nullptr && kept->joined) return true;
  if (!socket.joinGroup(membership.group, membership.interfaceAddress)) return false;
  if (kept != nullptr) {
    kept->joined = true;
  } else {
    kept_.push_back(Kept{membership, true});
  }
  return true;
}

bool GroupMemberships::leave(receive::ListeningSocket* socket, const GroupMembership& membership) {
  Kept* kept = find(membership);
  if (kept == nullptr) return false;
  if (socket != nullptr && kept->joined) {
    socket->leaveGroup(membership.group, membership.interfaceAddress);
  }
  kept_.erase(kept_.begin() + (kept - kept_.data()));
  return true;
}

void GroupMemberships::joinAllOn(receive::ListeningSocket& socket) {
  for (Kept& kept : kept_) {
    kept.joined = socket.joinGroup(kept.membership.group, kept.membership.interfaceAddress);
  }
}

void GroupMemberships::socketClosed() {
  for (Kept& kept : kept_) kept.joined = false;
}

}  // namespace zephyx::xtra
