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
int runStream(const Options& options);
int runDemo(const Options& options);
int runSoak(const Options& options);

}  // namespace zephyx::tool
