// What game-pad mappings add to start-up: GLFW reading a mapping file of the
// community database's size (about 0.6 MB), against one of the 1 MiB limit
// and none at all. Needs an X display (GLFW starts for real).
//
// There is no network here, so the database is made up: lines in the SDL
// game-controller format with the real one's shape (about 2,200 pads, a
// little over half for Windows, the rest for Mac OS X, Linux, Android and
// iOS, each with its platform field and 15-21 bindings, section comments,
// a few pads listed twice), from a fixed seed. GLFW keeps only the lines for
// the platform it runs on and looks each one up among those kept so far.
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "host/hx_desktop.h"

namespace {

std::string Hex(unsigned v, int digits) {
  static const char* kDigits = "0123456789abcdef";
  std::string s;
  for (int i = digits - 1; i >= 0; --i) s += kDigits[(v >> (4 * i)) & 15];
  return s;
}

// A database of about `bytes` bytes; with ownPlatformOnly every line is
// for the system the benchmark runs on (the worst case: GLFW keeps them all).
std::string MakeDatabase(size_t bytes, bool ownPlatformOnly = false) {
  static const char* kPlatforms[] = {"Windows", "Mac OS X", "Linux", "Android", "iOS"};
  static const int kShare[] = {55, 18, 20, 6, 1};  // per cent of the lines
  static const char* kMakers[] = {"Logitech", "Sony", "Microsoft", "8BitDo", "PowerA", "Nintendo", "Hori",
                                  "Mad Catz", "Thrustmaster", "Nacon", "Razer", "Saitek", "Generic"};
  static const char* kKinds[] = {"Gamepad", "Controller", "Wireless Controller", "Joystick", "Arcade Stick",
                                 "Pro Controller", "Dual Action", "USB Gamepad"};
  unsigned seed = 20240611;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  std::string db = "# Game Controller DB for SDL in 2.0.16 format\n# Source: generated\n";
  for (int p = 0; p < 5; ++p) {
    if (ownPlatformOnly && p != 2) continue;
    db += std::string("\n# ") + kPlatforms[p] + "\n";
    size_t section = bytes * static_cast<size_t>(kShare[p]) / 100;
    if (ownPlatformOnly) section = p == 2 ? bytes : 0;
    const size_t start = db.size();
    while (db.size() - start < section) {
      unsigned vendor = next() & 0xffff, product = next() & 0xffff, version = next() & 0xffff;
      std::string guid = p == 3 ? Hex(next(), 8) + Hex(next(), 8) + Hex(next(), 8) + Hex(next(), 8)
                                : "03000000" + Hex(vendor, 4) + "0000" + Hex(product, 4) + "0000" +
                                      (p == 1 ? std::string("00000000") : Hex(version, 4) + "0000");
      std::string line = guid + "," + kMakers[next() % 13] + " " + kKinds[next() % 8] + " " +
                         std::to_string(next() % 1000) + ",";
      const char* face[] = {"a", "b", "x", "y", "back", "guide", "start", "leftshoulder", "rightshoulder",
                            "leftstick", "rightstick"};
      for (int i = 0; i < 11; ++i) line += std::string(face[i]) + ":b" + std::to_string((i + next() % 3) % 16) + ",";
      if (next() % 4 == 0) {
        line += "dpdown:b12,dpleft:b13,dpright:b14,dpup:b11,";
      } else {
        line += "dpdown:h0.4,dpleft:h0.8,dpright:h0.2,dpup:h0.1,";
      }
      line += "leftx:a0,lefty:a1,rightx:a" + std::to_string(2 + next() % 2) + ",righty:a" +
              std::to_string(3 + next() % 2) + ",lefttrigger:a" + std::to_string(4 + next() % 2) +
              ",righttrigger:a5,";
      if (next() % 8 == 0) line += "misc1:b15,";
      line += std::string("platform:") + kPlatforms[p] + ",\n";
      db += line;
      if (!ownPlatformOnly && next() % 40 == 0) db += line;  // listed twice, as some pads are
    }
  }
  return db;
}

double ThreadSeconds() {
  struct timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// GLFW started afresh for every run (as at start-up); only the mappings are
// timed, as the main thread's CPU time (the machine this runs on is shared,
// and the work is all on that thread).
void Run(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    if (!glfwInit()) {
      state.SkipWithError("glfwInit failed (no display?)");
      return;
    }
    double t0 = ThreadSeconds();
    if (!text.empty()) hx_add_pad_mappings(text);
    double t1 = ThreadSeconds();
    glfwTerminate();
    state.SetIterationTime(t1 - t0);
  }
  state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_PadMappingsNone(benchmark::State& state) { Run(state, ""); }
BENCHMARK(BM_PadMappingsNone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PadMappingsCommunitySize(benchmark::State& state) { Run(state, MakeDatabase(620 * 1000)); }
BENCHMARK(BM_PadMappingsCommunitySize)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PadMappingsAtTheLimit(benchmark::State& state) { Run(state, MakeDatabase((1u << 20) - 4096)); }
BENCHMARK(BM_PadMappingsAtTheLimit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// 1 MiB of lines all for this system, each pad once: the most a file within
// the limit can cost.
void BM_PadMappingsAtTheLimitAllForThisSystem(benchmark::State& state) {
  Run(state, MakeDatabase((1u << 20) - 4096, true));
}
BENCHMARK(BM_PadMappingsAtTheLimitAllForThisSystem)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// ZELK_WRITE_PAD_DB=path writes the made-up database there and exits (for
// timing the whole game's start-up with it).
int main(int argc, char** argv) {
  if (const char* out = getenv("ZELK_WRITE_PAD_DB")) {
    std::string db = MakeDatabase(620 * 1000);
    FILE* f = fopen(out, "wb");
    if (!f) return 1;
    fwrite(db.data(), 1, db.size(), f);
    fclose(f);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
