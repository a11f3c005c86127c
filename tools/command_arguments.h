// What every command of zephyx-host does with its arguments: report a
// usage error, and convert option values.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace zephyx::tool {

// Reports a usage error on standard error; returns the usage status.
int usageError(const std::string& message);

// Whole-text conversions for option values.
bool parseInteger(const std::string& text, int32_t* out);
bool parseSeconds(const std::string& text, double* out);
// HOST:PORT, split at the last colon; the port's range is left to the
// library, which answers for it as a script would see.
bool parseHostPort(const std::string& text, std::string* host, int32_t* port);

// Options of a command that sends literals: `--name VALUE` into the named
// value (given but empty stays an error for the caller, not a default),
// `--flag` set, anything else a literal in *texts, in order. An unknown
// `--name` is a literal too, unless `command` names the command, when it is
// an error. False, with the reason in *error, for a value missing at the end.
struct ValueOption {
  const char* name;
  std::optional<std::string>* value;
};
struct FlagOption {
  const char* name;
  bool* set;
};
bool parseLiteralOptions(const std::vector<std::string>& arguments,
                         std::initializer_list<ValueOption> values,
                         std::initializer_list<FlagOption> flags, const char* command,
                         std::vector<std::string>* texts, std::string* error);

}  // namespace zephyx::tool
