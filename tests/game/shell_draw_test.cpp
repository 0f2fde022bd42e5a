// Draw list recording, text layout, number padding and the screen fit.
#include "game_harness.h"

class ShellDraw : public GameHarness {
 protected:
  void SetUp() override {
    GameHarness::SetUp();
    app->p_CLS2D(0, 0, 0, 1);
    app->m_fontSlot = 90;
    app->m_imgInfo[270] = 7;  // glyph advance
    app->m_imgInfo[271] = 10;  // line height
    app->m_ctrlStyle = 1;
  }
  struct Glyph {
    int frame;
    float x, y;
  };
  std::vector<Glyph> Glyphs() const {
    std::vector<Glyph> g;
    for (int i = 0; i < DrawCount(); ++i)
      if (Cmd(i, 0) == 90) g.push_back({static_cast<int>(Cmd(i, 6)), Cmd(i, 1), Cmd(i, 2)});
    return g;
  }
};

TEST_F(ShellDraw, StateSettersTreatMinus3717AsNotGiven) {
  app->p_SetSize(2, -3717);
  EXPECT_EQ(app->m_drawScaleX, 2);
  EXPECT_EQ(app->m_drawScaleY, 2);
  app->p_SetSize(2, 3);
  EXPECT_EQ(app->m_drawScaleY, 3);
  app->p_Alpha(0.25f);
  app->p_SetCol(10, 20, 30, -3717);
  EXPECT_EQ(app->m_drawAlpha, 0.25f);
  EXPECT_EQ(app->m_drawB, 30);
  app->p_SetCol(10, 20, 30, 0.5f);
  EXPECT_EQ(app->m_drawAlpha, 0.5f);
  app->p_SetRot(30);
  EXPECT_EQ(app->m_drawRot, -30);
}

TEST_F(ShellDraw, Cls2dEmptiesAndResetsButMayKeepClearColour) {
  app->p_CLS2D(10, 20, 30, 0.5f);
  app->p_SetCol(1, 2, 3, 0.1f);
  app->p_SetSize(4, 4);
  app->p_Rect(1, 2, 3, 4);
  app->p_CLS2D(-3717, 0, 0, 0);
  EXPECT_EQ(app->m_drawCount, 0);
  EXPECT_EQ(app->m_clsR, 10);
  EXPECT_EQ(app->m_clsG, 20);
  EXPECT_EQ(app->m_clsB, 30);
  EXPECT_EQ(app->m_clsA, 0.5f);
  EXPECT_EQ(app->m_drawScaleX, 1);
  EXPECT_EQ(app->m_drawR, 1 * 255);
  EXPECT_EQ(app->m_drawAlpha, 1);
  EXPECT_EQ(app->m_drawBlend, 1);
}

TEST_F(ShellDraw, CommandsCarryTheDrawState) {
  app->p_SetCol(10, 20, 30, 0.5f);
  app->p_SetSize(2, 3);
  app->p_SetRot(45);
  app->p_DrawImg(7, 11, 12, 5);
  app->p_Rect(1, 2, 30, 40);
  app->p_Oval(5, 6, 7, 8);
  ASSERT_EQ(DrawCount(), 3);
  const float img[] = {7, 11, 12, -45, 2, 3, 5, 0.5f};
  const float rect[] = {-3717, 1, 2, -45, 30, 40, 0, 0.5f};
  const float oval[] = {-3716, 5, 6, -45, 7, 8, 0, 0.5f};
  const float* want[] = {img, rect, oval};
  for (int c = 0; c < 3; ++c) {
    for (int f = 0; f < 8; ++f) EXPECT_EQ(Cmd(c, f), want[c][f]) << "command " << c << " field " << f;
    EXPECT_EQ(Cmd(c, 10), 10);
    EXPECT_EQ(Cmd(c, 11), 20);
    EXPECT_EQ(Cmd(c, 12), 30);
    EXPECT_EQ(Cmd(c, 13), 1);
  }
}

TEST_F(ShellDraw, ListHoldsAtMost2500Commands) {
  for (int i = 0; i < 2600; ++i) app->p_Rect(static_cast<float>(i), 0, 1, 1);
  EXPECT_EQ(DrawCount(), 2500);
  EXPECT_EQ(app->m_drawCount, 37500);
  EXPECT_EQ(Cmd(2499, 1), 2499);  // the first 2500 are kept, later ones dropped
  app->p_Text(10, 10, String("ABC"), 0, 0);
  EXPECT_EQ(DrawCount(), 2500);
}

TEST_F(ShellDraw, RstrRightAlignsAndCutsLeadingDigits) {
  struct {
    int n, width;
    const char* pad;
    const char* want;
  } cases[] = {
      {42, 8, "0", "00000042"},   {123456789, 8, "0", "23456789"}, {0, 3, " ", "  0"},
      {-5, 4, "0", "00-5"},       {7, 0, "0", ""},                 {12345, 11, " ", "      12345"},
  };
  for (auto& c : cases)
    EXPECT_EQ(app->p_rstr(c.n, c.width, String(c.pad)).ToUtf8(), c.want) << c.n << " " << c.width;
}

TEST_F(ShellDraw, TextAlignmentPlacesTheGlyphs) {
  // " AB": W = 7 (space) + 7 (A) = 14.
  struct {
    float alignX, alignY;
    float ax, bx, y;
  } cases[] = {
      {0, 1, 107, 114, 50},  // the leading space starts at x
      {1, 1, 100, 107, 50},  // last handle at x + W/2
      {2, 1, 93, 100, 50},   // last handle at x
      {0, 0, 107, 114, 55},  // half a line down
      {0, 2, 107, 114, 45},  // half a line up
  };
  for (auto& c : cases) {
    app->p_CLS2D(-3717, 0, 0, 0);
    app->p_Text(100, 50, String("AB"), c.alignX, c.alignY);
    auto g = Glyphs();
    ASSERT_EQ(g.size(), 2u) << c.alignX << "," << c.alignY;
    EXPECT_EQ(g[0].frame, 'A' - 32);
    EXPECT_EQ(g[1].frame, 'B' - 32);
    EXPECT_EQ(g[0].x, c.ax) << c.alignX << "," << c.alignY;
    EXPECT_EQ(g[1].x, c.bx) << c.alignX << "," << c.alignY;
    EXPECT_EQ(g[0].y, c.y) << c.alignX << "," << c.alignY;
  }
}

TEST_F(ShellDraw, TextLetterTableScaleAndRotation) {
  // "iwA": i advances 7-3, w advances 7+2; scale 2 doubles everything.
  app->p_SetSize(2, 2);
  app->p_Text(100, 50, String("iwA"), 0, 1);
  auto g = Glyphs();
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0].x, 114);
  EXPECT_EQ(g[1].x, 114 + 8);
  EXPECT_EQ(g[2].x, 114 + 8 + 18);

  // Rotated by 90 degrees the line runs downwards.
  app->p_CLS2D(-3717, 0, 0, 0);
  app->p_SetRot(90);
  app->p_Text(100, 50, String("AB"), 0, 1);
  g = Glyphs();
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0].x, 100);
  EXPECT_EQ(g[0].y, 57);
  EXPECT_EQ(g[1].x, 100);
  EXPECT_EQ(g[1].y, 64);
}

TEST_F(ShellDraw, TextLineBreakAndIcons) {
  app->p_Text(100, 50, String("A\\nB"), 0, 1);
  auto g = Glyphs();
  ASSERT_EQ(g.size(), 2u);  // neither the backslash nor the n is drawn
  EXPECT_EQ(g[0].x, 107);
  EXPECT_EQ(g[0].y, 50);
  EXPECT_EQ(g[1].frame, 'B' - 32);
  EXPECT_EQ(g[1].x, 100);  // back at the start column
  EXPECT_EQ(g[1].y, 60);   // one line lower

  // Icon U: frame 100 (116 with the default icon set), advance 7 + 6.
  Array<int> chars(3);
  chars[0] = 172;
  chars[1] = 'U';
  chars[2] = 'A';
  for (int style : {1, 0}) {
    app->m_ctrlStyle = style;
    app->p_CLS2D(-3717, 0, 0, 0);
    app->p_Text(100, 50, String::FromChars(chars), 0, 1);
    g = Glyphs();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].frame, style == 0 ? 116 : 100);
    EXPECT_EQ(g[0].x, 107);
    EXPECT_EQ(g[1].x, 120);
  }

  // An empty text draws nothing; a lone icon lead at the end neither.
  app->p_CLS2D(-3717, 0, 0, 0);
  app->p_Text(100, 50, String(""), 1, 1);
  Array<int> lone(1);
  lone[0] = 172;
  app->p_Text(100, 50, String::FromChars(lone), 0, 0);
  EXPECT_EQ(DrawCount(), 0);
}

TEST_F(ShellDraw, FitFollowsTheWindowShape) {
  struct {
    float w, h;
    int axis;
    float scale, vw, vh;
    int landscape;
  } cases[] = {
      {1280, 720, 1, 2, 640, 360, 1},
      {480, 640, 2, 4.0f / 3.0f, 360, 480, 0},
      {640, 480, 1, 1, 640, 480, 1},
      {1920, 1080, 1, 3, 640, 360, 1},
  };
  for (auto& c : cases) {
    app->p_FitScreen(c.w, c.h);
    EXPECT_EQ(app->m_fitAxis, c.axis) << c.w << "x" << c.h;
    EXPECT_FLOAT_EQ(app->m_scaleX, c.scale) << c.w << "x" << c.h;
    EXPECT_FLOAT_EQ(app->m_scaleY, c.scale);
    EXPECT_FLOAT_EQ(hx_Zelk_jscrw, c.vw) << c.w << "x" << c.h;
    EXPECT_FLOAT_EQ(hx_Zelk_jscrh, c.vh) << c.w << "x" << c.h;
    EXPECT_EQ(app->m_landscape, c.landscape);
  }
  // A window without area keeps the last fit instead of producing NaN.
  app->p_FitScreen(0, 0);
  EXPECT_FLOAT_EQ(hx_Zelk_jscrw, 640);
  EXPECT_FLOAT_EQ(hx_Zelk_jscrh, 360);
  EXPECT_FLOAT_EQ(app->m_scaleX, 3);
  // Overscan narrows the scale, not the virtual screen.
  hx_Zelk_overscan = 20;
  app->p_FitScreen(640, 480);
  EXPECT_FLOAT_EQ(app->m_scaleX, 600.0f / 640.0f);
  EXPECT_FLOAT_EQ(hx_Zelk_jscrw, 640);
  EXPECT_FLOAT_EQ(hx_Zelk_jscrh, 480);
  hx_Zelk_overscan = 0;
}
