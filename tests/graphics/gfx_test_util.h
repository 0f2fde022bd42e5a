// Shared set-up for the graphics tests: a real GLFW window under Xvfb, a
// scratch working directory with a data/ folder, PNG fixtures written at
// run time, and pixel read-back through the renderer.
#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/hx_gxtk_graphics.h"

namespace gfxtest {

enum { kWidth = 320, kHeight = 240 };

// Opens the test window (once) and makes it current; creates the host
// object and enters the scratch directory. Safe to call repeatedly.
void Setup();
// Destroys the window and opens a new one (new GL context), bumping
// glfwGraphicsSeq as the host does.
void RecreateWindow();

// Writes data/<name> as PNG (comp 1-4 channels); returns the path written.
std::string WritePng(const std::string& name, int w, int h, int comp, const std::vector<unsigned char>& px);
// Writes path as "bmp", "tga" or "jpg" with stb_image_write.
void WriteEncoded(const std::string& path, const char* kind, int w, int h, int comp,
                  const std::vector<unsigned char>& px);
// Writes data/<name> with raw bytes.
void WriteFile(const std::string& name, const std::vector<unsigned char>& bytes);
// Saves the current back buffer (top-down RGB) as a PNG at path.
void SaveFrame(gxtkGraphics* g, const std::string& path);

struct RGB {
  int r, g, b;
};
// The window pixel at (x, y), y downwards, read back through ReadPixels.
RGB Pixel(gxtkGraphics* g, int x, int y);
// True when every channel is within tol of the expected value.
bool Near(RGB a, RGB e, int tol = 1);
inline testing::AssertionResult RgbIs(RGB p, int r, int g, int b) {
  if (Near(p, RGB{r, g, b})) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "got " << p.r << "," << p.g << "," << p.b << " want " << r << "," << g
                                     << "," << b;
}

// A new device with the frame set up: BeginRender, black background,
// white, alpha 1, alpha blending, identity matrix, no scissor.
gxtkGraphics* NewFrame();

}  // namespace gfxtest

// Streamable: EXPECT_RGB(Pixel(g, x, y), r, g, b) << "context";
#define EXPECT_RGB(px, R, G, B) EXPECT_TRUE(gfxtest::RgbIs((px), (R), (G), (B)))
