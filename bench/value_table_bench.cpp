// The stand-in value table as the receiving thread and the host thread use
// it: one thread makes values, the other reads and releases them.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

#include "standin/standin_host.h"

namespace zephyx {
namespace {

// A single-producer, single-consumer ring as long as the library's queue.
class Ring {
 public:
  bool push(const HostValue& value) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
    items_[tail % Capacity] = value;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }
  bool pop(HostValue* value) {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    *value = items_[head % Capacity];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

 private:
  static constexpr size_t Capacity = 1024;
  HostValue items_[Capacity];
  alignas(64) std::atomic<size_t> head_{0};
  alignas(64) std::atomic<size_t> tail_{0};
};

// Per item: a list of an integer and a string made on the maker thread; the
// benchmark thread reads the integer and releases the list.
void BM_StandInCrossThreadMakeRelease(benchmark::State& state) {
  standin::StandInHost host;
  IHostValues& values = host.values();
  IHostLists& lists = host.lists();
  Ring ring;
  std::atomic<bool> stop{false};
  std::thread maker([&] {
    int32_t sequence = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      HostValue list;
      lists.newList(&list);
      HostValue number;
      values.integerToValue(sequence++, &number);
      lists.appendToList(&list, &number);
      values.releaseValue(&number);
      HostValue text;
      values.stringToValue("/synth/voice/3", &text);
      lists.appendToList(&list, &text);
      values.releaseValue(&text);
      while (!ring.push(list)) {
        if (stop.load(std::memory_order_relaxed)) {
          values.releaseValue(&list);
          return;
        }
        std::this_thread::yield();
      }
    }
  });
  for (auto _ : state) {
    HostValue list;
    while (!ring.pop(&list)) std::this_thread::yield();
    HostValue first;
    lists.listGetAt(&list, 1, &first);
    int32_t number = 0;
    values.valueToInteger(&first, &number);
    benchmark::DoNotOptimize(number);
    values.releaseValue(&first);
    values.releaseValue(&list);
  }
  stop.store(true);
  maker.join();
  HostValue left;
  while (ring.pop(&left)) values.releaseValue(&left);
  state.SetItemsProcessed(state.iterations());
  // How many slots the table ever used: bounded when freed slots are reused.
  state.counters["slots"] = static_cast<double>(host.valueTable().slotCount());
}
BENCHMARK(BM_StandInCrossThreadMakeRelease)->UseRealTime();

}  // namespace
}  // namespace zephyx
