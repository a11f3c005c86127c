// What the kernel and /proc tell about a loopback run, for the soak and the
// benchmarks. Linux only.
#pragma once

namespace zephyx::tool {

// This process's resident size in KiB, or -1 where /proc does not say.
long residentKiB();

// Datagrams the kernel dropped for UDP sockets bound to `port` on any
// address: the last column of /proc/net/udp. -1 when it cannot be read.
long kernelDrops(int port);

}  // namespace zephyx::tool
