// Opens the audio device, plays the sound file named on the command line
// and ends the program the normal way, as the game's quit key does.
#include "audio/hx_audio_device.h"
#include "host/hx_glfw_game.h"

void hxInit() {}
int hxMain() { return 0; }

int main(int argc, char** argv) {
  gc_init1();
  new HxGlfwGame();
  gxtkAudio* device = new gxtkAudio();
  if (argc > 1) {
    gxtkSample* sample = device->LoadSample(String(argv[1]));
    if (sample) device->PlaySample(sample, 0, 1);
  }
  hxError(String());
}
