// The runtime error report of a Windows program nobody reads the output
// of, under Wine: this program started again (--child) as the shell starts
// a program, with no console and no standard handles, ends with a fatal
// error. The report appears in a message box titled "Zelk", whose text is
// read back from the box's own controls; closing it ends the child with
// status -1. With its output in a pipe, the same child shows no box.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "runtime/hx_runtime.h"

namespace {

std::wstring self_path;

// The texts of a window's controls, one per line.
BOOL CALLBACK AddText(HWND control, LPARAM out) {
  wchar_t text[1024];
  int n = GetWindowTextW(control, text, 1024);
  auto* all = reinterpret_cast<std::wstring*>(out);
  all->append(text, static_cast<size_t>(n)).append(L"\n");
  return TRUE;
}

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

HWND FindBox(int ms) {
  for (int t = 0;; t += 50) {
    HWND box = FindWindowW(L"#32770", L"Zelk");  // the dialog class of message boxes
    if (box || t >= ms) return box;
    Sleep(50);
  }
}

struct Child {
  PROCESS_INFORMATION pi = {};
  bool ok = false;
  ~Child() {
    if (!ok) return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  int Wait(int ms) {
    if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return -1000;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<int>(code);
  }
};

// Starts this program with --child=error: with out as its standard output
// and standard error (none at all when out is null) and no console.
void Start(Child* child, HANDLE out) {
  std::wstring cmd = L"\"" + self_path + L"\" --child=error";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = out;
  si.hStdError = out;
  child->ok = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, out != nullptr, DETACHED_PROCESS, nullptr,
                             nullptr, &si, &child->pi) != 0;
}

}  // namespace

TEST(WindowsErrorBox, AFatalErrorNobodyCanReadIsShownInABoxAndEndsWithMinusOne) {
  Child child;
  Start(&child, nullptr);
  ASSERT_TRUE(child.ok) << GetLastError();
  HWND box = FindBox(30000);
  ASSERT_NE(box, nullptr) << "no message box titled Zelk";
  std::wstring texts;
  EnumChildWindows(box, AddText, reinterpret_cast<LPARAM>(&texts));
  EXPECT_NE(Narrow(texts).find("Quoll Runtime Error : Image frame outside surface"), std::string::npos)
      << Narrow(texts);
  // Still waiting for the player.
  EXPECT_EQ(child.Wait(500), -1000);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(child.Wait(20000), -1);
}

TEST(WindowsErrorBox, WithItsOutputInAPipeTheReportGoesThereAndNoBoxAppears) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, &sa, 0));
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  Child child;
  Start(&child, write);
  CloseHandle(write);
  ASSERT_TRUE(child.ok) << GetLastError();
  std::string out;
  char buf[256];
  DWORD n = 0;
  while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
  CloseHandle(read);
  EXPECT_EQ(child.Wait(20000), -1);
  EXPECT_NE(out.find("Quoll Runtime Error : Image frame outside surface\n"), std::string::npos) << out;
  EXPECT_EQ(FindBox(0), nullptr);
}

int main(int argc, char** argv) {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  self_path = module;
  if (argc > 1 && strcmp(argv[1], "--child=error") == 0) {
    gc_init1();
    hxError(String("Image frame outside surface"));
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
