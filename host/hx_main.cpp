// Process entry of the game.
#include "host/hx_glfw_game.h"

int main(int argc, char** argv) {
  HxQuollGame::Main(argc, const_cast<const char**>(argv));
  return 0;
}
