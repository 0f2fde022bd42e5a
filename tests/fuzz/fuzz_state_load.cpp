// libFuzzer target: the game's load of its saved settings, badges and
// scores. The fuzzer's bytes are the state file, read by the host's own
// reader (regular files only, at most 64 KiB) and validated by the game's
// p_Load. Whatever was loaded must then survive a save and a second load
// unchanged: the checksums either accept a section whole or reset it.
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/hx_app.h"
#include "game/myapp.h"
#include "host/hx_game.h"

namespace {

// The real state file reader; saves are kept in memory.
class StateHost : public HxGame {
 public:
  std::string saved;
  int SaveState(String state) override {
    saved = state.ToUtf8();
    return 0;
  }
};

StateHost* g_host = nullptr;
c_MyApp* g_apps[2] = {};
void (*g_frameworkRoots)() = nullptr;

void MarkRoots() {
  if (g_frameworkRoots) g_frameworkRoots();
  for (c_MyApp* app : g_apps) gc_mark_q(app);
}

void WriteState(const uint8_t* data, size_t size) {
  FILE* f = fopen(".quollstate", "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

// The members p_OnCreate sets before it loads.
void Defaults(c_MyApp* app) {
  for (int i = 0; i < app->m_flags.Length(); ++i) app->m_flags[i] = false;
  for (int i = 0; i < app->m_options.Length(); ++i) app->m_options[i] = 0;
  for (int i = 0; i < app->m_scores.Length(); ++i) app->m_scores[i] = 0;
  app->m_options[5] = 1;
}

bool SameSaved(c_MyApp* a, c_MyApp* b) {
  for (int i = 0; i < 25; ++i)
    if (a->m_options[i] != b->m_options[i]) return false;
  for (int i = 0; i < 256; ++i)
    if (a->m_flags[i] != b->m_flags[i]) return false;
  for (int i = 0; i < 20; ++i)
    if (a->m_scores[i] != b->m_scores[i]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A folder in memory where there is one: the state file is rewritten for
  // every input, and a disk file system may flush each rewrite.
  char shm[] = "/dev/shm/zelk-fuzz-state-XXXXXX";
  char tmp[] = "/tmp/zelk-fuzz-state-XXXXXX";
  const char* dir = mkdtemp(shm);
  if (!dir) dir = mkdtemp(tmp);
  if (!dir || chdir(dir) != 0) abort();
  static std::string folder = dir;
  atexit([] {
    unlink(".quollstate");
    rmdir(folder.c_str());
  });
  gc_init1();
  g_host = new StateHost();
  hxInit();
  gc_init2();
  g_frameworkRoots = gc_mark_roots;
  gc_mark_roots = MarkRoots;
  for (c_MyApp*& app : g_apps) gc_assign(app, new c_MyApp());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  c_MyApp* first = g_apps[0];
  c_MyApp* second = g_apps[1];
  WriteState(data, size);
  Defaults(first);
  first->p_Load();
  // The rules the load applies whatever the file held (desktop build).
  if (first->m_options[10] < 64 || first->m_options[11] < 64 || first->m_options[12] < 8 ||
      first->m_options[14] != 1 || hx_Zelk_overscan != 0)
    abort();

  first->p_Save();
  const std::string text = g_host->saved;
  WriteState(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  Defaults(second);
  second->p_Load();
  if (!SameSaved(first, second)) abort();
  second->p_Save();
  if (g_host->saved != text) abort();
  // The load's garbage (the split pieces) is collected and destroyed before
  // the next input, so that each input frees what it allocated and the
  // fuzzer's leak check means something.
  gc_collect_all();
  gc_flush_free(INT_MAX);
  return 0;
}
