// The commands of zephyx-host. Each returns the process's exit status.
#pragma once

#include <string>
#include <vector>

namespace zephyx::tool {

struct Options {
  std::string libraryPath;
  std::vector<std::string> arguments;  // what follows the command's name
};

int runInfo(const Options& options);
int runSend(const Options& options);
int runListen(const Options& options);
int runDemo(const Options& options);
int runSoak(const Options& options);

// Reports a usage error on standard error; returns the usage status.
int usageError(const std::string& message);

// Whole-text conversions for option values.
bool parseInteger(const std::string& text, int32_t* out);
bool parseSeconds(const std::string& text, double* out);

}  // namespace zephyx::tool
