// Soak benchmark: the real game cycled from the title menu into a game and
// back, many times, on the X display (Xvfb) and OpenAL Soft's null backend.
// After every cycle it prints the resident memory, the live OpenAL buffers
// and OpenGL textures, and the collector's bytes; at the end the change of
// resident memory between cycle 2 and the last cycle (goal: within 5 MB
// after 200 cycles) and the slowest update and frame around a game start.
//   soak_bench [CYCLES]      (default 200)
#include <cstdio>
#include <cstdlib>

#include "tests/soak/soak_driver.h"

int main(int argc, char** argv) {
  int cycles = argc > 1 ? atoi(argv[1]) : 200;
  if (cycles < 2) cycles = 2;
  setenv("ALSOFT_DRIVERS", "null", 0);
  soak::Driver game;
  if (!game.Open(ZELK_SOURCE_DIR "/data")) {
    fprintf(stderr, "soak_bench: %s\n", game.error.c_str());
    return 1;
  }
  soak::Figures first = game.Measure(0);
  printf("cycle  rss_kb  heap_kb  al_buffers  gl_textures  gc_alloced  gc_free  start_update_ms  (cpu)  start_frame_ms\n");
  printf("%5d %7ld %8ld %11d %12d %11d %8d %16s %6s %15s\n", 0, first.rssKb, first.heapKb, first.alBuffers, first.glTextures,
         first.gcAlloced, first.gcFree, "-", "-", "-");
  soak::Figures at2, last;
  double worstUpdate = 0, worstCpu = 0, worstFrame = 0, sumUpdate = 0;
  for (int c = 1; c <= cycles; ++c) {
    soak::Figures timing;
    if (!game.Cycle(&timing)) {
      fprintf(stderr, "soak_bench: cycle %d: %s\n", c, game.error.c_str());
      game.Close();
      return 1;
    }
    soak::Figures f = game.Measure(c);
    printf("%5d %7ld %8ld %11d %12d %11d %8d %16.2f %6.2f %15.2f\n", c, f.rssKb, f.heapKb, f.alBuffers, f.glTextures,
           f.gcAlloced, f.gcFree, timing.startUpdateMs, timing.startUpdateCpuMs, timing.startFrameMs);
    fflush(stdout);
    if (c == 2) at2 = f;
    last = f;
    if (timing.startUpdateMs > worstUpdate) worstUpdate = timing.startUpdateMs;
    if (timing.startFrameMs > worstFrame) worstFrame = timing.startFrameMs;
    if (timing.startUpdateCpuMs > worstCpu) worstCpu = timing.startUpdateCpuMs;
    sumUpdate += timing.startUpdateMs;
  }
  printf("resident memory: cycle 2 %ld kB, cycle %d %ld kB, change %+ld kB\n", at2.rssKb, cycles, last.rssKb,
         last.rssKb - at2.rssKb);
  printf("heap in use: cycle 2 %ld kB, cycle %d %ld kB, change %+ld kB\n", at2.heapKb, cycles, last.heapKb,
         last.heapKb - at2.heapKb);
  printf("OpenAL buffers: cycle 2 %d, cycle %d %d\n", at2.alBuffers, cycles, last.alBuffers);
  printf("slowest update around a game start: %.2f ms wall, %.2f ms CPU (mean of the per-cycle worst %.2f ms wall);"
         " slowest frame %.2f ms\n",
         worstUpdate, worstCpu, sumUpdate / cycles, worstFrame);
  printf("slowest update of the loading screen: %.2f ms wall, %.2f ms CPU\n", game.loadWorstMs, game.loadWorstCpuMs);
  printf("frames: %d\n", game.frames);
  game.Close();
  return 0;
}
