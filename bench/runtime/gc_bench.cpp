// Collector figures: allocation against new/delete, one incremental step and
// one completing cycle with 10 MB of live objects.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <climits>
#include <vector>

#include "runtime/hx_runtime.h"

namespace {

// Collected objects with a payload of N bytes after the header.
template <int N>
struct Collected : Object {
  char pad[N];
  Collected() {}
};
// Plain heap objects of the same total size (vtable pointer included).
template <int Size>
struct Plain {
  virtual ~Plain() {}
  char pad[Size - sizeof(void*)];
};

std::vector<gc_object*> roots;
void bench_roots() {
  for (gc_object* r : roots) gc_mark_q(r);
}

void reset_collector() {
  gc_mark_roots = bench_roots;
  roots.clear();
  gc_collect_all();
  gc_collect_all();
  gc_flush_free(INT_MAX);
  gc_new_bytes = 0;
  gc_ext_new_bytes = 0;
}

// Each iteration allocates one object; like the game, a collection step
// follows every frame's worth of allocations (here 256), so the figure
// includes sweeping and destroying the garbage.
template <int N>
void BM_GcAlloc(benchmark::State& state) {
  reset_collector();
  int frame = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(new Collected<N>);
    if (++frame == 256) {
      frame = 0;
      gc_collect();
    }
  }
  state.SetLabel(std::to_string(sizeof(Collected<N>)) + " bytes");
  reset_collector();
}

template <int N>
void BM_NewDelete(benchmark::State& state) {
  using P = Plain<sizeof(Collected<N>)>;
  for (auto _ : state) {
    P* p = new P;
    benchmark::DoNotOptimize(p);
    delete p;
  }
  state.SetLabel(std::to_string(sizeof(P)) + " bytes");
}

// Node of the live heap: a binary tree whose nodes queue their children, so
// marking proceeds through the queue.
struct Node : Object {
  Node* left;
  Node* right;
  char pad[40];
  Node() : left(nullptr), right(nullptr) {}
  void mark() override {
    Object::mark();
    gc_mark_q(left);
    gc_mark_q(right);
  }
};

const int kLiveBytes = 10 * 1000 * 1000;

Node* build_heap() {
  reset_collector();
  const int count = kLiveBytes / static_cast<int>(sizeof(Node));
  std::vector<Node*> nodes(count);
  for (int i = 0; i < count; ++i) nodes[i] = new Node;
  for (int i = 0; i < count; ++i) {
    if (2 * i + 1 < count) nodes[i]->left = nodes[2 * i + 1];
    if (2 * i + 2 < count) nodes[i]->right = nodes[2 * i + 2];
  }
  roots = {nodes[0]};
  gc_mark();
  // Two completed cycles: the heap is settled and every node survives.
  for (int i = 0; i < 2; ++i) {
    gc_ext_malloced(GC_TRIGGER + 1);
    gc_collect();
  }
  return nodes[0];
}

// One collection step as the iteration's (manual) time, keeping the worst
// step in CPU time: on a busy machine the wall clock also counts time the
// thread was not running.
void TimedStep(benchmark::State& state, double* worst) {
  timespec c0, c1;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
  auto t0 = std::chrono::steady_clock::now();
  gc_collect();
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
  double cpu = (c1.tv_sec - c0.tv_sec) + (c1.tv_nsec - c0.tv_nsec) * 1e-9;
  if (cpu > *worst) *worst = cpu;
  state.SetIterationTime(s);
}

// One step after a frame that allocated state.range(0) bytes of garbage in
// 64-byte objects. Steps that would complete the cycle are run untimed.
void BM_IncrementalStep(benchmark::State& state) {
  build_heap();
  const int frame_bytes = static_cast<int>(state.range(0));
  const int per_frame = frame_bytes / static_cast<int>(sizeof(Collected<36>));
  double worst = 0;
  for (auto _ : state) {
    for (;;) {
      for (int i = 0; i < per_frame; ++i) benchmark::DoNotOptimize(new Collected<36>);
      if (gc_ext_new_bytes + gc_new_bytes <= GC_TRIGGER) break;
      gc_collect();  // completing step: measured by BM_CompleteCycle
    }
    TimedStep(state, &worst);
  }
  state.counters["live_MB"] = gc_alloced_bytes / 1e6;
  state.counters["worst_cpu_us"] = worst * 1e6;
  reset_collector();
}

// A completing step: marks the whole 10 MB heap, sweeps and queues roots.
void BM_CompleteCycle(benchmark::State& state) {
  build_heap();
  for (auto _ : state) {
    gc_ext_malloced(GC_TRIGGER + 1);
    gc_collect();
  }
  state.counters["live_MB"] = gc_alloced_bytes / 1e6;
  reset_collector();
}

// A step that also finishes pending destruction, with nothing allocated in
// between: 8 MiB of cold garbage (objects of Collected<N>) from a completed
// cycle, destroyed GC_STEP_FREE bytes per step. Each iteration is one such
// step: the price a frame pays while the garbage of a cycle drains.
template <int N>
void BM_StepDestroyingGarbage(benchmark::State& state) {
  build_heap();
  const int size = static_cast<int>((sizeof(Collected<N>) + 7) & ~size_t(7));
  double worst = 0;
  for (auto _ : state) {
    if (gc_free_bytes == 0) {
      state.PauseTiming();
      for (int made = 0; made < GC_TRIGGER; made += size) benchmark::DoNotOptimize(new Collected<N>);
      gc_ext_malloced(GC_TRIGGER + 1);
      gc_collect();  // sweeps them all onto the free list
      state.ResumeTiming();
    }
    TimedStep(state, &worst);
  }
  state.counters["worst_cpu_us"] = worst * 1e6;
  state.SetLabel(std::to_string(GC_STEP_FREE / 1024) + " KiB of " + std::to_string(size) + "-byte objects per step");
  reset_collector();
}

BENCHMARK_TEMPLATE(BM_GcAlloc, 16);
BENCHMARK_TEMPLATE(BM_NewDelete, 16);
BENCHMARK_TEMPLATE(BM_GcAlloc, 32);
BENCHMARK_TEMPLATE(BM_NewDelete, 32);
BENCHMARK_TEMPLATE(BM_GcAlloc, 64);
BENCHMARK_TEMPLATE(BM_NewDelete, 64);
BENCHMARK(BM_IncrementalStep)->Arg(16 << 10)->Arg(256 << 10)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompleteCycle)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_StepDestroyingGarbage, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_StepDestroyingGarbage, 216)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
