// One update of play on a full field: 20 entities, 251 live particles and
// 101 stars. Goal: well under 50 microseconds, and no collected allocation
// besides the HUD's text.
#include <benchmark/benchmark.h>

#include "framework/hx_app.h"
#include "framework/hx_input.h"
#include "framework/hx_random.h"
#include "game/myapp.h"
#include "host/hx_game.h"

namespace {

class BenchHost : public HxGame {
 public:
  int Millisecs() override { return 0; }
  int GetDeviceWidth() override { return 640; }
  int GetDeviceHeight() override { return 480; }
};

c_MyApp* FullField(bool hud) {
  static bool started = [] {
    gc_init1();
    new BenchHost();
    hxInit();
    hx_input_SetInputDevice((new c_InputDevice())->m_new());
    hx_Zelk_HasMusicStream = 0;
    return true;
  }();
  (void)started;
  c_MyApp* app = new c_MyApp();
  for (int i = 0; i < app->m_options.Length(); ++i) app->m_options[i] = 0;  // no sound device
  app->m_players = 1;
  app->m_level = 15;
  app->m_killsToNext = 3;
  app->m_hideHud = hud ? 0 : 1;
  app->m_stickAnchorX = -1;
  hx_random_Seed = 1234;
  app->p_ResetStars(100);
  // Three bricks as a new game lays them out.
  const float bx[3] = {320, 160, 480}, by[3] = {144, 288, 288};
  for (int k = 0; k < 3; ++k) {
    app->m_blocks[10 * k] = 1;
    app->m_blocks[10 * k + 1] = bx[k];
    app->m_blocks[10 * k + 2] = by[k];
  }
  // Player one, the second creature's slot and 18 baddies, all long
  // protected so that the field stays full; contacts are still tested.
  for (int e = 1; e <= 20; ++e) {
    float* f = &app->m_ents[20 * e];
    f[0] = e == 1 ? 1.0f : e == 2 ? 3.0f : static_cast<float>(5 + e % 4);
    f[1] = static_cast<float>(30 * e);
    f[2] = static_cast<float>(100 + 15 * e);
    f[5] = 1;
    f[8] = 3;
    f[11] = e % 2 ? 1.0f : -1.0f;
    f[15] = 1e9f;
    f[19] = 300;
  }
  // 251 particles that live for the whole run.
  for (int k = 0; k <= 250; ++k) app->p_ThrowParticle(320, 240, 1 + k % 2, 1 + k % 9, k * 7.0f, 3);
  for (int k = 0; k <= 250; ++k) app->m_particles[10 * k + 7] = 1e9f;
  return app;
}

void BM_GameUpdate(benchmark::State& state) {
  const bool hud = state.range(0) != 0;
  c_MyApp* app = FullField(hud);
  int bytes0 = gc_new_bytes;
  long n = 0;
  for (auto _ : state) {
    app->p_Game();
    benchmark::DoNotOptimize(app->m_drawCount);
    ++n;
  }
  state.counters["collected_bytes_per_update"] =
      benchmark::Counter(static_cast<double>(gc_new_bytes - bytes0) / static_cast<double>(n));
  state.counters["draw_commands"] = app->m_drawCount / 15;
  state.SetLabel(hud ? "with HUD text" : "HUD hidden");
}
BENCHMARK(BM_GameUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
