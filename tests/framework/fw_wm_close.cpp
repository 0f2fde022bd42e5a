// Sends a window-manager close request (WM_PROTOCOLS / WM_DELETE_WINDOW)
// to the window given by id, as a window manager's close button does.
#include <cstdio>
#include <cstdlib>

#include "tests/common/x11_close.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: fw_wm_close WINDOW_ID\n");
    return 2;
  }
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    fprintf(stderr, "cannot open display\n");
    return 2;
  }
  SendWmDeleteWindow(dpy, static_cast<Window>(strtoul(argv[1], nullptr, 0)));
  XCloseDisplay(dpy);
  return 0;
}
