// Side-by-side frame cost of Zelk's renderer and SDL2's renderer, in one
// process on the same X display: 2500 rotated and scaled 32 x 32 sprites
// from one 128 x 128 atlas (16 frames) in a 640 x 480 window, drawn through
// the graphics module (hx_graphics_DrawImage2) into a GLFW window and
// through SDL_RenderCopyExF (SDL's OpenGL driver, render batching on) into
// an SDL window. A second scene alternates four atlases sprite by sprite.
//
// Both sides are timed the same way per frame: clear, 2500 sprites, end of
// frame, buffer swap and glFinish. Printed per frame: main-thread CPU, whole
// process CPU (including llvmpipe's rasteriser threads) and wall time, and
// the Zelk / SDL2 ratios. The two renderers take turns in rounds, so that a
// change in the machine's load reaches both.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ./zelk_peer_bench [frames per round] [rounds]
//
// For a profile of one side alone (perf record ... ./zelk_peer_bench 500 1
// zelk 4) a third and fourth argument name the side (zelk or sdl) and the
// number of atlases (1 or 4); only that side is drawn.
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <SDL.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "framework/hx_app.h"
#include "framework/hx_graphics.h"
#include "host/hx_glfw_game.h"

namespace {

const int kSprites = 2500;
const int kAtlas = 128;   // atlas side in pixels
const int kFrame = 32;    // sprite side in pixels
const int kFrames = 16;   // 4 x 4 frames per atlas
const int kWidth = 640, kHeight = 480;

int64_t Now(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// One atlas as straight (not premultiplied) RGBA bytes: 16 discs of
// different colours, each in its own 32 x 32 cell, transparent around.
std::vector<unsigned char> AtlasPixels(int variant) {
  std::vector<unsigned char> px(kAtlas * kAtlas * 4);
  for (int y = 0; y < kAtlas; ++y)
    for (int x = 0; x < kAtlas; ++x) {
      int cell = (y / kFrame) * 4 + x / kFrame;
      int dx = x % kFrame - kFrame / 2, dy = y % kFrame - kFrame / 2;
      bool in = dx * dx + dy * dy < (kFrame / 2 - 1) * (kFrame / 2 - 1);
      unsigned char* p = &px[(y * kAtlas + x) * 4];
      p[0] = static_cast<unsigned char>(40 + cell * 13 + variant * 50);
      p[1] = static_cast<unsigned char>(255 - cell * 11);
      p[2] = static_cast<unsigned char>(variant * 60 + (dx & 7) * 16);
      p[3] = in ? 255 : 0;
    }
  return px;
}

// Where sprite i goes in every frame f: position, rotation, scale, frame.
struct Sprite {
  float x, y, angle, sx, sy;
  int frame;
};
Sprite At(int i, int f) {
  Sprite s;
  s.x = static_cast<float>((i * 37 + f * 3) % kWidth);
  s.y = static_cast<float>((i * 53 + f * 2) % kHeight);
  s.angle = static_cast<float>((i * 7 + f * 5) % 360);
  s.sx = 0.5f + static_cast<float>(i % 11) * 0.1f;
  s.sy = 0.5f + static_cast<float>(i % 7) * 0.15f;
  s.frame = i % kFrames;
  return s;
}

struct Cost {
  double threadMs = 0, processMs = 0, wallMs = 0;
};

// Runs frames of one renderer; the cost per frame.
Cost Time(int frames, const std::function<void(int)>& frame) {
  Cost c;
  for (int f = 0; f < frames; ++f) {
    int64_t t0 = Now(CLOCK_THREAD_CPUTIME_ID), p0 = Now(CLOCK_PROCESS_CPUTIME_ID), w0 = Now(CLOCK_MONOTONIC);
    frame(f);
    c.threadMs += static_cast<double>(Now(CLOCK_THREAD_CPUTIME_ID) - t0) / 1e6;
    c.processMs += static_cast<double>(Now(CLOCK_PROCESS_CPUTIME_ID) - p0) / 1e6;
    c.wallMs += static_cast<double>(Now(CLOCK_MONOTONIC) - w0) / 1e6;
  }
  c.threadMs /= frames;
  c.processMs /= frames;
  c.wallMs /= frames;
  return c;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Zelk {
  GLFWwindow* win = nullptr;
  gxtkGraphics* g = nullptr;
  c_Image* atlas[4] = {};

  bool Open() {
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    win = glfwCreateWindow(kWidth, kHeight, "Zelk peer bench: Zelk", nullptr, nullptr);
    if (!win) return false;
    glfwSetWindowPos(win, 0, 0);
    glfwMakeContextCurrent(win);
    glfwSwapInterval(0);
    ++glfwGraphicsSeq;
    gc_init1();
    new HxGlfwGame();
    hx_graphics_Init();
    g = new gxtkGraphics();
    hx_graphics_SetGraphicsDevice(g);
    hx_app__devWidth = kWidth;
    hx_app__devHeight = kHeight;
    for (int v = 0; v < 4; ++v) {
      std::vector<unsigned char> px = AtlasPixels(v);
      auto* data = static_cast<unsigned char*>(malloc(px.size()));
      memcpy(data, px.data(), px.size());
      gxtkSurface* s = new gxtkSurface();
      s->SetData(data, kAtlas, kAtlas, 4);
      s->Bind();
      atlas[v] = (new c_Image())->m_new()->p_Init2(s, 0, 0, kFrame, kFrame, kFrames, c_Image::MidHandle, nullptr, 0,
                                                   0, kAtlas, kAtlas);
    }
    return true;
  }
  void Frame(int f, int textures) {
    glfwMakeContextCurrent(win);
    g->BeginRender();
    hx_graphics_BeginRender();
    g->Cls(0, 0, 0);
    for (int i = 0; i < kSprites; ++i) {
      Sprite s = At(i, f);
      hx_graphics_DrawImage2(atlas[i % textures], s.x, s.y, s.angle, s.sx, s.sy, s.frame);
    }
    hx_graphics_EndRender();
    g->EndRender();
    glfwSwapBuffers(win);
    glFinish();
  }
};

struct Sdl {
  SDL_Window* win = nullptr;
  SDL_Renderer* ren = nullptr;
  SDL_Texture* atlas[4] = {};
  char driver[64] = "";

  bool Open() {
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    win = SDL_CreateWindow("Zelk peer bench: SDL2", kWidth, 0, kWidth, kHeight, SDL_WINDOW_OPENGL);
    if (!win) return false;
    ren = SDL_CreateRenderer(win, -1, SDL_RENDERER_ACCELERATED);
    if (!ren) return false;
    SDL_RendererInfo info;
    SDL_GetRendererInfo(ren, &info);
    snprintf(driver, sizeof driver, "%s", info.name);
    for (int v = 0; v < 4; ++v) {
      std::vector<unsigned char> px = AtlasPixels(v);
      atlas[v] = SDL_CreateTexture(ren, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC, kAtlas, kAtlas);
      if (!atlas[v]) return false;
      SDL_UpdateTexture(atlas[v], nullptr, px.data(), kAtlas * 4);
      SDL_SetTextureBlendMode(atlas[v], SDL_BLENDMODE_BLEND);
    }
    return true;
  }
  void Frame(int f, int textures) {
    // SDL keeps its own record of the current context and would not notice
    // that GLFW made another one current (its draws would land in the Zelk
    // window). Clearing the record makes the renderer make its own context
    // current again.
    SDL_GL_MakeCurrent(win, nullptr);
    SDL_SetRenderDrawColor(ren, 0, 0, 0, 255);
    SDL_RenderClear(ren);
    for (int i = 0; i < kSprites; ++i) {
      Sprite s = At(i, f);
      SDL_Rect src = {(s.frame % 4) * kFrame, (s.frame / 4) * kFrame, kFrame, kFrame};
      float w = kFrame * s.sx, h = kFrame * s.sy;
      SDL_FRect dst = {s.x - w * 0.5f, s.y - h * 0.5f, w, h};
      SDL_RenderCopyExF(ren, atlas[i % textures], &src, &dst, s.angle, nullptr, SDL_FLIP_NONE);
    }
    SDL_RenderPresent(ren);
    glFinish();  // SDL's context is the current one after the present
  }
};

}  // namespace

int main(int argc, char** argv) {
  int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 100;
  int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
  const char* only = argc > 3 ? argv[3] : nullptr;
  int onlyTextures = argc > 4 ? atoi(argv[4]) : 0;
  // The SDL side loads its own GL driver; only Zelk's side goes through GLFW.
  if (!glfwInit()) {
    fprintf(stderr, "glfwInit failed\n");
    return 1;
  }
  Zelk zelk;
  Sdl sdl;
  if (!zelk.Open()) {
    fprintf(stderr, "cannot open the Zelk window\n");
    return 1;
  }
  printf("GL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  if (!sdl.Open()) {
    fprintf(stderr, "SDL2: %s\n", SDL_GetError());
    return 1;
  }
  SDL_version v;
  SDL_GetVersion(&v);
  printf("SDL %d.%d.%d, render driver \"%s\", batching hint %s\n", v.major, v.minor, v.patch, sdl.driver,
         SDL_GetHint(SDL_HINT_RENDER_BATCHING));
  printf("%d sprites (32 x 32, rotated and scaled) at 640 x 480; %d rounds of %d frames per renderer, median of the "
         "rounds' means\n",
         kSprites, rounds, frames);
  printf("%-26s %-5s %9s %9s %9s\n", "scene", "side", "thread_ms", "proc_ms", "wall_ms");

  if (only) {
    bool z = strcmp(only, "zelk") == 0;
    int textures = onlyTextures == 4 ? 4 : 1;
    Cost c = Time(frames * rounds, [&](int f) {
      if (z)
        zelk.Frame(f, textures);
      else
        sdl.Frame(f, textures);
    });
    printf("%-26s %-5s %9.3f %9.3f %9.3f\n", textures == 1 ? "one atlas" : "four atlases alternating",
           z ? "Zelk" : "SDL2", c.threadMs, c.processMs, c.wallMs);
    return 0;
  }
  for (int textures : {1, 4}) {
    std::vector<double> zt, zp, zw, st, sp, sw;
    // One untimed warm-up round each.
    Time(10, [&](int f) { zelk.Frame(f, textures); });
    Time(10, [&](int f) { sdl.Frame(f, textures); });
    for (int r = 0; r < rounds; ++r) {
      Cost z = Time(frames, [&](int f) { zelk.Frame(f, textures); });
      Cost s = Time(frames, [&](int f) { sdl.Frame(f, textures); });
      zt.push_back(z.threadMs), zp.push_back(z.processMs), zw.push_back(z.wallMs);
      st.push_back(s.threadMs), sp.push_back(s.processMs), sw.push_back(s.wallMs);
    }
    const char* scene = textures == 1 ? "one atlas" : "four atlases alternating";
    printf("%-26s %-5s %9.3f %9.3f %9.3f\n", scene, "Zelk", Median(zt), Median(zp), Median(zw));
    printf("%-26s %-5s %9.3f %9.3f %9.3f\n", scene, "SDL2", Median(st), Median(sp), Median(sw));
    printf("%-26s %-5s %9.2fx %8.2fx %8.2fx\n", scene, "ratio", Median(zt) / Median(st), Median(zp) / Median(sp),
           Median(zw) / Median(sw));
  }
  SDL_DestroyRenderer(sdl.ren);
  SDL_DestroyWindow(sdl.win);
  SDL_Quit();
  glfwDestroyWindow(zelk.win);
  glfwTerminate();
  return 0;
}
