// What the kernel and /proc tell about a loopback run, for the soak and the
// benchmarks. Linux only.
#pragma once

namespace zephyx::tool {

// This process's resident size in KiB, or -1 where /proc does not say.
long residentKiB();

// Datagrams the kernel dropped for UDP sockets bound to `port` on any
// address: the last column of /proc/net/udp. -1 when it cannot be read.
long kernelDrops(int port);

// A UDP port on 127.0.0.1 that the system chose a moment ago; 0 when none.
int freeUdpPort();

}  // namespace zephyx::tool
