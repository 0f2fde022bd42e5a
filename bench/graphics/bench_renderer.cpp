// Frames of a few thousand sprites and shapes through the graphics module.
// For each scene prints batches, GL draw calls and vertices per frame, the
// CPU time per frame spent in the renderer before the driver (everything
// except the GL draw calls), the time inside the GL calls, and the whole
// frame including glFinish under the current driver (llvmpipe on Xvfb).
//
//   xvfb-run -a ./zelk_graphics_bench [frames]
#include <GL/gl.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "framework/hx_app.h"
#include "framework/hx_graphics.h"
#include "host/hx_glfw_game.h"

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

gxtkSurface* Sprite(unsigned rgb) {
  const int n = 32;
  auto* px = static_cast<unsigned char*>(malloc(n * n * 4));
  for (int i = 0; i < n * n; ++i) {
    int x = i % n - n / 2, y = i / n - n / 2;
    bool in = x * x + y * y < (n / 2) * (n / 2);
    px[i * 4] = (rgb >> 16) & 255;
    px[i * 4 + 1] = (rgb >> 8) & 255;
    px[i * 4 + 2] = rgb & 255;
    px[i * 4 + 3] = in ? 255 : 0;
  }
  gxtkSurface* s = new gxtkSurface();
  s->SetData(px, n, n, 4);
  s->Bind();
  return s;
}

struct Result {
  double renderUs, submitUs, finishUs;
  double batches, calls, vertices;
};

Result Run(gxtkGraphics* g, int frames, const std::function<void()>& scene) {
  Result r{};
  gxtkGraphics::timeSubmits = true;
  for (int f = 0; f < frames + 5; ++f) {
    if (f == 5) r = Result{};  // warm-up frames are not counted
    g->ResetStats();
    auto t0 = Clock::now();
    g->BeginRender();
    hx_graphics_BeginRender();
    g->Cls(0, 0, 0);
    glFinish();  // clearing is the driver's work, not the renderer's
    auto ts = Clock::now();
    scene();
    hx_graphics_EndRender();
    g->EndRender();
    auto t1 = Clock::now();
    glFinish();
    auto t2 = Clock::now();
    double submit = g->statSubmitNanos / 1000.0;
    r.renderUs += Micros(t1 - ts) - submit;
    r.submitUs += submit;
    r.finishUs += Micros(t2 - t0);
    r.batches += static_cast<double>(g->statBatches);
    r.calls += static_cast<double>(g->statDrawCalls);
    r.vertices += static_cast<double>(g->statVertices);
  }
  gxtkGraphics::timeSubmits = false;
  double n = frames;
  return Result{r.renderUs / n, r.submitUs / n, r.finishUs / n, r.batches / n, r.calls / n, r.vertices / n};
}

void Print(const char* name, const Result& r) {
  printf("%-44s %8.0f %7.0f %8.0f %10.1f %10.1f %10.0f\n", name, r.batches, r.calls, r.vertices, r.renderUs,
         r.submitUs, r.finishUs);
}

}  // namespace

int main(int argc, char** argv) {
  int frames = argc > 1 ? atoi(argv[1]) : 100;
  if (frames < 1) frames = 1;
  if (!glfwInit()) {
    fprintf(stderr, "glfwInit failed\n");
    return 1;
  }
  GLFWwindow* win = glfwCreateWindow(640, 480, "Zelk renderer bench", nullptr, nullptr);
  if (!win) {
    fprintf(stderr, "cannot open a window\n");
    return 1;
  }
  glfwMakeContextCurrent(win);
  ++glfwGraphicsSeq;
  gc_init1();
  new HxGlfwGame();
  hx_graphics_Init();
  gxtkGraphics* g = new gxtkGraphics();
  hx_graphics_SetGraphicsDevice(g);
  hx_app__devWidth = 640;
  hx_app__devHeight = 480;

  gxtkSurface* tex[4] = {Sprite(0xFF8000), Sprite(0x00FF80), Sprite(0x8000FF), Sprite(0xFFFFFF)};
  c_Image* img[4];
  for (int i = 0; i < 4; ++i) img[i] = (new c_Image())->m_new()->p_Init(tex[i], 1, 1);
  const int N = 2500;
  auto X = [](int i) { return static_cast<float>((i * 37) % 640); };
  auto Y = [](int i) { return static_cast<float>((i * 53) % 480); };

  printf("%d frames, 2500 items per frame, 32x32 sprites, 640x480 window, GL renderer: %s\n", frames,
         reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  printf("%-44s %8s %7s %8s %10s %10s %10s\n", "scene (per frame)", "batches", "calls", "vertices", "render_us",
         "gl_us", "frame_us");

  Print("DrawImage, one texture", Run(g, frames, [&] {
          for (int i = 0; i < N; ++i) hx_graphics_DrawImage(img[0], X(i), Y(i), 0);
        }));
  Print("DrawImage2 (rotated, scaled), one texture", Run(g, frames, [&] {
          for (int i = 0; i < N; ++i) hx_graphics_DrawImage2(img[0], X(i), Y(i), i * 1.0f, 1.5f, 0.75f, 0);
        }));
  Print("DrawImage, 4 alternating textures", Run(g, frames, [&] {
          for (int i = 0; i < N; ++i) hx_graphics_DrawImage(img[i & 3], X(i), Y(i), 0);
        }));
  Print("DrawImage, 4 textures in runs of 625", Run(g, frames, [&] {
          for (int i = 0; i < N; ++i) hx_graphics_DrawImage(img[i / 625], X(i), Y(i), 0);
        }));
  Print("rects and ovals (r=6..13) alternating", Run(g, frames, [&] {
          for (int i = 0; i < N; ++i) {
            hx_graphics_SetColor(static_cast<float>(i & 255), 128, 200);
            if (i & 1)
              hx_graphics_DrawEllipse(X(i), Y(i), 6.0f + (i & 7), 6.0f + (i & 7));
            else
              hx_graphics_DrawRect(X(i), Y(i), 12, 8);
          }
        }));
  Print("device DrawSurface2, one texture", Run(g, frames, [&] {
          for (int i = 0; i < N; ++i) g->DrawSurface2(tex[0], X(i), Y(i), 0, 0, 32, 32);
        }));
  glfwDestroyWindow(win);
  glfwTerminate();
  return 0;
}
