#include "tools/command_arguments.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "tools/tool_host.h"

namespace zephyx::tool {

int usageError(const std::string& message) {
  std::cerr << "zephyx-host: " << message << "\n"
            << "try 'zephyx-host --help'\n";
  return ExitUsage;
}

bool parseInteger(const std::string& text, int32_t* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *out = static_cast<int32_t>(value);
  return true;
}

bool parseSeconds(const std::string& text, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(value >= 0)) return false;
  *out = value;
  return true;
}

bool parseHostPort(const std::string& text, std::string* host, int32_t* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || !parseInteger(text.substr(colon + 1), port)) return false;
  *host = text.substr(0, colon);
  return true;
}

bool parseLiteralOptions(const std::vector<std::string>& arguments,
                         std::initializer_list<ValueOption> values,
                         std::initializer_list<FlagOption> flags, const char* command,
                         std::vector<std::string>* texts, std::string* error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    const FlagOption* flag = nullptr;
    for (const FlagOption& candidate : flags) {
      if (name == candidate.name) flag = &candidate;
    }
    if (flag != nullptr) {
      *flag->set = true;
      continue;
    }
    const ValueOption* option = nullptr;
    for (const ValueOption& candidate : values) {
      if (name == candidate.name) option = &candidate;
    }
    if (option == nullptr) {
      // No Lingo literal starts with two dashes.
      if (command != nullptr && name.rfind("--", 0) == 0) {
        *error = std::string("unknown ") + command + " argument " + name;
        return false;
      }
      texts->push_back(name);
      continue;
    }
    if (i + 1 >= arguments.size()) {
      *error = name + " needs a value";
      return false;
    }
    *option->value = arguments[++i];
  }
  return true;
}

}  // namespace zephyx::tool
