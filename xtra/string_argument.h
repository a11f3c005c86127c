// Reading a Lingo string argument as text.
#pragma once

#include <string>

#include "host/host_values.h"

namespace zephyx::xtra {

// The text of a string value, NULs and all; false, leaving *text alone, for
// another kind or a string the host will not show.
bool stringArgument(IHostValues* values, const HostValue& value, std::string* text);

}  // namespace zephyx::xtra
