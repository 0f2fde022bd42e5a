// Sends a window-manager close request (WM_PROTOCOLS / WM_DELETE_WINDOW) to
// a window, as a window manager's close button does. Header only; the
// program links X11. Include it after gtest: Xlib defines None, Bool and
// Status as macros.
#pragma once
#include <X11/Xlib.h>

inline void SendWmDeleteWindow(Display* dpy, Window win) {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = win;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, win, False, NoEventMask, &ev);
  XSync(dpy, False);
}
