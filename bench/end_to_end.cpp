#include "end_to_end.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <thread>

#include "host/host_ids.h"
#include "loopback_support.h"
#include "receive/ofx_osc_receiver.h"
#include "standin/lingo_object.h"
#include "standin/standin_host.h"
#include "xtra/library_entry_points.h"
#include "xtra/message_table.h"
#include "xtra/scripting_object.h"

namespace zephyx::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Runs the host loop (a pass about every millisecond) while `sender` sends,
// then until nothing more arrives for a while.
// Returns the longest gap between two passes, in milliseconds: a gap longer
// than the queue holds (1025 items) is where the queue limit drops items.
template <typename Progress>
double pumpUntilQuiet(standin::StandInHost& host, PacedSender& sender, Progress progress) {
  auto tick = Clock::now();
  auto lastMove = tick;
  auto lastPass = tick;
  double longestGap = 0;
  int64_t lastSeen = -1;
  while (true) {
    const auto passStart = Clock::now();
    longestGap = std::max(longestGap,
                          std::chrono::duration<double, std::milli>(passStart - lastPass).count());
    lastPass = passStart;
    host.pump();
    const auto now = Clock::now();
    const int64_t seen = progress();
    if (seen != lastSeen) {
      lastSeen = seen;
      lastMove = now;
    }
    if (sender.done() &&
        (seen >= sender.sent() || now - lastMove > std::chrono::milliseconds(300))) {
      break;
    }
    tick += std::chrono::milliseconds(1);
    std::this_thread::sleep_until(std::max(tick, now));
  }
  sender.join();
  return longestGap;
}

// The process's UDP socket bound to `port`, found among its descriptors;
// -1 when there is none.
int udpSocketOnPort(int port) {
  DIR* fds = ::opendir("/proc/self/fd");
  if (fds == nullptr) return -1;
  int found = -1;
  while (const dirent* entry = ::readdir(fds)) {
    const int fd = std::atoi(entry->d_name);
    if (fd <= 2) continue;
    int type = 0;
    socklen_t typeLength = sizeof type;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 && type == SOCK_DGRAM &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        address.sin_family == AF_INET && ntohs(address.sin_port) == port) {
      found = fd;
      break;
    }
  }
  ::closedir(fds);
  return found;
}

int receiveBufferOf(int fd) {
  int size = 0;
  socklen_t length = sizeof size;
  return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 ? size : 0;
}

}  // namespace

StreamResult streamIntoZephyx(int rate, double seconds, Latency* latency, int receiveBuffer) {
  StreamResult result;
  result.rate = rate;
  standin::StandInHost host;
  host.addClass(hostids::ZephyxClass, xtra::DllGetClassForm, xtra::DllGetInterface);
  host.scriptContext().setRecordLimit(0);
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass);
  if (!object) return result;

  std::vector<int64_t> delays;
  if (latency != nullptr) delays.reserve(static_cast<size_t>(rate * seconds) + 16);
  int64_t delivered = 0;
  IHostValues& values = host.values();
  IHostLists& lists = host.lists();
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall& call) {
    ++delivered;
    if (latency != nullptr && call.count == 2) {
      HostValue stamp = VoidValue;
      double sentNs = 0;
      if (lists.listGetAt(&call.args[1], 1, &stamp) == StatusOk) {
        values.valueToDouble(&stamp, &sentNs);
        values.releaseValue(&stamp);
        delays.push_back(steadyNowNs() - static_cast<int64_t>(sentNs));
      }
    }
    return StatusOk;
  });

  int port = 0;
  {
    OwnedValue shape = host.own(host.makeInteger(0));
    OwnedValue handler = host.own(host.makeSymbol("onOsc"));
    for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
      const int candidate = freeUdpPort();
      OwnedValue portValue = host.own(host.makeInteger(candidate));
      if (host.format(
              object
                  ->call(xtra::MethodStartListening, {portValue.get(), shape.get(), handler.get()})
                  .get()) == "1") {
        port = candidate;
      }
    }
  }
  if (port == 0) {
    object->call(xtra::MethodForget);
    return result;
  }
  const receive::ofxOscReceiver* receiver =
      static_cast<xtra::TStdXtra_IMoaMmXScript*>(object->script())->owner->held->receiver.get();
  const int socketFd = udpSocketOnPort(port);
  if (receiveBuffer > 0 && socketFd >= 0) {
    ::setsockopt(socketFd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  result.receiveBuffer = receiveBufferOf(socketFd);
  const long dropsBefore = std::max(0L, kernelDrops(port));
  {
    PacedSender sender(port, rate, seconds, latency != nullptr);
    result.longestPumpGapMs = pumpUntilQuiet(host, sender, [&] { return delivered; });
    result.sent = sender.sent() - sender.failed();
  }
  result.delivered = delivered;
  result.kernelDrops = kernelDrops(port) - dropsBefore;
  result.queueEvicted = static_cast<int64_t>(receiver->itemsEvicted());
  result.ran = true;
  object->call(xtra::MethodStopListening);
  object->call(xtra::MethodForget);

  if (latency != nullptr && !delays.empty()) {
    std::sort(delays.begin(), delays.end());
    latency->samples = static_cast<int64_t>(delays.size());
    latency->medianUs = static_cast<double>(delays[delays.size() / 2]) / 1000.0;
    latency->p99Us = static_cast<double>(delays[delays.size() * 99 / 100]) / 1000.0;
  }
  return result;
}

StreamResult streamIntoOscdump(int rate, double seconds) {
  StreamResult result;
  result.rate = rate;
  const int port = freeUdpPort();
  if (port == 0) return result;
  char outPath[] = "/tmp/zephyx-oscdump-XXXXXX";
  const int outFd = ::mkstemp(outPath);
  if (outFd < 0) return result;
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(outFd, STDOUT_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) ::dup2(devNull, STDERR_FILENO);
    const std::string portText = std::to_string(port);
    ::execlp("oscdump", "oscdump", "-L", portText.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(outFd);
  if (child < 0) return result;
  // Until it has bound the port.
  for (int wait = 0; wait < 100 && kernelDrops(port) < 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  int status = 0;
  if (kernelDrops(port) >= 0) {
    const long dropsBefore = std::max(0L, kernelDrops(port));
    {
      PacedSender sender(port, rate, seconds);
      sender.join();
      result.sent = sender.sent() - sender.failed();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    result.kernelDrops = kernelDrops(port) - dropsBefore;
    result.ran = true;
  }
  ::kill(child, SIGINT);
  ::waitpid(child, &status, 0);
  std::ifstream out(outPath);
  std::string line;
  while (std::getline(out, line)) ++result.delivered;
  ::unlink(outPath);
  return result;
}

}  // namespace zephyx::bench
