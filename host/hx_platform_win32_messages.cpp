// The platform layer on Windows: messages for the player. A GUI program
// started from Explorer or a shortcut has no console and no standard
// handles, so a fatal line on standard output or standard error reaches
// nobody; such a line is shown in a message box as well.
#include "host/hx_platform.h"

#include <windows.h>

#include <string>

namespace hx_platform {

namespace {

// The name on the game's window, and the number of its icon in the
// program's resources (host/zelk.rc).
const wchar_t kTitle[] = L"Zelk";
const WORD kIconId = 1;

// Nobody reads stream when the process has no console and the stream's
// handle is missing or does not name anything.
bool Unseen(FILE* stream) {
  if (GetConsoleWindow()) return false;
  HANDLE h = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return true;
  SetLastError(NO_ERROR);
  return GetFileType(h) == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR;
}

BOOL CALLBACK HideWindow(HWND window, LPARAM) {
  if (IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
  return TRUE;
}

struct Box {
  std::wstring text;
};

DWORD WINAPI ShowBox(void* arg) {
  const Box* box = static_cast<const Box*>(arg);
  MSGBOXPARAMSW params = {};
  params.cbSize = sizeof params;
  params.hInstance = GetModuleHandleW(nullptr);
  params.lpszText = box->text.c_str();
  params.lpszCaption = kTitle;
  // Above everything, a fullscreen window included, and in front.
  params.dwStyle = MB_OK | MB_SETFOREGROUND | MB_TOPMOST;
  if (FindResourceW(params.hInstance, MAKEINTRESOURCEW(kIconId), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */)) {
    params.dwStyle |= MB_USERICON;
    params.lpszIcon = MAKEINTRESOURCEW(kIconId);
  } else {
    params.dwStyle |= MB_ICONERROR;
  }
  MessageBoxIndirectW(&params);
  return 0;
}

}  // namespace

String DisplayPath(const String& path) {
  std::wstring out(path.Data(), path.Data() + path.Length());
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  return String(out.c_str(), static_cast<int>(out.size()));
}

bool ShowUnseenError(const String& text, FILE* stream) {
  if (!Unseen(stream)) return false;
  // The game's windows go out of sight, so that no input reaches a game
  // that is ending (a fullscreen window also hands the screen back).
  EnumThreadWindows(GetCurrentThreadId(), HideWindow, 0);
  // The box runs its own message loop. On a thread of its own, that loop
  // never calls into the game's windows, and so never into the game.
  Box box{std::wstring(text.Data(), text.Data() + text.Length())};
  HANDLE thread = CreateThread(nullptr, 0, ShowBox, &box, 0, nullptr);
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  } else {
    ShowBox(&box);
  }
  return true;
}

}  // namespace hx_platform
