// zephyx-host soak: a long, paced run of messages over loopback into one
// listening object, with the host loop pumping about every millisecond.
// Prints what was sent, received, delivered and dropped (and where), and the
// process's resident size and the stand-in's live counts at the start, after
// warm-up and at the end. Fails when memory grew after warm-up.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/host_ids.h"
#include "tools/command_arguments.h"
#include "tools/commands.h"
#include "tools/loopback_counters.h"
#include "tools/tool_host.h"
#include "tools/udp_port.h"

namespace zephyx::tool {
namespace {

using Clock = std::chrono::steady_clock;

struct SoakOptions {
  int32_t messages = 1000000;
  int32_t rate = 50000;  // messages a second
};

bool parseSoakOptions(const std::vector<std::string>& arguments, SoakOptions* options,
                      std::string* error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name != "--messages" && name != "--rate") {
      *error = "unknown soak argument " + name;
      return false;
    }
    if (i + 1 >= arguments.size()) {
      *error = name + " needs a value";
      return false;
    }
    const std::string& value = arguments[++i];
    int32_t* field = name == "--messages" ? &options->messages : &options->rate;
    if (!parseInteger(value, field) || *field <= 0) {
      *error = "bad value for " + name + ": " + value;
      return false;
    }
  }
  return true;
}

// "/soak" with one integer, written once: the payload does not matter.
std::vector<char> soakMessage() {
  return {'/', 's', 'o', 'a', 'k', 0, 0, 0, ',', 'i', 0, 0, 0, 0, 0, 1};
}

// Sends `total` datagrams to 127.0.0.1:port, a quarter millisecond's share
// at a time: small bursts, so that the listener can keep up. Keeps only
// counters.
class PacedSender {
 public:
  PacedSender(int port, int32_t total, int32_t rate)
      : port_(port), total_(total), rate_(rate), thread_([this] { run(); }) {}
  ~PacedSender() { stop(); }

  int64_t sent() const { return sent_.load(std::memory_order_acquire); }
  int64_t failed() const { return failed_.load(std::memory_order_acquire); }

  // Waits until every datagram went out or `deadline` passed; true when done.
  bool waitDone(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    return finished_cv_.wait_until(lock, deadline, [this] { return finished_; });
  }

  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    stop_cv_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void run() {
    const int socketFd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(port_));
    const std::vector<char> message = soakMessage();
    constexpr auto Tick = std::chrono::microseconds(250);
    const int64_t perTick = std::max<int64_t>(1, rate_ / 4000);
    auto tick = Clock::now();
    int64_t done = 0;
    while (socketFd >= 0 && done < total_) {
      const int64_t batch = std::min<int64_t>(perTick, total_ - done);
      for (int64_t i = 0; i < batch; ++i) {
        const ssize_t written = ::sendto(socketFd, message.data(), message.size(), 0,
                                         reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (written < 0) failed_.fetch_add(1, std::memory_order_acq_rel);
      }
      done += batch;
      sent_.store(done, std::memory_order_release);
      // Behind schedule (the machine was busy): start afresh rather than
      // catch up in one large burst.
      tick = std::max(tick + Tick, Clock::now() - 8 * Tick);
      std::unique_lock<std::mutex> lock(mutex_);
      if (stop_cv_.wait_until(lock, tick, [this] { return stopping_; })) break;
    }
    if (socketFd >= 0) ::close(socketFd);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    finished_cv_.notify_all();
  }

  const int port_;
  const int32_t total_;
  const int32_t rate_;
  std::atomic<int64_t> sent_{0};
  std::atomic<int64_t> failed_{0};
  std::mutex mutex_;
  std::condition_variable stop_cv_;
  std::condition_variable finished_cv_;
  bool stopping_ = false;  // guarded by mutex_
  bool finished_ = false;  // guarded by mutex_
  std::thread thread_;     // last: starts once the members above exist
};

struct Snapshot {
  long rssKiB;
  int64_t liveValues;
  int64_t liveBlocks;
  int64_t liveInstances;
};

Snapshot snapshot(standin::StandInHost& host) {
  return {residentKiB(), host.valueTable().liveCount(), host.memory().outstandingBlocks(),
          host.liveInstances()};
}

void printSnapshot(const char* when, const Snapshot& s) {
  std::cout << when << ": VmRSS " << s.rssKiB << " KiB, live values " << s.liveValues << ", blocks "
            << s.liveBlocks << ", instances " << s.liveInstances << "\n";
}

// Resident growth allowed after warm-up. The allocator keeps freed memory
// in per-thread arenas and does not give all of it back, so the resident
// size moves by a few hundred KiB with no leak; 2 MiB is above that noise
// and below what even 3 bytes kept per message add up to over a million.
constexpr long RssToleranceKiB = 2048;

}  // namespace

int runSoak(const Options& options) {
  SoakOptions soak;
  std::string error;
  if (!parseSoakOptions(options.arguments, &soak, &error)) return usageError(error);

  standin::StandInHost host;
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass);
  if (!object) {
    std::cerr << "zephyx-host: cannot create a Zephyx object\n";
    return ExitFailure;
  }

  int64_t delivered = 0;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall&) {
    ++delivered;
    return StatusOk;
  });

  int port = 0;
  std::string started;
  {
    OwnedValue shape = host.own(host.makeInteger(0));
    OwnedValue handler = host.own(host.makeSymbol("onOsc"));
    for (int attempt = 0; attempt < 20 && started != "1"; ++attempt) {
      port = freeUdpPort();
      OwnedValue portValue = host.own(host.makeInteger(port));
      started = host.format(
          object->call("startListening", {portValue.get(), shape.get(), handler.get()}).get());
    }
  }
  if (started != "1") {
    std::cerr << "zephyx-host: startListening answered " << started << "\n";
    object->call("forget");
    return ExitFailure;
  }

  // Each received message is made into three values (address, list,
  // integer) on the receiving thread, and nothing else makes values while
  // the soak runs: the values made count the datagrams received.
  constexpr int64_t ValuesPerMessage = 3;
  const int64_t madeAtStart = host.valueTable().madeCount();
  const int64_t warmUp = std::min<int64_t>(soak.messages / 10, 100000);
  const Snapshot start = snapshot(host);
  Snapshot warm = start;
  bool warmTaken = false;
  std::cout << "soak: " << soak.messages << " messages to 127.0.0.1:" << port << " at " << soak.rate
            << " a second\n";
  printSnapshot("start", start);

  // The host loop: a pass about every millisecond, its call record emptied
  // after each, so that nothing is kept per message on this side.
  const auto begun = Clock::now();
  const auto deadline = begun + std::chrono::seconds(30) +
                        std::chrono::milliseconds(2000LL * soak.messages / soak.rate);
  PacedSender sender(port, soak.messages, soak.rate);
  bool senderDone = false;
  auto lastProgress = Clock::now();
  int64_t lastSeen = -1;
  auto tick = Clock::now();
  bool timedOut = false;
  while (true) {
    host.pump();
    host.scriptContext().clearCalls();
    if (!warmTaken && delivered >= warmUp) {
      warm = snapshot(host);
      warmTaken = true;
      printSnapshot("after warm-up", warm);
    }
    const auto now = Clock::now();
    if (!senderDone) senderDone = sender.waitDone(now);
    const int64_t received = (host.valueTable().madeCount() - madeAtStart) / ValuesPerMessage;
    if (received + delivered != lastSeen) {
      lastSeen = received + delivered;
      lastProgress = now;
    }
    // Done once everything sent is accounted for, or nothing has moved for
    // half a second after the last datagram went out.
    if (senderDone && (received + std::max(0L, kernelDrops(port)) >= sender.sent() ||
                       now - lastProgress > std::chrono::milliseconds(500))) {
      host.pump();
      host.scriptContext().clearCalls();
      break;
    }
    if (now > deadline) {
      timedOut = true;
      break;
    }
    tick += std::chrono::milliseconds(1);
    std::this_thread::sleep_until(std::max(tick, now));
  }
  sender.stop();
  const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();

  const int64_t received = (host.valueTable().madeCount() - madeAtStart) / ValuesPerMessage;
  const long drops = kernelDrops(port);
  const Snapshot end = snapshot(host);
  object->call("stopListening");
  object->call("forget");
  object.reset();

  std::cout << "sent " << sender.sent() << " (" << sender.failed() << " failed) in " << seconds
            << " s\n"
            << "received " << received << "\n"
            << "delivered " << delivered << "\n"
            << "dropped by the queue limit " << (received - delivered) << "\n"
            << "dropped by the kernel ";
  if (drops < 0) {
    std::cout << "unknown (no /proc/net/udp)\n";
  } else {
    // Loopback loses nothing else: anything here went astray.
    std::cout << drops << "\n"
              << "unaccounted " << (sender.sent() - sender.failed() - received - drops) << "\n";
  }
  if (!warmTaken) warm = start;
  printSnapshot("end", end);
  const long growth = end.rssKiB - warm.rssKiB;
  std::cout << "VmRSS growth after warm-up " << growth << " KiB (tolerance " << RssToleranceKiB
            << " KiB)\n"
            << "left over after forget: "
            << (host.leakReport().empty() ? "nothing" : host.leakReport()) << "\n";

  int status = ExitSuccess;
  if (timedOut) {
    std::cout << "FAIL: not finished by the deadline\n";
    status = ExitFailure;
  }
  if (delivered == 0 || !warmTaken) {
    std::cout << "FAIL: too little was delivered to warm up\n";
    status = ExitFailure;
  }
  if (growth > RssToleranceKiB) {
    std::cout << "FAIL: the resident size grew after warm-up\n";
    status = ExitFailure;
  }
  if (end.liveValues > warm.liveValues || end.liveBlocks > warm.liveBlocks) {
    std::cout << "FAIL: live values or blocks grew after warm-up\n";
    status = ExitFailure;
  }
  if (!host.leakReport().empty()) status = ExitFailure;
  return status;
}

}  // namespace zephyx::tool
