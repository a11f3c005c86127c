// The library's class, for the benchmarks that link the library's code:
// the same descriptor the stand-in host would fill from the exports.
#pragma once

#include "standin/standin_class.h"

namespace zephyx::bench {

standin::StandInClass coreClass();

}  // namespace zephyx::bench
