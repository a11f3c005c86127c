// Multicast with liblo's tools as the peers, and the hop limit that each
// way of sending gives a datagram to a group. These join groups and send to
// them, so they run only in a network namespace of their own, where
// loopback carries multicast and nothing can leave the machine
// (tests/in_network_namespace.sh); elsewhere they are skipped.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/listening_session.h"

namespace zephyx {
namespace {

using std::chrono::milliseconds;
using testsupport::ChildProcess;
using Lines = std::vector<std::string>;

constexpr char Group[] = "239.255.0.1";
constexpr milliseconds PeerDeadline(5000);

// A member of the group on a port of its own that reports the hop limit
// each datagram arrived with.
class GroupMember {
 public:
  GroupMember() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ip_mreq membership{};
    inet_pton(AF_INET, Group, &membership.imr_multiaddr);
    const int on = 1;
    const timeval wait{5, 0};
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
          ::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0 &&
          ::setsockopt(fd_, IPPROTO_IP, IP_RECVTTL, &on, sizeof on) == 0 &&
          ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0;
    port_ = ntohs(address.sin_port);
  }
  ~GroupMember() {
    if (fd_ >= 0) ::close(fd_);
  }
  GroupMember(const GroupMember&) = delete;
  GroupMember& operator=(const GroupMember&) = delete;

  bool ok() const { return ok_; }
  int port() const { return port_; }

  // The hop limit of the next datagram, or nothing when none comes.
  std::optional<int> nextHopLimit() {
    char data[256];
    char control[CMSG_SPACE(sizeof(int))];
    iovec part{data, sizeof data};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    if (::recvmsg(fd_, &header, 0) < 0) return std::nullopt;
    for (cmsghdr* at = CMSG_FIRSTHDR(&header); at != nullptr; at = CMSG_NXTHDR(&header, at)) {
      if (at->cmsg_level == IPPROTO_IP && at->cmsg_type == IP_TTL) {
        return *reinterpret_cast<const int*>(CMSG_DATA(at));
      }
    }
    return -1;
  }

 private:
  int fd_;
  int port_ = 0;
  bool ok_ = false;
};

class MulticastTest : public testsupport::ListeningFixture {
 protected:
  void SetUp() override {
    const char* inside = std::getenv("ZEPHYX_IN_NETWORK_NAMESPACE");
    if (inside == nullptr || std::string(inside) != "1") {
      GTEST_SKIP() << "joins groups: runs in a network namespace of its own "
                      "(tests/in_network_namespace.sh)";
    }
    ListeningFixture::SetUp();
  }

  // Runs liblo's oscsend to completion.
  void oscsend(const std::string& url, const Lines& message) {
    Lines argv = {"oscsend", url};
    argv.insert(argv.end(), message.begin(), message.end());
    ChildProcess peer(argv);
    ASSERT_TRUE(peer.started()) << peer.startError();
    EXPECT_EQ(peer.waitForExit(PeerDeadline), std::optional<int>(0)) << peer.transcript();
  }
  std::string groupUrl(int groupPort) const {
    return "osc.udp://" + std::string(Group) + ":" + std::to_string(groupPort);
  }
};

TEST_F(MulticastTest, AJoinedGroupIsHeardUntilItIsLeft) {
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(call("joinGroup", {"\"" + std::string(Group) + "\""}), "1");
  EXPECT_EQ(call("joinGroup", {"\"" + std::string(Group) + "\"", "VOID"}), "1") << "already";
  oscsend(groupUrl(port), {"/to/group", "i", "1"});
  ASSERT_TRUE(pumpForCalls(1));
  EXPECT_EQ(calls(), (Lines{"\"/to/group\", [1]"}));

  // Stopping and starting again keeps the membership.
  call("stopListening");
  ASSERT_EQ(call("startListening", {std::to_string(port), "0", "#onOsc"}), "1");
  oscsend(groupUrl(port), {"/again", "i", "2"});
  ASSERT_TRUE(pumpForCalls(2));

  EXPECT_EQ(call("leaveGroup", {"\"" + std::string(Group) + "\""}), "1");
  EXPECT_EQ(call("leaveGroup", {"\"" + std::string(Group) + "\""}), "0") << "left already";
  oscsend(groupUrl(port), {"/after/leaving", "i", "3"});
  // Sent after it on the same machine, a message to the port itself comes
  // when the group's would have; then a while for any stray.
  oscsend("osc.udp://127.0.0.1:" + std::to_string(port), {"/direct", "i", "4"});
  ASSERT_TRUE(pumpForCalls(3));
  testsupport::pumpUntil(
      host, [] { return false; }, milliseconds(200));
  EXPECT_EQ(calls(), (Lines{"\"/to/group\", [1]", "\"/again\", [2]", "\"/direct\", [4]"}));
}

TEST_F(MulticastTest, TheSystemsRefusalIsSaid) {
  ASSERT_EQ(listen(false), "1");
  // Loopback is this namespace's only network.
  EXPECT_EQ(call("joinGroup", {"\"" + std::string(Group) + "\"", "\"192.0.2.1\""}),
            "\"unable to join multicast group\"");
  EXPECT_EQ(call("leaveGroup", {"\"" + std::string(Group) + "\"", "\"192.0.2.1\""}), "0");
  EXPECT_EQ(call("joinGroup", {"\"" + std::string(Group) + "\"", "\"127.0.0.1\""}), "1");
  EXPECT_EQ(call("leaveGroup", {"\"" + std::string(Group) + "\""}), "0") << "another interface";
  EXPECT_EQ(call("leaveGroup", {"\"" + std::string(Group) + "\"", "\"127.0.0.1\""}), "1");

  // An outgoing interface that is not this machine's is refused at the send.
  call("setDestination", {"\"" + std::string(Group) + "\"", std::to_string(port)});
  EXPECT_EQ(call("setMulticast", {"1", "\"192.0.2.1\""}), "1");
  EXPECT_EQ(call("send", {"[\"/x\"]"}), "0");
  EXPECT_EQ(call("sendFromListener", {"[\"/x\"]"}), "0");
  EXPECT_EQ(call("setMulticast", {"1", "\"127.0.0.1\""}), "1");
  EXPECT_EQ(call("send", {"[\"/x\"]"}), "1");
}

TEST_F(MulticastTest, LiblosDumpHearsWhatIsSentToTheGroup) {
  const int dumpPort = testsupport::freeUdpPort();
  ChildProcess dump(Lines{"oscdump", "-L", groupUrl(dumpPort)});
  ASSERT_TRUE(dump.started()) << dump.startError();
  call("setDestination", {"\"" + std::string(Group) + "\"", std::to_string(dumpPort)});
  // oscdump gives no sign that it has joined but the messages it shows.
  std::optional<std::string> line;
  const auto end = std::chrono::steady_clock::now() + PeerDeadline;
  while (!line && std::chrono::steady_clock::now() < end && !dump.outputEnded()) {
    EXPECT_EQ(call("send", {"[\"/to/dump\", [5]]"}), "1");
    line = dump.readLine(milliseconds(100));
  }
  ASSERT_TRUE(line) << dump.transcript();
  EXPECT_NE(line->find("/to/dump i 5"), std::string::npos) << *line;
}

// Both ways out give a group's datagrams the hop limit set last: send's
// own socket and the listening socket. (A reply goes to a sender's address,
// which is never a group.)
TEST_F(MulticastTest, TheHopLimitAppliesToEveryWayOut) {
  GroupMember member;
  ASSERT_TRUE(member.ok());
  ASSERT_EQ(listen(false), "1");
  call("setDestination", {"\"" + std::string(Group) + "\"", std::to_string(member.port())});
  EXPECT_EQ(call("send", {"[\"/default\"]"}), "1");
  EXPECT_EQ(member.nextHopLimit(), std::optional<int>(1)) << "the default";

  for (const int hops : {0, 5, 255}) {
    SCOPED_TRACE(hops);
    EXPECT_EQ(call("setMulticast", {std::to_string(hops)}), "1");
    EXPECT_EQ(call("send", {"[\"/send\"]"}), "1");
    EXPECT_EQ(member.nextHopLimit(), std::optional<int>(hops)) << "send";
    EXPECT_EQ(call("sendFromListener", {"[\"/listener\"]"}), "1");
    EXPECT_EQ(member.nextHopLimit(), std::optional<int>(hops)) << "sendFromListener";
  }
  EXPECT_EQ(call("setMulticast", {"256"}), "0");
  EXPECT_EQ(call("send", {"[\"/send\"]"}), "1");
  EXPECT_EQ(member.nextHopLimit(), std::optional<int>(255)) << "unchanged by a refused value";
}

}  // namespace
}  // namespace zephyx
