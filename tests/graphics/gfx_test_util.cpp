#include "tests/graphics/gfx_test_util.h"

#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "host/hx_glfw_game.h"

#include <stb/stb_image_write.h>

namespace gfxtest {
namespace {
GLFWwindow* window = nullptr;

void OpenWindow() {
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
  window = glfwCreateWindow(kWidth, kHeight, "Zelk graphics test", nullptr, nullptr);
  if (!window) {
    fprintf(stderr, "cannot open a GLFW window (is there a display?)\n");
    exit(2);
  }
  glfwMakeContextCurrent(window);
  ++glfwGraphicsSeq;
}
}  // namespace

void Setup() {
  static bool done = false;
  if (done) return;
  done = true;
  gc_init1();
  new HxGlfwGame();
  char dir[] = "/tmp/zelk-gfx-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) {
    perror("scratch dir");
    exit(2);
  }
  if (system("mkdir -p data") != 0) exit(2);
  if (!glfwInit()) {
    fprintf(stderr, "glfwInit failed\n");
    exit(2);
  }
  OpenWindow();
}

void RecreateWindow() {
  Setup();
  glfwDestroyWindow(window);
  window = nullptr;
  OpenWindow();
}

std::string WritePng(const std::string& name, int w, int h, int comp, const std::vector<unsigned char>& px) {
  Setup();
  std::string path = "data/" + name;
  stbi_write_png(path.c_str(), w, h, comp, px.data(), w * comp);
  return path;
}

void WriteEncoded(const std::string& path, const char* kind, int w, int h, int comp,
                  const std::vector<unsigned char>& px) {
  Setup();
  std::string k = kind;
  if (k == "bmp")
    stbi_write_bmp(path.c_str(), w, h, comp, px.data());
  else if (k == "tga")
    stbi_write_tga(path.c_str(), w, h, comp, px.data());
  else
    stbi_write_jpg(path.c_str(), w, h, comp, px.data(), 90);
}

void WriteFile(const std::string& name, const std::vector<unsigned char>& bytes) {
  Setup();
  FILE* f = fopen(("data/" + name).c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

void SaveFrame(gxtkGraphics* g, const std::string& path) {
  int w = g->Width(), h = g->Height();
  Array<int> px(w * h);
  g->ReadPixels(px, 0, 0, w, h, 0, w);
  std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
  for (int i = 0; i < w * h; ++i) {
    unsigned v = static_cast<unsigned>(px[i]);
    rgb[i * 3] = (v >> 16) & 255;
    rgb[i * 3 + 1] = (v >> 8) & 255;
    rgb[i * 3 + 2] = v & 255;
  }
  stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3);
}

RGB Pixel(gxtkGraphics* g, int x, int y) {
  Array<int> px(1);
  g->ReadPixels(px, x, y, 1, 1, 0, 1);
  unsigned v = static_cast<unsigned>(px[0]);
  return RGB{static_cast<int>((v >> 16) & 255), static_cast<int>((v >> 8) & 255), static_cast<int>(v & 255)};
}

bool Near(RGB a, RGB e, int tol) {
  return abs(a.r - e.r) <= tol && abs(a.g - e.g) <= tol && abs(a.b - e.b) <= tol;
}

gxtkGraphics* NewFrame() {
  Setup();
  gxtkGraphics* g = new gxtkGraphics();
  g->BeginRender();
  g->SetColor(255, 255, 255);
  g->SetAlpha(1);
  g->SetBlend(0);
  g->SetMatrix(1, 0, 0, 1, 0, 0);
  g->SetScissor(0, 0, g->Width(), g->Height());
  g->Cls(0, 0, 0);
  return g;
}

}  // namespace gfxtest
