// Test entry for the audio device tests: the collector's lists must exist
// before any object is made. The application hooks the host calls at start-up
// are not used here.
#include <gtest/gtest.h>

#include "runtime/hx_runtime.h"

void hxInit() {}
int hxMain() { return 0; }

int main(int argc, char** argv) {
  gc_init1();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
