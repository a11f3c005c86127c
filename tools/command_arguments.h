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

}  // namespace zephyx::tool
