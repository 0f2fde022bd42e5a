// The real game, cycled 50 times from the title menu into a game and back
// on the X display and OpenAL Soft's null backend: nothing it holds may grow
// with the number of games played.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "soak_driver.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZELK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELK_ASAN 1
#endif
#endif

TEST(Soak, FiftyGamesLeaveBuffersTexturesAndCollectedBytesFlat) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
  setenv("ALSOFT_DRIVERS", "null", 0);
  soak::Driver game;
  ASSERT_TRUE(game.Open(ZELK_SOURCE_DIR "/data")) << game.error;
  std::vector<soak::Figures> after;
  for (int c = 1; c <= 50; ++c) {
    ASSERT_TRUE(game.Cycle(nullptr)) << "cycle " << c << ": " << game.error;
    after.push_back(game.Measure(c));
    const soak::Figures& f = after.back();
    printf("cycle %2d: rss %ld kB, %d OpenAL buffers, %d textures, %d + %d collected bytes\n", c, f.rssKb,
           f.alBuffers, f.glTextures, f.gcAlloced, f.gcFree);
  }
  fflush(stdout);
  // The game's own set: its sounds and the music, its images.
  const soak::Figures& early = after[1];
  EXPECT_GT(early.alBuffers, 0);
  EXPECT_GT(early.glTextures, 0);
  auto held = [](const soak::Figures& f) { return static_cast<long long>(f.gcAlloced) + f.gcFree; };
  long long earlyHeld = 0;
  for (int i = 0; i < 10; ++i) earlyHeld = std::max(earlyHeld, held(after[i]));
  for (size_t i = 2; i < after.size(); ++i) {
    const soak::Figures& f = after[i];
    SCOPED_TRACE(testing::Message() << "after cycle " << f.cycle);
    EXPECT_LE(f.alBuffers, early.alBuffers);
    EXPECT_LE(f.glTextures, early.glTextures);
    // Collected bytes move with the collector's cycles, within what the
    // first ten games showed.
    EXPECT_LE(held(f), earlyHeld + GC_STEP_FREE);
  }
#ifndef ZELK_ASAN
  // (AddressSanitizer keeps freed memory in quarantine, so resident memory
  // says nothing there.) One decoded track is about 10 MB.
  EXPECT_LT(after.back().rssKb - early.rssKb, 5 * 1024) << "resident memory grew";
#endif
  game.Close();
}
