// Frame benchmark of the real game: starts the zelk executable on the
// current X display (Xvfb + llvmpipe) with the frame probe preloaded, drives
// it with real X key events (xdotool) through the title menu, a game start,
// play, pause and the game-over panel, and prints for each state per frame:
// GL draw calls, texture binds and vertices; main-thread CPU for the whole
// loop pass and for the render pass up to the swap; whole-process CPU; and
// the swap-to-swap interval (mean, 99th percentile, worst). It also prints
// the intervals around the game start and the time from process start to
// the first swapped frame.
//
// A virtual machine's cores can be taken away for a while by its host
// ("steal" time, which a program sees as a pass that takes far longer than
// its work). Each state therefore also shows the machine's steal time, and
// the run starts with a control: a loop doing 0.3 ms of work and a 16 ms
// sleep per pass, whose long intervals are the machine's alone.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ./zelk_frame_bench [--seconds S] [--runs N]
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/frame/frame_record.h"
#include "tests/common/game_process.h"

namespace {

using zelk_bench::FrameRecord;

int64_t NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void SleepMs(int ms) { game_process::Sleep(ms); }

// One run of the game in a scratch folder of its own (the data folder linked
// in, no saved state) with the frame probe preloaded, removed at the end.
class GameRun : public game_process::Process {
 public:
  std::string log;
  int64_t startNs = 0;

  explicit GameRun(const std::string& data) : Process(data, "/tmp/zelk-frame-XXXXXX"), log(dir + "/frames.bin") {}

  // Starts the game and waits up to ms for its window.
  bool Start(const std::string& exe, const std::string& probe, int ms) {
    if (dir.empty()) return false;
    startNs = NowNs();
    return Launch(
        [&] {
          setenv("LD_PRELOAD", probe.c_str(), 1);
          setenv("ZELK_FRAME_LOG", log.c_str(), 1);
          setenv("ALSOFT_DRIVERS", "null", 1);
          execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        },
        ms);
  }
  void Tap(const char* key, int holdMs = 120) {
    Down(key);
    SleepMs(holdMs);
    Up(key);
  }
  std::vector<FrameRecord> Frames() const {
    std::string bytes = game_process::ReadFile(log);
    std::vector<FrameRecord> out(bytes.size() / sizeof(FrameRecord));
    if (!out.empty()) memcpy(out.data(), bytes.data(), out.size() * sizeof(FrameRecord));
    return out;
  }
};

double Ms(int64_t ns) { return static_cast<double>(ns) / 1e6; }

// Where the interval that ends at frame i (i > 0) went, in ms: waiting
// inside the swap (the X server and the rasteriser), main-thread CPU, and
// the rest (the loop's sleep, or the thread waiting for a core).
struct Split {
  double inSwap, cpu, rest;
};
Split SplitOf(const std::vector<FrameRecord>& f, size_t i) {
  double interval = Ms(f[i].swapEndNs - f[i - 1].swapEndNs);
  double inSwap = Ms(f[i].swapEndNs - f[i].swapStartNs);
  double cpu = Ms(f[i].swapEndThreadNs - f[i - 1].swapEndThreadNs);
  return {inSwap, cpu, interval - inSwap - cpu};
}

struct Phase {
  const char* name;
  int64_t begin, end;
  double stealMs;  // both cores' steal time over the state
};

// The machine's steal time so far (all cores), from /proc/stat.
double StealMs() {
  std::ifstream in("/proc/stat");
  std::string cpu;
  long long v[8] = {};
  in >> cpu;
  for (long long& x : v) in >> x;
  return static_cast<double>(v[7]) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The control loop: how often a plain program on this machine misses a
// frame, with the same work and sleep every pass.
void PrintControl(int seconds) {
  double steal0 = StealMs();
  int64_t prev = NowNs();
  int passes = seconds * 60, over = 0;
  double worst = 0;
  volatile double sink = 0;
  for (int i = 0; i < passes; ++i) {
    int64_t until = NowNs() + 300000;
    while (NowNs() < until) sink = sink + 1;
    SleepMs(16);
    int64_t now = NowNs();
    double iv = Ms(now - prev);
    over += iv > 25;
    worst = std::max(worst, iv);
    prev = now;
  }
  printf("control (0.3 ms work + 16 ms sleep, %d passes): %d intervals over 25 ms, worst %.1f ms, steal %.0f ms\n",
         passes, over, worst, StealMs() - steal0);
}

double Mean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += x;
  return v.empty() ? 0 : s / static_cast<double>(v.size());
}
double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}
double Max(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Frames i whose swap returned inside [begin, end) and that follow another.
std::vector<size_t> FramesIn(const std::vector<FrameRecord>& f, int64_t begin, int64_t end) {
  std::vector<size_t> out;
  for (size_t i = 1; i < f.size(); ++i)
    if (f[i].swapEndNs >= begin && f[i].swapEndNs < end) out.push_back(i);
  return out;
}

void PrintPhase(const std::vector<FrameRecord>& f, const Phase& p) {
  std::vector<size_t> idx = FramesIn(f, p.begin, p.end);
  std::vector<double> calls, binds, verts, mainCpu, renderCpu, procCpu, interval;
  for (size_t i : idx) {
    calls.push_back(f[i].drawCalls);
    binds.push_back(f[i].textureBinds);
    verts.push_back(f[i].vertices);
    mainCpu.push_back(Ms(f[i].swapEndThreadNs - f[i - 1].swapEndThreadNs));
    renderCpu.push_back(Ms(f[i].swapStartThreadNs - f[i].renderStartThreadNs));
    procCpu.push_back(Ms(f[i].swapEndProcessNs - f[i - 1].swapEndProcessNs));
    interval.push_back(Ms(f[i].swapEndNs - f[i - 1].swapEndNs));
  }
  int over25 = 0;
  for (double iv : interval) over25 += iv > 25;
  printf("%-10s %6zu %6.1f %4.0f %6.1f %4.0f %7.0f %7.2f %6.2f %7.2f %7.2f %7.2f %6.2f %6.2f %4d %6.0f\n", p.name,
         idx.size(), Mean(calls), Max(calls), Mean(binds), Max(binds), Mean(verts), Mean(mainCpu),
         Percentile(mainCpu, 0.99), Mean(renderCpu), Mean(procCpu), Mean(interval), Percentile(interval, 0.99),
         Max(interval), over25, p.stealMs);
}

int RunOnce(const std::string& exe, const std::string& probe, const std::string& data, int seconds) {
  GameRun game(data);
  if (!game.Start(exe, probe, 20000) || !game.WaitLoaded(60000)) {
    fprintf(stderr, "no game window or the loading screen never ended; %s\n", game.Diagnosis().c_str());
    return 1;
  }
  const int64_t S = static_cast<int64_t>(seconds) * 1000000000;
  std::vector<Phase> phases;
  SleepMs(2000);  // the menu slides in
  game.Focus();

  int64_t t = NowNs();
  double steal = StealMs();
  SleepMs(seconds * 1000);
  phases.push_back({"title", t, t + S, StealMs() - steal});

  // Game start: the window around the key that starts play.
  game.Down("Return");
  int64_t startKey = NowNs();
  double startSteal = StealMs();
  SleepMs(100);
  game.Up("Return");
  SleepMs(2000);
  int64_t startEnd = NowNs();
  startSteal = StealMs() - startSteal;

  // Play: steer both ways and flap, continuously.
  t = NowNs();
  steal = StealMs();
  while (NowNs() - t < S) {
    const char* dir = ((NowNs() - t) / 1000000000) % 2 ? "Left" : "Right";
    game.Down(dir);
    game.Tap("space", 120);
    SleepMs(250);
    game.Tap("space", 120);
    SleepMs(250);
    game.Up(dir);
  }
  phases.push_back({"play", t, NowNs(), StealMs() - steal});

  game.Tap("Escape", 150);  // pause
  SleepMs(1000);
  t = NowNs();
  steal = StealMs();
  SleepMs(seconds * 1000);
  phases.push_back({"pause", t, t + S, StealMs() - steal});

  game.Tap("Left", 150);  // highlight quit
  SleepMs(300);
  game.Tap("Return", 150);  // the game ends through the game-over panel
  SleepMs(1500);
  t = NowNs();
  steal = StealMs();
  SleepMs(seconds * 1000);
  phases.push_back({"game over", t, t + S, StealMs() - steal});

  bool alive = game.Running();
  game.Tap("F4", 150);
  int status = game.Wait(10000);
  std::vector<FrameRecord> f = game.Frames();
  if (f.empty()) {
    fprintf(stderr, "the probe recorded no frame (is %s loadable?)\n", probe.c_str());
    return 1;
  }

  printf("%-10s %6s %6s %4s %6s %4s %7s %7s %6s %7s %7s %7s %6s %6s %4s %6s\n", "state", "frames", "calls", "max",
         "binds", "max", "verts", "main_ms", "p99", "rend_ms", "proc_ms", "int_ms", "p99", "worst", ">25", "steal");
  for (const Phase& p : phases) PrintPhase(f, p);

  // Around the game start: every interval from the key to two seconds later.
  std::vector<size_t> around = FramesIn(f, startKey, startEnd);
  double worst = 0;
  size_t worstAt = 0;
  int over25 = 0, over17 = 0;
  for (size_t k = 0; k < around.size(); ++k) {
    size_t i = around[k];
    double iv = Ms(f[i].swapEndNs - f[i - 1].swapEndNs);
    if (iv > 25) ++over25;
    if (iv > 17.5) ++over17;
    if (iv > worst) worst = iv, worstAt = k;
  }
  printf("game start: worst interval %.2f ms (frame %zu after the key), %d intervals over 25 ms, %d over 17.5 ms, "
         "in %zu frames, steal %.0f ms\n",
         worst, worstAt, over25, over17, around.size(), startSteal);
  printf("game start intervals (ms):");
  for (size_t k = 0; k < around.size() && k < 24; ++k) {
    size_t i = around[k];
    printf(" %.1f", Ms(f[i].swapEndNs - f[i - 1].swapEndNs));
  }
  printf("\n");
  printf("game start intervals over 25 ms (interval ms @ ms after the key = in swap + main CPU + rest):");
  for (size_t i : around) {
    double iv = Ms(f[i].swapEndNs - f[i - 1].swapEndNs);
    if (iv <= 25) continue;
    const Split s = SplitOf(f, i);
    printf(" %.1f @ %.0f = %.1f + %.1f + %.1f (%d uploads %.1f ms, slowest draw %.1f ms);", iv,
           Ms(f[i].swapEndNs - startKey), s.inSwap, s.cpu, s.rest, f[i].textureUploads, Ms(f[i].textureUploadNs),
           Ms(f[i].longestDrawNs));
  }
  printf("\n");
  // Every long interval of the run, split as SplitOf does.
  printf("intervals over 25 ms in the whole run (interval = in swap + main CPU + rest, ms):");
  for (size_t i = 1; i < f.size(); ++i) {
    double iv = Ms(f[i].swapEndNs - f[i - 1].swapEndNs);
    if (iv <= 25) continue;
    const Split s = SplitOf(f, i);
    printf(" %.1f = %.1f + %.1f + %.1f;", iv, s.inSwap, s.cpu, s.rest);
  }
  printf("\n");
  printf("game start frames with texture uploads or a draw call over 2 ms (ms after the key: uploads, ms in them, slowest draw ms):");
  for (size_t i : around)
    if (f[i].textureUploads || f[i].longestDrawNs > 2000000)
      printf(" %.0f: %d, %.1f, %.1f;", Ms(f[i].swapEndNs - startKey), f[i].textureUploads, Ms(f[i].textureUploadNs),
             Ms(f[i].longestDrawNs));
  printf("\n");
  printf("first swapped frame: %.1f ms after process start\n", Ms(f[0].swapEndNs - game.startNs));
  printf("exit: %s, status %d\n", alive ? "running until F4" : "ended early", status);
  return alive && status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string exe = ZELK_EXE, probe = ZELK_FRAME_PROBE, data = ZELK_DATA_DIR;
  int seconds = 5, runs = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--seconds") seconds = std::max(1, atoi(argv[i + 1]));
    else if (a == "--runs") runs = std::max(1, atoi(argv[i + 1]));
    else if (a == "--exe") exe = argv[i + 1];
    else if (a == "--probe") probe = argv[i + 1];
    else if (a == "--data") data = argv[i + 1];
  }
  if (!game_process::CanRun()) {
    fprintf(stderr, "needs an X display, xdotool and ImageMagick's import\n");
    return 1;
  }
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  printf("zelk frame benchmark: %s, %d s per state, load average %.2f %.2f %.2f\n", exe.c_str(), seconds, load[0],
         load[1], load[2]);
  printf("per frame: GL draw calls, texture binds, vertices; main-thread CPU per loop pass (mean, p99) and for the "
         "render pass up to the swap; whole-process CPU; swap-to-swap interval (mean, p99, worst, count over 25 "
         "ms); the machine's steal time over the state (ms, both cores)\n");
  int rc = 0;
  for (int r = 0; r < runs; ++r) {
    printf("-- run %d\n", r + 1);
    PrintControl(seconds);
    rc |= RunOnce(exe, probe, data, seconds);
  }
  return rc;
}
