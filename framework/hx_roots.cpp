// Start values of the framework's globals and the collector's roots.
#include "framework/hx_app.h"
#include "framework/hx_asyncevent.h"
#include "framework/hx_audio.h"
#include "framework/hx_graphics.h"
#include "framework/hx_input.h"
#include "framework/hx_random.h"

void (*hx_framework_GameRoots)() = nullptr;

void hx_framework_MarkRoots() {
  // The order is the collector's documented root order; the application's
  // own roots follow.
  gc_mark_q(hx_app__app);
  gc_mark_q(hx_app__delegate);
  gc_mark_q(hx_graphics_device);
  gc_mark_q(hx_graphics_context);
  gc_mark_q(hx_audio_device);
  gc_mark_q(hx_input_device);
  gc_mark_q(hx_app__displayModes);
  gc_mark_q(hx_app__desktopMode);
  gc_mark_q(hx_graphics_renderDevice);
  gc_mark_q(hx_asyncevent__current);
  gc_mark_q(hx_asyncevent__sources);
  gc_mark_q(c_Stack2::m_NIL);
  if (hx_framework_GameRoots) hx_framework_GameRoots();
}

void hx_framework_Init() {
  gc_mark_roots = hx_framework_MarkRoots;
  hx_app__app = nullptr;
  hx_app__delegate = nullptr;
  hx_app__game = HxGame::_game;
  hx_app__updateRate = 0;
  hx_app__devWidth = 0;
  hx_app__devHeight = 0;
  hx_app__displayModes = Array<c_DisplayMode*>();
  hx_app__desktopMode = nullptr;
  hx_input_device = nullptr;
  hx_random_Seed = 1234;
  gc_assign(hx_asyncevent__sources, (new c_Stack2)->m_new());
  hx_asyncevent__current = nullptr;
  c_Stack2::m_NIL = nullptr;
  hx_graphics_Init();
  c_Image::m_DefaultFlags = 0;
}

namespace {
// The hook is installed as soon as this library is part of the program, so
// the roots are marked even before hx_framework_Init runs.
struct RootsInstaller {
  RootsInstaller() {
    if (!gc_mark_roots) gc_mark_roots = hx_framework_MarkRoots;
  }
} roots_installer;
}  // namespace
