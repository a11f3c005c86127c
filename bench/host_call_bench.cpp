// What one host call costs through the stand-in, next to the bare atomic
// operations it is made of: the figures behind the per-argument floor of
// encoding (listGetAt, valueType, a conversion, releaseValue) and decoding
// (a make, appendToList, releaseValue).
#include <benchmark/benchmark.h>

#include <atomic>

#include "standin/standin_host.h"

namespace zephyx {
namespace {

// The calls go through the interfaces, as the library makes them.
struct Fixture {
  standin::StandInHost host;
  IHostValues* values = &host.values();
  IHostLists* lists = &host.lists();
  HostValue number = host.makeFloat(0.5);
  HostValue list = host.makeList({host.makeFloat(0.5)});
  ~Fixture() {
    values->releaseValue(&number);
    values->releaseValue(&list);
  }
};

void BM_CallValueType(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    int32_t kind = 0;
    f.values->valueType(&f.number, &kind);
    benchmark::DoNotOptimize(kind);
  }
}
BENCHMARK(BM_CallValueType);

void BM_CallValueToDouble(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    double number = 0;
    f.values->valueToDouble(&f.number, &number);
    benchmark::DoNotOptimize(number);
  }
}
BENCHMARK(BM_CallValueToDouble);

// One atomic increment and one decrement of the element's count.
void BM_CallListGetAtAndRelease(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    HostValue element;
    f.lists->listGetAt(&f.list, 1, &element);
    f.values->releaseValue(&element);
  }
}
BENCHMARK(BM_CallListGetAtAndRelease);

void BM_CallRetainAndRelease(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    f.values->retainValue(&f.number);
    f.values->releaseValue(&f.number);
  }
}
BENCHMARK(BM_CallRetainAndRelease);

// The receiving thread's three calls per argument; the list is emptied
// outside the timing.
void BM_CallMakeAppendRelease(benchmark::State& state) {
  Fixture f;
  HostValue target = f.host.makeList({});
  int64_t appended = 0;
  for (auto _ : state) {
    HostValue made;
    f.values->doubleToValue(0.25, &made);
    f.lists->appendToList(&target, &made);
    f.values->releaseValue(&made);
    if (++appended == 1000) {
      state.PauseTiming();
      f.values->releaseValue(&target);
      target = f.host.makeList({});
      appended = 0;
      state.ResumeTiming();
    }
  }
  f.values->releaseValue(&target);
}
BENCHMARK(BM_CallMakeAppendRelease);

// The floor under any thread-safe count: one increment and one decrement.
void BM_AtomicIncrementDecrement(benchmark::State& state) {
  std::atomic<int32_t> count{1};
  for (auto _ : state) {
    count.fetch_add(1, std::memory_order_relaxed);
    count.fetch_sub(1, std::memory_order_acq_rel);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_AtomicIncrementDecrement);

// The same two changes made by plain loads and stores, as a host that
// counts references on one thread only could.
void BM_PlainIncrementDecrement(benchmark::State& state) {
  std::atomic<int32_t> count{1};
  for (auto _ : state) {
    count.store(count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    benchmark::ClobberMemory();
    count.store(count.load(std::memory_order_relaxed) - 1, std::memory_order_release);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainIncrementDecrement);

}  // namespace
}  // namespace zephyx
