// Host figures: state saves (with the sync that makes them safe), whole-file
// reads, and the per-event key translation.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "host/hx_glfw_game.h"

namespace {

// Runs in a scratch directory so that the state file is not the user's.
struct Scratch {
  Scratch() {
    char tmpl[] = "/tmp/zelk-host-bench-XXXXXX";
    dir = mkdtemp(tmpl);
    if (chdir(dir.c_str()) != 0) abort();
    mkdir("data", 0755);
  }
  std::string dir;
};
Scratch& Dir() {
  static Scratch s;
  return s;
}

HxGlfwGame& Game() {
  static HxGlfwGame* g = new HxGlfwGame;
  return *g;
}

// The game's state is a few hundred ASCII characters.
void BM_SaveState(benchmark::State& state) {
  Dir();
  std::string text(static_cast<size_t>(state.range(0)), '7');
  String s(text.c_str());
  for (auto _ : state) benchmark::DoNotOptimize(Game().SaveState(s));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveState)->Arg(600)->Arg(64 << 10);

void BM_LoadState(benchmark::State& state) {
  Dir();
  std::string text(600, '7');
  Game().SaveState(String(text.c_str()));
  for (auto _ : state) benchmark::DoNotOptimize(Game().LoadState());
}
BENCHMARK(BM_LoadState);

void BM_LoadData(benchmark::State& state) {
  Dir();
  FILE* f = fopen("data/blob.bin", "wb");
  std::string bytes(static_cast<size_t>(state.range(0)), 'x');
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  String path("quoll://data/blob.bin");
  for (auto _ : state) {
    int length = 0;
    unsigned char* p = Game().LoadData(path, &length);
    benchmark::DoNotOptimize(p);
    free(p);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadData)->Arg(4096)->Arg(1 << 20);

void BM_TransKey(benchmark::State& state) {
  int k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(HxGlfwGame::TransKey(k));
    k = (k + 1) & 511;
  }
}
BENCHMARK(BM_TransKey);

}  // namespace

int main(int argc, char** argv) {
  gc_init1();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  const char* files[] = {".quollstate", ".quollstate.tmp", "data/blob.bin"};
  for (const char* f : files) unlink(f);
  rmdir("data");
  if (chdir("/") == 0) rmdir(Dir().dir.c_str());
  return 0;
}
