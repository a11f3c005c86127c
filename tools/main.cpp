// zephyx-host: a command-line host for the Zephyx library, built on the
// stand-in host.
#include <iostream>

#include "tools/command_arguments.h"
#include "tools/commands.h"
#include "tools/tool_host.h"
#include "zephyx_version.h"

namespace zephyx::tool {
namespace {

const char Usage[] =
    "usage: zephyx-host [--library PATH] COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  info                          the library's classes, interfaces and message table\n"
    "  send [--to HOST:PORT] [--buffer-size N] [--ttl N] [--interface ADDRESS] LITERAL...\n"
    "                                send each Lingo literal, printing 1 or 0 for each\n"
    "  send --from-port PORT [--to HOST:PORT] [--buffer-size N] [--ttl N]\n"
    "       [--interface ADDRESS] [--timeout SECONDS] [--count N] [--show-sender] LITERAL...\n"
    "                                the same from a listening object on PORT (0: any free\n"
    "                                port), then print each handler call for what comes\n"
    "                                back, as listen does, for SECONDS (default 1) or until\n"
    "                                N calls (exit 1 when fewer come)\n"
    "  listen [--port N] [--proplist] [--count N] [--timeout SECONDS] [--host-version TEXT]\n"
    "         [--show-sender] [--reply LITERAL] [--route PATTERN]...\n"
    "         [--join GROUP[@INTERFACE]]...\n"
    "                                print each handler call, one per line\n"
    "  stream --to HOST:PORT --framing length|slip [--buffer-size N] [--timeout SECONDS]\n"
    "         [--count N] [--show-sender] LITERAL...\n"
    "                                connect over TCP, send each literal with sendStream once\n"
    "                                connected, printing 1 or 0 for each, then print each\n"
    "                                handler call, as listen does, for SECONDS (default 1)\n"
    "                                or until N calls (exit 1 when fewer come)\n"
    "  demo                          send to itself and check that everything arrived\n"
    "  soak [--messages N] [--rate N]\n"
    "                                a paced run over loopback; counts, memory, exit 1 on growth\n"
    "\n"
    "listen, send --from-port and stream:\n"
    "  --show-sender     the sender first on each line: 127.0.0.1:57120 \"/a\", [1]\n"
    "listen:\n"
    "  --reply LITERAL   answer each received message (not the bundle markers) with the\n"
    "                    Lingo literal, from the listening port to its sender\n"
    "  --route PATTERN   print only the messages whose address matches an OSC address\n"
    "                    pattern (/synth/*/freq, /voice/[1-4], /{a,b}/go); repeatable.\n"
    "                    Bundle markers are then not printed; --count counts printed lines\n"
    "  --join GROUP[@INTERFACE]\n"
    "                    join the multicast group (239.255.0.1) once listening, on the\n"
    "                    network of this machine's INTERFACE address (default: the\n"
    "                    system's choice); repeatable. Any answer but 1 goes to standard\n"
    "                    error and the status is 1, as when the port cannot be listened on\n"
    "send (both forms):\n"
    "  --ttl N           hop limit of datagrams to a multicast group, 0 to 255 (default 1:\n"
    "                    the local network; 0: this machine)\n"
    "  --interface ADDRESS\n"
    "                    this machine's address on the network that datagrams to a group\n"
    "                    leave through (default: the system's choice). Both go to\n"
    "                    setMulticast before anything is sent: a value it refuses is a\n"
    "                    usage error; an interface the system refuses prints 0 for each\n"
    "                    send to a group\n"
    "stream:\n"
    "  --framing length|slip\n"
    "                    length: each packet after its size (OSC 1.0); slip: SLIP (OSC 1.1)\n"
    "  --timeout SECONDS also the wait for the connection (default 6): the #streamclosed\n"
    "                    items before it are printed; with no connection by then nothing\n"
    "                    is sent and the status is 1, as when connectStream refuses (its\n"
    "                    answer goes to standard error)\n"
    "  --count N         counts the calls after #streamopen\n"
    "\n"
    "options:\n"
    "  --library PATH   the library to load (default: " ZEPHYX_LIBRARY_FILE
    " next to this program)\n"
    "  --help           this text\n"
    "  --version        the program's version\n";

}  // namespace

}  // namespace zephyx::tool

int main(int argc, char** argv) {
  using namespace zephyx::tool;
  Options options;
  options.libraryPath = defaultLibraryPath();
  std::string command;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (command.empty() && argument == "--help") {
      std::cout << Usage;
      return ExitSuccess;
    }
    if (command.empty() && argument == "--version") {
      std::cout << "zephyx-host " << zephyx::VersionText << "\n";
      return ExitSuccess;
    }
    if (command.empty() && argument == "--library") {
      if (++i >= argc) return usageError("--library needs a path");
      options.libraryPath = argv[i];
      continue;
    }
    if (command.empty()) {
      if (!argument.empty() && argument[0] == '-') return usageError("unknown option " + argument);
      command = argument;
      continue;
    }
    options.arguments.push_back(argument);
  }

  if (command == "info") {
    if (!options.arguments.empty()) return usageError("info takes no arguments");
    return runInfo(options);
  }
  if (command == "send") return runSend(options);
  if (command == "listen") return runListen(options);
  if (command == "stream") return runStream(options);
  if (command == "demo") {
    if (!options.arguments.empty()) return usageError("demo takes no arguments");
    return runDemo(options);
  }
#if !defined(_WIN32)
  if (command == "soak") return runSoak(options);
#endif
  if (command.empty()) return usageError("no command given");
  return usageError("unknown command " + command);
}
