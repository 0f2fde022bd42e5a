// Sends a window-manager close request (WM_PROTOCOLS / WM_DELETE_WINDOW)
// to the window given by id, as a window manager's close button does.
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>

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
  Window win = static_cast<Window>(strtoul(argv[1], nullptr, 0));
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = win;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, win, False, NoEventMask, &ev);
  XSync(dpy, False);
  XCloseDisplay(dpy);
  return 0;
}
