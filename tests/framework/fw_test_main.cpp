// Test entry: the collector's lists are set up before any test allocates.
#include <gtest/gtest.h>
#include "runtime/hx_runtime.h"

int main(int argc, char** argv) {
  gc_init1();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
