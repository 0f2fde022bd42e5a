// Costs of the framework's per-frame pieces: map inserts and lookups,
// stack pushes, random draws, and one input update with a full hit queue.
#include <benchmark/benchmark.h>
#include "framework/hx_framework.h"

namespace {

struct Val : Object {};

void BM_IntMapInsert(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Val* v = new Val;
  for (auto _ : state) {
    auto* map = (new c_IntMap<Val>)->m_new();
    unsigned k = 12345;
    for (int i = 0; i < n; ++i) {
      k = k * 1664525u + 1013904223u;
      map->p_Set(static_cast<int>(k >> 8), v);
    }
    benchmark::DoNotOptimize(map);
    gc_collect();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_IntMapInsert)->Arg(64)->Arg(4096);

void BM_IntMapFind(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto* map = (new c_IntMap<Val>)->m_new();
  Val* v = new Val;
  for (int i = 0; i < n; ++i) map->p_Set(i * 7, v);
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map->p_Contains((i++ % n) * 7));
  }
}
BENCHMARK(BM_IntMapFind)->Arg(64)->Arg(4096);

void BM_StackPush(benchmark::State& state) {
  Val* v = new Val;
  for (auto _ : state) {
    auto* s = (new c_Stack<Val>)->m_new();
    for (int i = 0; i < 1000; ++i) s->p_Push(v);
    benchmark::DoNotOptimize(s->p_ToArray());
    gc_collect();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_StackPush);

void BM_Rnd(benchmark::State& state) {
  hx_random_Seed = 1234;
  for (auto _ : state) benchmark::DoNotOptimize(hx_random_Rnd());
}
BENCHMARK(BM_Rnd);

// One update's input work: 33 hits and 32 characters recorded, queried and cleared.
void BM_InputUpdate(benchmark::State& state) {
  c_InputDevice* dev = (new c_InputDevice)->m_new();
  hx_input_SetInputDevice(dev);
  for (auto _ : state) {
    for (int k = 0; k < 33; ++k) {
      dev->p_KeyEvent(HX_EVENT_KEYDOWN, 65 + k);
      dev->p_KeyEvent(HX_EVENT_KEYUP, 65 + k);
      dev->p_KeyEvent(HX_EVENT_KEYCHAR, 97 + k);
    }
    int sum = 0;
    for (int k = 1; k < 512; ++k) sum += hx_input_KeyHit(k);
    while (int c = hx_input_GetChar()) sum += c;
    benchmark::DoNotOptimize(sum);
    dev->p_EndUpdate();
  }
}
BENCHMARK(BM_InputUpdate);

}  // namespace

int main(int argc, char** argv) {
  gc_init1();
  hx_framework_Init();
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  return 0;
}
