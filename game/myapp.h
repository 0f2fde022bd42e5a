// Zelk's application object: the whole game state in one class, split by
// concern over game/*.cpp (shell, draw list, controls, rules, effects, menus,
// persistence, assets).
#pragma once
#include "runtime/hx_runtime.h"
#include "framework/hx_app.h"
#include "framework/hx_graphics.h"
#include "framework/hx_audio.h"
// hxInit() and hxMain(), which the game provides.
#include "host/hx_glfw_game.h"

// ---- module globals (set by hxInit) ----
extern float hx_Zelk_rawscrw;  // design size of the virtual screen
extern float hx_Zelk_rawscrh;
extern float hx_Zelk_jscrw;  // current virtual size (follows the window's aspect)
extern float hx_Zelk_jscrh;
extern float hx_Zelk_overscan;  // horizontal margin in device pixels
extern int hx_Zelk_isOuya;      // console build flag (always 0 here)
extern int hx_Zelk_DebugMode;
extern int hx_Zelk_iCadeControls;
extern int hx_Zelk_HasMusicStream;
extern int hx_Zelk_OnScreenControls;
extern int hx_Zelk_AccelerometerControls;
extern Array<String> hx_Zelk_CreditText;  // 50 lines

// Marks the game's module globals; called from the program's root marking.
void hx_Zelk_MarkRoots();

// "Not given" / "none" in coordinates, colours and draw-command kinds.
const int ZELK_NONE = -3717;
const float ZELK_NONEF = -3717.0f;
// Draw-command kinds besides image slots.
const float ZELK_KIND_RECT = -3717.0f;
const float ZELK_KIND_OVAL = -3716.0f;
// Draw list geometry.
const int ZELK_CMD_SIZE = 15;
const int ZELK_DRAW_FLOATS = 37500;

// Virtual button indices, as read by p_PlayKey / p_AnyPortHit.
enum {
  VK_UP = 0,
  VK_LEFT = 3,
  VK_RIGHT = 5,
  VK_DOWN = 8,
  VK_A1 = 10,
  VK_A2 = 11,
  VK_A3 = 12,
  VK_A4 = 13,
  VK_SL = 14,
  VK_SR = 15,
  VK_X1 = 16,
  VK_X2 = 17,
  VK_BACK = 99,
};

class c_MyApp : public c_App {
 public:
  // ---- shell and screen ----
  int m_fullscreen = 0;
  int m_gameMode = 0;
  int m_lastDevW = 0;
  int m_lastDevH = 0;
  int m_loadStep = 0;
  int m_i = 0;
  int m_key = 0;
  int m_hideHud = 0;
  int m_musicOn = 0;
  int m_updLastMs = 0;
  int m_updFps = 0;
  int m_updFpsAvg = 0;
  int m_renderLastMs = 0;
  int m_renderFps = 0;
  int m_renderFpsAvg = 0;
  float m_scaleX = 0;
  float m_scaleY = 0;
  int m_fitAxis = 0;
  int m_landscape = 0;

  // ---- draw list and draw state ----
  float m_clsR = 0;
  float m_clsG = 0;
  float m_clsB = 0;
  float m_clsA = 0;
  int m_drawCount = 0;
  Array<float> m_drawList;  // 37500
  float m_drawScaleX = 0;
  float m_drawScaleY = 0;
  float m_drawRot = 0;
  float m_drawR = 0;
  float m_drawG = 0;
  float m_drawB = 0;
  float m_drawAlpha = 0;
  int m_drawBlend = 0;

  // ---- text ----
  int m_fontSlot = 0;

  // ---- input ----
  Array<int> m_iCadeKeys;  // 20
  int m_mouseX = 0;
  int m_mouseY = 0;
  int m_mouseOldX = 0;
  int m_mouseOldY = 0;
  int m_mouseWasDown = 0;
  int m_mouseDown = 0;
  int m_mouseHit = 0;
  Array<int> m_touchDown;  // 10
  Array<int> m_touchX;     // 10
  Array<int> m_touchY;     // 10
  int m_touchLatch = 0;
  int m_keyLatch = 0;
  float m_stickX = 0;
  float m_stickY = 0;
  int m_stickAnchorX = 0;
  int m_stickAnchorY = 0;
  float m_rampX = 0;
  float m_rampY = 0;

  // ---- gameplay ----
  int m_players = 0;
  int m_paused = 0;
  int m_pauseSel = 0;
  int m_pauseY = 0;
  Array<float> m_ents;    // 512
  Array<float> m_blocks;  // 1024
  int m_e = 0;
  int m_eBase = 0;
  int m_e2 = 0;
  int m_j = 0;
  int m_airborne = 0;
  int m_aiDir = 0;
  int m_sprite = 0;
  int m_animBase = 0;
  int m_lifeIcons = 0;
  int m_rankIdx = 0;
  int m_targetScore = 0;
  int m_hit = 0;
  int m_score = 0;
  int m_shownScore = 0;
  int m_killsToNext = 0;
  int m_level = 0;
  int m_gameOver = 0;
  int m_gameOverTimer = 0;
  int m_pauseTimer = 0;
  float m_shakeX = 0;
  float m_shakeY = 0;
  float m_shakeXTarget = 0;
  float m_shakeYTarget = 0;
  int m_ctrlP1 = 0;
  int m_ctrlStyle = 0;

  // ---- effects ----
  int m_starCount = 100;
  Array<float> m_stars;  // 5100
  int m_particleLimit = 250;
  Array<float> m_particles;  // 5100

  // ---- menus and overlays ----
  int m_creditsOpen = 0;
  int m_optionsOpen = 0;
  int m_badgesOpen = 0;
  int m_creditsSlide = 0;
  int m_optionsSlide = 0;
  int m_menuSlide = 0;
  int m_menuSel = 0;
  float m_menuPos = 0;
  float m_menuVel = 0;
  float m_menuEase = 0;
  float m_menuDrag = 0;
  int m_menuSnap = 0;
  float m_gearSpin = 0;
  int m_spinAngle = 0;
  int m_optCursor = 0;
  int m_optKeyLatch = 0;
  int m_optTouchLatch = 0;
  float m_creditScroll = 0;
  int m_creditLine = 0;

  // ---- saved data and badges ----
  Array<int> m_badgeA;   // 15
  Array<int> m_badgeB;   // 15
  Array<bool> m_flags;   // 256
  Array<int> m_options;  // 25, [5] = 1
  Array<int> m_scores;   // 50
  int m_scoreBase = 0;

  // ---- assets and audio ----
  int m_jinglePlayed = 0;
  int m_sfxChannel = 0;
  int m_gfxDivisor = 1;
  float m_imgScale = 1.0f;
  Array<c_Image*> m_images;  // 100
  Array<int> m_imgInfo;      // 300
  Array<c_Sound*> m_sounds;  // 100
  Array<int> m_sfxMap;       // 33

  c_MyApp();
  ~c_MyApp() override;
  c_MyApp* m_new();
  void mark() override;

  // ---- shell (shell.cpp) ----
  int p_OnCreate() override;
  int p_OnSuspend() override;
  int p_OnResume() override;
  // The pause state both focus changes leave behind.
  int p_PauseForFocusChange();
  int p_OnUpdate() override;
  int p_OnRender() override;  // draw.cpp
  int p_iCade(int on);
  // Takes every waiting character and applies the iCade press/release letters.
  int p_iCadeDecode();
  // Pieces of p_OnUpdate.
  int p_SamplePointer();
  int p_BackKeyLatch();
  int p_DispatchMode();
  int p_CreditsSlideStep();
  int p_OptionsStep();
  // Sum of p_PlayKey(key, 1, port) over ports 0..3.
  int p_AnyPortKey(int key);

  // ---- deferred draw list and text (draw.cpp) ----
  int p_ResetDraw();
  int p_CLS2D(float r, float g, float b, float a);
  int p_SetSize(float sx, float sy);
  int p_SetCol(float r, float g, float b, float a);
  int p_Alpha(float a);
  int p_SetRot(float deg);
  int p_DrawImg(int slot, float x, float y, float frame);
  int p_Rect(float x, float y, float w, float h);
  int p_Oval(float x, float y, float rx, float ry);
  int p_Text(float x, float y, String text, float alignX, float alignY);
  String p_rstr(int n, int width, String pad);
  // Fits the virtual screen to a device of dw x dh pixels (part of p_OnRender).
  int p_FitScreen(float dw, float dh);
  // Appends one 15-float command from the current draw state; 0 when the list is full.
  int p_AppendCmd(float kind, float x, float y, float f4, float f5, float frame);

  // ---- controls (controls.cpp) ----
  int p_PlayKey(int key, int stickToo, int port);
  int p_AnalogueControl();
  int p_Button(int slot, float x, float y, int frame);
  int p_Button(float x, float y, int frame);
  int p_Touch(float x, float y, float w, float h);
  int p_MouseIn_Centered(float x, float y, float w, float h);

  // ---- gameplay rules (rules.cpp) ----
  int p_Game();
  int p_InGame();
  int p_AddBaddie();
  static int m_WhichWayDoIGo(float from, float to, int lo, int hi);
  String p_Nth(int n);
  String p_MyNth();

  // ---- stars and particles (effects.cpp) ----
  int p_ResetStars(int n);
  int p_DoStars(float dx, float dy);
  int p_ThrowParticle(float x, float y, int kind, int colour, float angle, float speed);
  int p_DoParticles();

  // ---- menus and overlays (menus.cpp; p_WaitStart in menus_wait.cpp) ----
  int p_WaitStart(int loading);
  int p_Menu();
  int p_OptionBox();
  int p_CreditBox();
  int p_PauseMenu();
  int p_GameOver();
  int p_OuyaQuit();
  int p_FullscreenFlip();

  // ---- saved settings, scores and badges (persist.cpp) ----
  int p_Save();
  int p_Load();
  int p_LoadMenu();
  int p_LoadGame();
  String p_BadgeID(int id);
  String p_BadgeName(int id);
  String p_BadgeDetail(int id);
  int p_ShowBadges();
  int p_BadgesBox();

  // ---- asset loading and game audio (assets.cpp) ----
  int p_ChooseResolution();
  String p_GfxSuffix();
  // name + resolution suffix + ".png"
  String p_ImagePath(String name);
  // "sfx/" + n with at least three digits + ".wav"
  String p_SfxPath(int n);
  int p_LoadImg(int slot, String name, int w, int h, int frames, int flags);
  int p_LoadFont(int slot, String name, int w, int h);
  int p_LoadSFX(int n);
  int p_Reload();
  int p_Loader();
  int p_PlaySFX(int n, float rate, float volume, float pan);
  int p_PlaySFX(int n, float volume) { return p_PlaySFX(n, 1.0f, volume, 0.0f); }
  int p_PlaySFX(int n) { return p_PlaySFX(n, 1.0f, 1.0f, 0.0f); }
  int p_PlayTune(String name, int flags);
  // Decodes a tune ahead of p_PlayTune (the device keeps the last one).
  int p_LoadTune(String name);
  String p_TunePath(String name);
  int p_StopTune();

  // ---- play (controls, effects, rules) ----

  // ---- complete (persistence, menus) ----
  // Place (0 = first) the finished game's score takes in its top list, as
  // recorded by p_LoadMenu and announced by the game-over panel; -1 none.
  int m_overPlace = -1;
  // The index p_LoadMenu stores m_score at in the top list of m_players; -1 none.
  int p_ScoreRank();
  // 1 when any of the n controls is hit on any port.
  int p_AnyPortHit(const int* keys, int n);
  // 1 while the credits, options or badges overlay is requested.
  int p_OverlayOpen();
  // Drawn size of an image slot at the current draw scale.
  float p_SlotW(int slot);
  float p_SlotH(int slot);
  // The three-layer options gear at the current draw scale and colour.
  int p_DrawGear(float x, float y);
  // Console build: the overscan slider centred at height y.
  int p_OverscanSlider(float y);
  // Acts on the selected menu item (1 play, 2 options); byTap 1 for a pointer.
  int p_MenuActivate(int byTap);
};
