// The platform layer in the browser (Emscripten). Files live in the page's
// virtual file system: the packed data under /zelk, the player's folder
// (the working folder, kept in IndexedDB) set up by hx_platform_web_pre.js.
// The browser drives the main loop by animation frames, and exit() stops
// it (hx_platform_web.js).
#include "host/hx_platform.h"

#include <emscripten.h>

#include <csignal>

extern "C" {
// hx_platform_web.js
double hx_web_frame_time();
void hx_web_start(void (*pass)(void*, double), void* arg);
void hx_web_first_frame();
void hx_web_first_frame_drawn();
void hx_web_persist();
}

namespace hx_platform {

namespace {

void (*g_pass)(void*, double) = nullptr;
void* g_arg = nullptr;
bool g_firstFrame = true;

void Frame(void*) {
  bool first = g_firstFrame;
  if (first) {
    g_firstFrame = false;
    hx_web_first_frame();
  }
  g_pass(g_arg, hx_web_frame_time());
  if (first) hx_web_first_frame_drawn();
}

}  // namespace

void InitProcess() {}

FILE* OpenFile(const String& path, const String& mode) {
  return fopen(PathToBytes(path).c_str(), mode.ToUtf8().c_str());
}

// The page's storage (the working folder) is the player's own already.
String UserDataFolder() { return String(); }

void OpenUrl(const String& url) {
  // A new tab; the page itself stays.
  std::string text = url.ToUtf8();
  EM_ASM({ window.open(UTF8ToString($0), '_blank', 'noopener'); }, text.c_str());
}

bool LocalTime(time_t t, struct tm* out) { return localtime_r(&t, out) != nullptr; }

void InitConsole() {}

String DisplayPath(const String& path) { return path; }

bool ShowUnseenError(const String&, FILE*) { return false; }

// A page has no console to type into (reading standard input would ask the
// player through a dialog box): there is never a line.
bool ReadConsoleLine(char*, int) { return false; }

void InstallFatalSignals(void (*handler)(int)) {
  // WebAssembly traps instead of raising signals; the handlers are kept for
  // raise() and for symmetry with the other systems.
  signal(SIGSEGV, handler);
  signal(SIGILL, handler);
  signal(SIGFPE, handler);
}

String ExecutablePath() { return String("/zelk/zelk.wasm"); }

void StateSaved() { hx_web_persist(); }

bool RunFrames(void (*pass)(void* arg, double time), void* arg) {
  g_pass = pass;
  g_arg = arg;
  hx_web_start(pass, arg);
  // Frame rate 0: the browser's animation frames. Does not return.
  emscripten_set_main_loop_arg(Frame, nullptr, 0, 1);
  return true;
}

}  // namespace hx_platform
