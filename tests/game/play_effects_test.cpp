// Stars and particles.
#include <cmath>

#include "game_harness.h"

namespace {

class PlayEffects : public GameHarness {
 protected:
  int LiveParticles() {
    int n = 0;
    for (int k = 0; k < 510; ++k)
      if (Part(k, 0) > 0) ++n;
    return n;
  }
};

TEST_F(PlayEffects, ResetStarsOutsideOneTo499KeepsTheCountAndReseeds) {
  app->p_ResetStars(50);
  ASSERT_EQ(app->m_starCount, 50);
  for (int n : {0, 500, -1, 10000}) {
    Star(50, 1) = 12345;
    Star(51, 1) = 12345;
    app->p_ResetStars(n);
    EXPECT_EQ(app->m_starCount, 50) << n;
    EXPECT_NE(Star(50, 1), 12345) << "star 50 is live and re-seeded";
    EXPECT_EQ(Star(51, 1), 12345) << "star 51 is not in use";
  }
  app->p_ResetStars(499);
  EXPECT_EQ(app->m_starCount, 499);
}

TEST_F(PlayEffects, ResetStarsDrawsWithinTheirRanges) {
  app->p_ResetStars(100);
  for (int k = 0; k <= 100; ++k) {
    EXPECT_EQ(Star(k, 0), std::floor(Star(k, 0)));
    EXPECT_GE(Star(k, 0), 0);
    EXPECT_LE(Star(k, 0), 255);
    EXPECT_GE(Star(k, 1), -8);
    EXPECT_LT(Star(k, 1), 640 + 8);
    EXPECT_GE(Star(k, 2), -8);
    EXPECT_LT(Star(k, 2), 480 + 8);
    EXPECT_GE(Star(k, 3), 0.2f);
    EXPECT_LT(Star(k, 3), 0.8f);
    EXPECT_GE(Star(k, 6), -0.5f);
    EXPECT_LT(Star(k, 6), 0.5f);
  }
}

TEST_F(PlayEffects, StarsWrapAtSixteenBeyondEachEdge) {
  const struct {
    float x, y, dx, dy;
    float expectX, expectY;  // NAN: re-drawn at random
  } cases[] = {
      {-15.9f, 100, -1, 0, -15.9f - 0.5f + 672, NAN},  // left: W + 32 further right
      {-15.8f, 100, -0.2f, 0, -15.9f, 100},            // not yet past -16
      {655.9f, 100, 1, 0, 655.9f + 0.5f - 672, NAN},   // right
      {300, -15.9f, 0, -1, NAN, -15.9f - 0.5f + 512},  // top: H + 32 further down
      {300, 495.9f, 0, 1, NAN, 495.9f + 0.5f - 512},   // bottom
  };
  for (const auto& c : cases) {
    app->p_ResetStars(0);
    app->m_starCount = 0;
    Star(0, 0) = 7;
    Star(0, 1) = c.x;
    Star(0, 2) = c.y;
    Star(0, 3) = 0.5f;
    int seed = hx_random_Seed;
    app->p_DoStars(c.dx, c.dy);
    bool wrapped = std::isnan(c.expectX) || std::isnan(c.expectY);
    if (!std::isnan(c.expectX)) {
      EXPECT_NEAR(Star(0, 1), c.expectX, 1e-3) << c.x;
    }
    if (!std::isnan(c.expectY)) {
      EXPECT_NEAR(Star(0, 2), c.expectY, 1e-3) << c.y;
    }
    if (wrapped) {
      EXPECT_NE(hx_random_Seed, seed) << "new place, depth and frame are drawn";
      EXPECT_GE(Star(0, 3), 0.2f);
      EXPECT_LT(Star(0, 3), 0.8f);
      if (std::isnan(c.expectY)) {
        EXPECT_GE(Star(0, 2), -8);
        EXPECT_LT(Star(0, 2), 488);
      } else {
        EXPECT_GE(Star(0, 1), -8);
        EXPECT_LT(Star(0, 1), 648);
      }
    } else {
      EXPECT_EQ(hx_random_Seed, seed);
      EXPECT_EQ(Star(0, 3), 0.5f);
    }
  }
  app->m_starCount = 100;
}

TEST_F(PlayEffects, OverscanWidensTheWrapMargin) {
  hx_Zelk_overscan = 10;
  app->m_starCount = 0;
  Star(0, 1) = -16.5f;
  Star(0, 3) = 0.5f;
  app->p_DoStars(-0.2f, 0);
  EXPECT_NEAR(Star(0, 1), -16.6f, 1e-4);
  Star(0, 1) = -25.95f;
  app->p_DoStars(-0.2f, 0);
  EXPECT_NEAR(Star(0, 1), -26.05f + 640 + 20 + 32, 1e-3);
  hx_Zelk_overscan = 0;
  app->m_starCount = 100;
}

TEST_F(PlayEffects, StarsAreDrawnUnscaledWhiteWithTheirDepthAsAlpha) {
  app->p_CLS2D(ZELK_NONEF, 0, 0, 0);
  app->p_SetSize(3, 3);
  app->p_SetCol(1, 2, 3, 0.1f);
  app->p_DoStars(-0.25f, 0);
  ASSERT_EQ(DrawCount(), 101);
  for (int k = 0; k <= 100; ++k) {
    EXPECT_EQ(Cmd(k, 0), 96.0f);
    EXPECT_EQ(Cmd(k, 1), Star(k, 1));
    EXPECT_EQ(Cmd(k, 4), 1.0f);
    EXPECT_EQ(Cmd(k, 6), Star(k, 0));
    EXPECT_EQ(Cmd(k, 7), Star(k, 3));
    EXPECT_EQ(Cmd(k, 10), 255.0f);
  }
  EXPECT_EQ(app->m_drawAlpha, 1.0f) << "state back to defaults";
}

TEST_F(PlayEffects, ThrowAtNinetyDegreesGoesRight) {
  const struct {
    float angle, speed, vx, vy;
  } cases[] = {
      {90, 4, 4, 0}, {0, 3, 0, -3}, {180, 2, 0, 2}, {-90, 5, -5, 0},
  };
  for (const auto& c : cases) {
    NewApp();
    app->p_ThrowParticle(10, 20, 1, 3, c.angle, c.speed);
    EXPECT_EQ(Part(250, 0), 1) << "highest free slot first";
    EXPECT_EQ(Part(250, 1), 10);
    EXPECT_EQ(Part(250, 2), 20);
    EXPECT_NEAR(Part(250, 3), c.vx, 1e-5) << c.angle;
    EXPECT_NEAR(Part(250, 4), c.vy, 1e-5) << c.angle;
    EXPECT_GE(Part(250, 7), 0.7f);
    EXPECT_LT(Part(250, 7), 1.3f);
    EXPECT_EQ(Part(250, 8), 3);
    EXPECT_GE(Part(250, 6), -8);
    EXPECT_LT(Part(250, 6), 8);
  }
}

TEST_F(PlayEffects, MissingAngleAndSpeedAreDrawn) {
  app->p_ThrowParticle(0, 0, 1, 1, ZELK_NONEF, ZELK_NONEF);
  float speed = std::hypot(Part(250, 3), Part(250, 4));
  EXPECT_GE(speed, 3 - 1e-4);
  EXPECT_LT(speed, 8 + 1e-4);
}

TEST_F(PlayEffects, KindTwoSlowsAndFalls) {
  app->p_ThrowParticle(100, 100, 2, 1, 90, 4);
  float life = Part(250, 7);
  app->p_DoParticles();
  EXPECT_FLOAT_EQ(Part(250, 1), 104) << "moved before slowing";
  EXPECT_NEAR(Part(250, 2), 100, 1e-5);
  EXPECT_FLOAT_EQ(Part(250, 3), 4 * 0.95f);
  EXPECT_NEAR(Part(250, 4), 0.2f, 1e-5);
  EXPECT_FLOAT_EQ(Part(250, 7), life - 0.01f);
  app->p_DoParticles();
  EXPECT_NEAR(Part(250, 4), 0.4f, 1e-5);

  NewApp();
  app->p_ThrowParticle(100, 100, 1, 1, 90, 4);
  app->p_DoParticles();
  app->p_DoParticles();
  EXPECT_FLOAT_EQ(Part(250, 3), 4) << "kind 1 keeps its speed";
  EXPECT_NEAR(Part(250, 4), 0, 1e-5);
}

TEST_F(PlayEffects, The252ndParticleIsDropped) {
  for (int i = 0; i < 251; ++i) app->p_ThrowParticle(0, 0, 1, 1, 45, 1);
  EXPECT_EQ(LiveParticles(), 251);
  int seed = hx_random_Seed;
  app->p_ThrowParticle(0, 0, 1, 1, 45, 1);
  EXPECT_EQ(LiveParticles(), 251);
  EXPECT_EQ(Part(251, 0), 0);
  EXPECT_EQ(hx_random_Seed, seed) << "nothing drawn for a dropped particle";

  app->m_particleLimit = -1;
  app->p_ThrowParticle(0, 0, 1, 1, 45, 1);
  EXPECT_EQ(LiveParticles(), 251);
}

TEST_F(PlayEffects, ParticlesFadeAndFreeTheirSlot) {
  app->p_ThrowParticle(0, 0, 1, 1, 45, 1);
  Part(250, 7) = 0.015f;
  app->p_DoParticles();
  EXPECT_EQ(Part(250, 0), 1);
  app->p_DoParticles();
  EXPECT_EQ(Part(250, 0), 0) << "life below 0 frees it";
}

TEST_F(PlayEffects, ParticlesUseThePaletteAndTheirLifeAsAlpha) {
  const struct {
    int colour;
    float r, g, b;
  } cases[] = {
      {1, 255, 25.5f, 25.5f},   {2, 255, 127.5f, 25.5f}, {3, 255, 255, 25.5f},   {4, 25.5f, 255, 25.5f},
      {5, 25.5f, 255, 255},     {6, 25.5f, 25.5f, 255},  {7, 127.5f, 25.5f, 255}, {8, 255, 25.5f, 127.5f},
      {9, 255, 255, 255},       {0, 76.5f, 76.5f, 76.5f}, {12, 76.5f, 76.5f, 76.5f},
  };
  for (const auto& c : cases) {
    NewApp();
    app->p_ThrowParticle(50, 60, 1, c.colour, 90, 1);
    Part(250, 7) = 1.2f;
    app->m_shakeX = 3;
    app->p_CLS2D(ZELK_NONEF, 0, 0, 0);
    app->p_DoParticles();
    ASSERT_EQ(DrawCount(), 1);
    EXPECT_EQ(Cmd(0, 10), c.r) << c.colour;
    EXPECT_EQ(Cmd(0, 11), c.g) << c.colour;
    EXPECT_EQ(Cmd(0, 12), c.b) << c.colour;
    EXPECT_EQ(Cmd(0, 7), 1.0f) << "alpha capped at 1";
    EXPECT_FLOAT_EQ(Cmd(0, 1), 51 - 3) << "shake offset subtracted";
    EXPECT_FLOAT_EQ(Cmd(0, 3), -Part(250, 5)) << "rotated by its angle";
  }
  NewApp();
  app->p_ThrowParticle(50, 60, 10, 1, 90, 1);
  app->p_CLS2D(ZELK_NONEF, 0, 0, 0);
  app->p_DoParticles();
  EXPECT_EQ(DrawCount(), 0) << "kind 10 moves but is not drawn";
  EXPECT_FLOAT_EQ(Part(250, 1), 51);
}

}  // namespace
