// Process start-up and shut-down. Kept apart from the rest of the host so
// that only programs that call Main need hxInit and hxMain.
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "host/hx_desktop.h"
#include "host/hx_glfw_game.h"
#include "host/hx_platform.h"

int HxQuollGame::Main(int argc_, const char** argv_) {
  hx_platform::InitProcess();
  if (!glfw2::Init()) {
    puts("glfwInit failed");
    fflush(stdout);
    hx_show_unseen("glfwInit failed", stdout, glfw2::LastError());
    exit(-1);
  }
  HxQuollGame* game = new HxQuollGame;
  hx_desktop_start(game);
  try {
    argc = argc_;
    argv = argv_;
    hx_install_signal_handlers();
    if (!setlocale(LC_CTYPE, "en_US.UTF-8")) setlocale(LC_CTYPE, "");
    gc_init1();
    hxInit();
    gc_init2();
    hxMain();
  } catch (ThrowableObject* exception) {
    glfw2::Terminate();
    game->Die(exception);
  }
  if (game->Delegate()) game->Run();
  hx_run_exit_steps();
  glfw2::Terminate();
  return 0;
}
