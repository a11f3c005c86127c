// The library's class for tests that link the library's code: the same
// descriptor the stand-in host would fill from the exports.
#pragma once

#include "standin/standin_class.h"

namespace zephyx::testsupport {

standin::StandInClass coreClass();

}  // namespace zephyx::testsupport
