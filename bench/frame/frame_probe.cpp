// Frame probe, preloaded into the real game (LD_PRELOAD) by the frame
// benchmark. It counts the GL calls the game makes between two buffer swaps
// and, at every swap, appends one record to the file named by
// ZELK_FRAME_LOG: the swap times, the main thread's and the whole process's
// CPU clocks, and the frame's draw calls, texture binds and vertices, its
// texture uploads with the time spent in them, and its slowest draw call
// (the software rasteriser compiles its code for a new state inside one).
//
// The counted entry points are looked up with dlsym(RTLD_NEXT) and called
// on; nothing else about the game changes.
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "bench/frame/frame_record.h"

namespace {

int64_t Now(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

template <class F>
F Next(F& slot, const char* name) {
  if (!slot) slot = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
  return slot;
}

int g_fd = -2;
zelk_bench::FrameRecord g_frame = {};
bool g_renderStarted = false;

void Write(const zelk_bench::FrameRecord& r) {
  if (g_fd == -2) {
    const char* path = getenv("ZELK_FRAME_LOG");
    g_fd = path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644) : -1;
  }
  if (g_fd >= 0) {
    ssize_t n = write(g_fd, &r, sizeof r);
    (void)n;
  }
}

// The first GL call of a frame marks the start of its render pass on the
// main thread.
inline void RenderCall() {
  if (!g_renderStarted) {
    g_renderStarted = true;
    g_frame.renderStartThreadNs = Now(CLOCK_THREAD_CPUTIME_ID);
  }
}

}  // namespace

extern "C" {

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
  static void (*real)(GLint, GLint, GLsizei, GLsizei);
  RenderCall();
  Next(real, "glViewport")(x, y, w, h);
}

inline void TimedDraw(int64_t t0) {
  int64_t ns = Now(CLOCK_MONOTONIC) - t0;
  if (ns > g_frame.longestDrawNs) g_frame.longestDrawNs = ns;
}

inline void TimedUpload(int64_t t0) {
  ++g_frame.textureUploads;
  g_frame.textureUploadNs += Now(CLOCK_MONOTONIC) - t0;
}

void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
  static void (*real)(GLenum, GLint, GLsizei);
  RenderCall();
  ++g_frame.drawCalls;
  g_frame.vertices += count;
  int64_t t0 = Now(CLOCK_MONOTONIC);
  Next(real, "glDrawArrays")(mode, first, count);
  TimedDraw(t0);
}

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
  static void (*real)(GLenum, GLsizei, GLenum, const void*);
  RenderCall();
  ++g_frame.drawCalls;
  // The renderer draws indexed triangles only for quads: 6 indices for
  // every 4 vertices.
  g_frame.vertices += mode == GL_TRIANGLES ? count / 6 * 4 : count;
  int64_t t0 = Now(CLOCK_MONOTONIC);
  Next(real, "glDrawElements")(mode, count, type, indices);
  TimedDraw(t0);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei w, GLsizei h, GLint border,
                  GLenum format, GLenum type, const void* pixels) {
  static void (*real)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
  RenderCall();
  int64_t t0 = Now(CLOCK_MONOTONIC);
  Next(real, "glTexImage2D")(target, level, internalFormat, w, h, border, format, type, pixels);
  TimedUpload(t0);
}

void glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h, GLenum format,
                     GLenum type, const void* pixels) {
  static void (*real)(GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*);
  RenderCall();
  int64_t t0 = Now(CLOCK_MONOTONIC);
  Next(real, "glTexSubImage2D")(target, level, x, y, w, h, format, type, pixels);
  TimedUpload(t0);
}

void glBindTexture(GLenum target, GLuint texture) {
  static void (*real)(GLenum, GLuint);
  ++g_frame.textureBinds;
  Next(real, "glBindTexture")(target, texture);
}

void glBlendFunc(GLenum s, GLenum d) {
  static void (*real)(GLenum, GLenum);
  ++g_frame.blendCalls;
  Next(real, "glBlendFunc")(s, d);
}

void glfwSwapBuffers(GLFWwindow* window) {
  static void (*real)(GLFWwindow*);
  g_frame.swapStartNs = Now(CLOCK_MONOTONIC);
  g_frame.swapStartThreadNs = Now(CLOCK_THREAD_CPUTIME_ID);
  if (!g_renderStarted) g_frame.renderStartThreadNs = g_frame.swapStartThreadNs;
  Next(real, "glfwSwapBuffers")(window);
  g_frame.swapEndNs = Now(CLOCK_MONOTONIC);
  g_frame.swapEndThreadNs = Now(CLOCK_THREAD_CPUTIME_ID);
  g_frame.swapEndProcessNs = Now(CLOCK_PROCESS_CPUTIME_ID);
  Write(g_frame);
  g_frame = zelk_bench::FrameRecord{};
  g_renderStarted = false;
}

}  // extern "C"
