// Sending many datagrams with one system call. On a small machine the
// paced senders share the cores with the receiver they measure; one call
// per datagram would cost the receiver CPU time that a sender on another
// machine never takes from it.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <vector>

namespace zephyx::bench {

// Sends each buffer as one datagram to `to`; answers how many were sent.
inline int64_t sendDatagrams(int fd, const sockaddr_in& to,
                             const std::vector<std::vector<char>>& datagrams) {
  std::vector<iovec> pieces(datagrams.size());
  std::vector<mmsghdr> headers(datagrams.size());
  for (size_t i = 0; i < datagrams.size(); ++i) {
    pieces[i].iov_base = const_cast<char*>(datagrams[i].data());
    pieces[i].iov_len = datagrams[i].size();
    headers[i] = mmsghdr{};
    headers[i].msg_hdr.msg_name = const_cast<sockaddr_in*>(&to);
    headers[i].msg_hdr.msg_namelen = sizeof to;
    headers[i].msg_hdr.msg_iov = &pieces[i];
    headers[i].msg_hdr.msg_iovlen = 1;
  }
  size_t done = 0;
  while (done < headers.size()) {
    const int sent =
        ::sendmmsg(fd, headers.data() + done, static_cast<unsigned>(headers.size() - done), 0);
    if (sent <= 0) break;
    done += static_cast<size_t>(sent);
  }
  return static_cast<int64_t>(done);
}

}  // namespace zephyx::bench
