// A free loopback port, for the soak, the tests and the benchmarks. Builds
// for Windows too.
#pragma once

namespace zephyx::tool {

// A UDP port on 127.0.0.1 that was free a moment ago: the system chose it
// for a probe socket that is closed again. 0 when none could be had.
int freeUdpPort();

}  // namespace zephyx::tool
