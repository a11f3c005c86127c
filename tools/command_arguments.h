// What every command of zephyx-host does with its arguments: report a
// usage error, and convert option values.
#pragma once

#include <cstdint>
#include <string>

namespace zephyx::tool {

// Reports a usage error on standard error; returns the usage status.
int usageError(const std::string& message);

// Whole-text conversions for option values.
bool parseInteger(const std::string& text, int32_t* out);
bool parseSeconds(const std::string& text, double* out);
// HOST:PORT, split at the last colon; the port's range is left to the
// library, which answers for it as a script would see.
bool parseHostPort(const std::string& text, std::string* host, int32_t* port);

}  // namespace zephyx::tool
