// The host's platform layer through the host's own operations, on the
// platform the test is built for: Linux natively, Windows under Wine.
// Files by 16-bit names, the state file's atomic replace and its failures,
// console bytes, the stop routine's input, fatal signals, the local date
// and OpenUrl. Console cases run in a child process (this program started
// again with --child=NAME).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/hx_desktop.h"
#include "host/hx_glfw_game.h"
#include "host/hx_platform.h"
#include "runtime/hx_runtime.h"

#ifdef _WIN32
#include <windows.h>
#include <direct.h>
#include <shellapi.h>
#undef LoadString  // windows.h maps it to LoadStringA/W
#else
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

std::string self_path;

// ---------------------------------------------------------------- helpers

String Text(std::initializer_list<Char> units) { return String(units.begin(), static_cast<int>(units.size())); }

// A fresh folder that is the working folder while it lives.
class TempCwd {
 public:
  TempCwd() {
#ifdef _WIN32
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    dir_ = std::wstring(base) + L"zelk-platform-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter_++);
    CreateDirectoryW(dir_.c_str(), nullptr);
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    old_ = old;
    SetCurrentDirectoryW(dir_.c_str());
    // Saves that fall back to the player's folder stay inside the test.
    wchar_t appData[MAX_PATH];
    hadAppData_ = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH) > 0;
    if (hadAppData_) oldAppData_ = appData;
    SetEnvironmentVariableW(L"APPDATA", (dir_ + L"\\roaming").c_str());
#else
    char tmpl[] = "/tmp/zelk-platform-XXXXXX";
    dir_ = mkdtemp(tmpl);
    char old[4096];
    old_ = getcwd(old, sizeof old) ? old : "/";
    if (chdir(dir_.c_str()) != 0) ADD_FAILURE() << "chdir";
    setenv("XDG_DATA_HOME", (dir_ + "/roaming").c_str(), 1);
#endif
  }
  ~TempCwd() {
#ifdef _WIN32
    SetCurrentDirectoryW(old_.c_str());
    SetEnvironmentVariableW(L"APPDATA", hadAppData_ ? oldAppData_.c_str() : nullptr);
    RemoveTree(dir_);
#else
    unsetenv("XDG_DATA_HOME");
    if (chdir(old_.c_str()) != 0) ADD_FAILURE() << "chdir back";
    std::string cmd = "chmod -R u+w '" + dir_ + "' && rm -rf '" + dir_ + "'";
    if (system(cmd.c_str()) != 0) ADD_FAILURE() << "cleanup";
#endif
  }

 private:
#ifdef _WIN32
  static void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = dir + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
        else DeleteFileW(path.c_str());
      } while (FindNextFileW(h, &f));
      FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
  }
  static inline int counter_ = 0;
  std::wstring dir_, old_, oldAppData_;
  bool hadAppData_ = false;
#else
  std::string dir_, old_;
#endif
};

// Names in the working folder, as the file system spells them (UTF-16 on
// Windows, converted from the UTF-8 bytes elsewhere), dot entries left out.
std::set<std::u16string> Listing() {
  std::set<std::u16string> names;
#ifdef _WIN32
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW(L"*", &f);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring n = f.cFileName;
    if (n != L"." && n != L"..") names.insert(std::u16string(n.begin(), n.end()));
  } while (FindNextFileW(h, &f));
  FindClose(h);
#else
  DIR* d = opendir(".");
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    String s = String::FromBytes(reinterpret_cast<const unsigned char*>(n.data()), static_cast<int>(n.size()));
    names.insert(std::u16string(s.Data(), s.Data() + s.Length()));
  }
  closedir(d);
#endif
  return names;
}

std::u16string U16(const String& s) { return std::u16string(s.Data(), s.Data() + s.Length()); }

std::string ReadAll(const String& path) {
  FILE* f = hx_platform::OpenFile(path, String("rb"));
  if (!f) return "<missing>";
  std::string bytes;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  fclose(f);
  return bytes;
}

void WriteAll(const String& path, const std::string& bytes) {
  FILE* f = hx_platform::OpenFile(path, String("wb"));
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// This program started again as a child with one mode; what it wrote and
// how it ended (the exit status as an int: -1 for exit(-1) everywhere).
struct Child {
  int status = -1000;
  std::string out, err;
};

Child RunChild(const std::string& mode, const std::string& input) {
  Child r;
#ifdef _WIN32
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE in_r, in_w, out_r, out_w, err_r, err_w;
  CreatePipe(&in_r, &in_w, &sa, 0);
  CreatePipe(&out_r, &out_w, &sa, 0);
  CreatePipe(&err_r, &err_w, &sa, 0);
  SetHandleInformation(in_w, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(out_r, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_r, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in_r;
  si.hStdOutput = out_w;
  si.hStdError = err_w;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + self_path + "\" --child=" + mode;
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return r;
  CloseHandle(in_r);
  CloseHandle(out_w);
  CloseHandle(err_w);
  DWORD written;
  if (!input.empty()) WriteFile(in_w, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  CloseHandle(in_w);
  auto drain = [](HANDLE h, std::string* to) {
    char buf[512];
    DWORD n;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) to->append(buf, n);
  };
  std::thread err_reader(drain, err_r, &r.err);
  drain(out_r, &r.out);
  err_reader.join();
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  r.status = static_cast<int>(code);
  CloseHandle(out_r);
  CloseHandle(err_r);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
#else
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) return r;
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    std::string arg = "--child=" + mode;
    execl(self_path.c_str(), self_path.c_str(), arg.c_str(), static_cast<char*>(nullptr));
    _exit(99);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) ADD_FAILURE() << "write";
  close(in[1]);
  std::thread err_reader([&] {
    char buf[512];
    ssize_t n;
    while ((n = read(err[0], buf, sizeof buf)) > 0) r.err.append(buf, static_cast<size_t>(n));
  });
  char buf[512];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<size_t>(n));
  err_reader.join();
  close(out[0]);
  close(err[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  // exit(-1) reaches a POSIX parent as 255.
  r.status = WIFEXITED(st) ? static_cast<signed char>(WEXITSTATUS(st)) : 1000 + WTERMSIG(st);
#endif
  return r;
}

// ---------------------------------------------------------------- children

int ChildMain(const std::string& mode) {
  gc_init1();
  if (mode == "print") {
    hxPrint(Text({'a', 0xE9, 0x20AC, 'z'}));
    hxPrint(String());
    hxPrint(String("Settings Loaded"));
    return 0;
  }
  if (mode == "error") hxError(String("Image frame outside surface"));
  if (mode == "quit") hxError(String());
  if (mode == "exe") {
    // The running program's path and the data folder found beside it, as
    // bytes.
    HxDataFolder folder = hx_find_data_folder(hx_executable_dir());
    printf("%s\n%d %s", hx_platform::PathToBytes(hx_platform::ExecutablePath()).c_str(), folder.found ? 1 : 0,
           hx_platform::PathToBytes(folder.root).c_str());
    return 0;
  }
  // Real faults where the platform turns them into signals.
  hx_install_signal_handlers();
  [[maybe_unused]] volatile int zero = 0;
  if (mode == "segv") {
#ifdef _WIN32
    *reinterpret_cast<volatile int*>(static_cast<uintptr_t>(zero)) = 1;
#else
    raise(SIGSEGV);
#endif
  }
  if (mode == "fpe") {
#ifdef _WIN32
    // Not 1 / zero: the compiler turns that into a comparison.
    volatile int seven = 7;
    volatile int x = seven / zero;
    (void)x;
#else
    raise(SIGFPE);
#endif
  }
  if (mode == "ill") {
#ifdef _WIN32
    __builtin_trap();
#else
    raise(SIGILL);
#endif
  }
#ifdef _WIN32
  if (mode.rfind("url:", 0) == 0) {
    // The registered URL handler: writes the one argument it was given,
    // as UTF-16, to the file named after the colon.
    int n = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &n);
    std::wstring arg = n > 2 ? args[2] : L"";
    std::string out = mode.substr(4);
    FILE* f = fopen(out.c_str(), "wb");
    if (f) {
      fwrite(arg.data(), sizeof(wchar_t), arg.size(), f);
      fclose(f);
    }
    return 0;
  }
#endif
  return 2;
}

// ---------------------------------------------------------------- files

TEST(PlatformFiles, NamesBeyondAsciiReachTheFileSystemUnchanged) {
  TempCwd cwd;
  HxGlfwGame game;
  // Latin-1, the euro sign, CJK, and a name that only differs in case.
  const std::vector<String> names = {
      String("plain.txt"), Text({0xE9, 't', 0xE9, '.', 't', 'x', 't'}), Text({0x20AC, '.', 'b', 'i', 'n'}),
      Text({0x65E5, 0x672C, '.', 'd', 'a', 't'}), Text({'C', 'a', 's', 'e', 0xC4, '.', 't', 'x', 't'})};
  for (size_t i = 0; i < names.size(); ++i) {
    std::string bytes = "file " + std::to_string(i);
    WriteAll(names[i], bytes);
    // Read back through the host's own operations.
    EXPECT_EQ(game.LoadString(names[i]).ToUtf8(), bytes);
    int length = -1;
    unsigned char* data = game.LoadData(names[i], &length);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), static_cast<size_t>(length)), bytes);
    free(data);
  }
  std::set<std::u16string> expected;
  for (const String& n : names) expected.insert(U16(n));
  EXPECT_EQ(Listing(), expected);
}

TEST(PlatformFiles, DataPathsMapIntoTheDataFolder) {
  TempCwd cwd;
  HxGlfwGame game;
#ifdef _WIN32
  _wmkdir(L"data");
  _wmkdir(L"data\\\u00e9");
#else
  mkdir("data", 0755);
  mkdir("data/\xc3\xa9", 0755);
#endif
  WriteAll(Text({'d', 'a', 't', 'a', '/', 0xE9, '/', 0x20AC, '.', 'p', 'n', 'g'}), "png!");
  EXPECT_EQ(game.LoadString(Text({'q', 'u', 'o', 'l', 'l', ':', '/', '/', 'd', 'a', 't', 'a', '/', 0xE9, '/',
                                  0x20AC, '.', 'p', 'n', 'g'}))
                .ToUtf8(),
            "png!");
  EXPECT_EQ(game.OpenFile(String("quoll://save/x"), String("rb")), nullptr);
  EXPECT_EQ(game.OpenFile(String("missing.txt"), String("rb")), nullptr);
}

// ---------------------------------------------------------------- state file

TEST(PlatformState, SaveWritesExactlyTheTextAndLeavesNoTemporaryFile) {
  TempCwd cwd;
  HxGlfwGame game;
  EXPECT_EQ(game.LoadState().Length(), 0);  // no file yet
  EXPECT_EQ(game.SaveState(String("1|2|")), 0);
  EXPECT_EQ(ReadAll(String(".quollstate")), "1|2|");
  EXPECT_EQ(game.SaveState(Text({0xE9, '|', 0x20AC})), 0);
  EXPECT_EQ(ReadAll(String(".quollstate")), "\xC3\xA9|\xE2\x82\xAC");
  EXPECT_EQ(U16(game.LoadState()), U16(Text({0xE9, '|', 0x20AC})));
  EXPECT_EQ(game.SaveState(String()), 0);
  EXPECT_EQ(ReadAll(String(".quollstate")), "");
  EXPECT_EQ(Listing(), std::set<std::u16string>{u".quollstate"});
}

TEST(PlatformState, SaveOverAFolderFailsAndKeepsIt) {
  TempCwd cwd;
  HxGlfwGame game;
#ifdef _WIN32
  _wmkdir(L".quollstate");
#else
  mkdir(".quollstate", 0755);
#endif
  EXPECT_LT(hx_platform::ReplaceFileContents(String(".quollstate"), "1|"), 0);
  EXPECT_EQ(Listing(), std::set<std::u16string>{u".quollstate"});
  // The game's save goes to the player's folder instead.
  EXPECT_EQ(game.SaveState(String("1|")), 0);
  EXPECT_EQ(Listing(), (std::set<std::u16string>{u".quollstate", u"roaming"}));
  EXPECT_EQ(game.LoadState().ToUtf8(), "1|");
}

#ifdef _WIN32
const std::string kOld = "0|0|0|old|";

std::wstring WorkingFolder() {
  wchar_t buf[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, buf);
  return buf;
}

// The state file in the player's folder (%APPDATA% is set by TempCwd).
String AppDataState() {
  std::wstring p = WorkingFolder() + L"\\roaming\\Zelk\\.quollstate";
  return String(p.c_str(), static_cast<int>(p.size()));
}

// Each case prepares the folder (the old state is already there); the
// replace in the working folder fails with the code given and keeps the old
// state, and the game's save then goes to %APPDATA%\Zelk.
struct FailCase {
  const char* name;
  int expected;
};

TEST(PlatformState, AFailedWindowsSaveKeepsTheOldStateAndGoesToTheAppDataFolder) {
  for (const FailCase& c : {FailCase{"read-only target", -1}, FailCase{"target locked by another program", -1},
                            FailCase{"a folder in the file's place", -1}}) {
    SCOPED_TRACE(c.name);
    TempCwd cwd;
    HxGlfwGame game;
    std::string name = c.name;
    if (name == "a folder in the file's place") {
      _wmkdir(L".quollstate");
    } else {
      WriteAll(String(".quollstate"), kOld);
    }
    HANDLE lock = INVALID_HANDLE_VALUE;
    if (name == "read-only target") SetFileAttributesW(L".quollstate", FILE_ATTRIBUTE_READONLY);
    if (name == "target locked by another program")
      lock = CreateFileW(L".quollstate", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);

    EXPECT_EQ(hx_platform::ReplaceFileContents(String(".quollstate"), "1|new|"), c.expected);
    EXPECT_EQ(game.SaveState(String("1|new|")), 0);
    EXPECT_EQ(ReadAll(AppDataState()), "1|new|");
    EXPECT_EQ(game.LoadState().ToUtf8(), "1|new|");
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    SetFileAttributesW(L".quollstate", FILE_ATTRIBUTE_NORMAL);
    if (name != "a folder in the file's place") {
      EXPECT_EQ(ReadAll(String(".quollstate")), kOld);
    }
    EXPECT_EQ(Listing(), (std::set<std::u16string>{u".quollstate", u"roaming"}));
    if (name != "a folder in the file's place") {
      // Once the obstacle is gone the next save goes to the working folder
      // again, and that copy, now the newer one, is what a load reads.
      Sleep(20);
      EXPECT_EQ(game.SaveState(String("2|newer|")), 0);
      EXPECT_EQ(ReadAll(String(".quollstate")), "2|newer|");
      EXPECT_EQ(game.LoadState().ToUtf8(), "2|newer|");
      EXPECT_EQ(ReadAll(AppDataState()), "1|new|");
    }
  }
}

TEST(PlatformState, AWindowsSaveThatCanGoNowhereReportsTheWorkingFoldersCode) {
  TempCwd cwd;
  HxGlfwGame game;
  WriteAll(String(".quollstate"), kOld);
  SetFileAttributesW(L".quollstate", FILE_ATTRIBUTE_READONLY);
  _wmkdir(L"roaming");
  // A file where the Zelk folder would go: no folder can be made.
  WriteAll(String("roaming\\Zelk"), "in the way");
  EXPECT_EQ(game.SaveState(String("1|new|")), -1);
  SetFileAttributesW(L".quollstate", FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadAll(String(".quollstate")), kOld);
  EXPECT_EQ(game.LoadState().ToUtf8(), kOld);
}

TEST(PlatformState, WindowsSaveKeepsTheHiddenAttributeAndClearsOldTemporaryFiles) {
  TempCwd cwd;
  HxGlfwGame game;
  WriteAll(String(".quollstate"), kOld);
  SetFileAttributesW(L".quollstate", FILE_ATTRIBUTE_HIDDEN);
  // Temporary files of a save killed an hour ago (of this game's pattern,
  // or not), and one of a save that may be going on right now in another
  // copy of the game.
  const wchar_t* old[] = {L".quollstate.tmp.999991.Ab12Cd", L".quollstate.tmp999991", L".quollstate.tmp.1.abc",
                          L".quollstate.tmp.1.Ab12Cd.bak", L"notes.tmp.1.Ab12Cd"};
  for (const wchar_t* name : old) {
    std::wstring n = name;
    WriteAll(String(n.c_str(), static_cast<int>(n.size())), "stale");
    HANDLE h = CreateFileW(name, FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    t.QuadPart -= 3600ULL * 10000000ULL;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
  }
  WriteAll(String(".quollstate.tmp.999992.Zz99Zz"), "busy");

  EXPECT_EQ(game.SaveState(String("2|")), 0);
  EXPECT_EQ(ReadAll(String(".quollstate")), "2|");
  EXPECT_TRUE(GetFileAttributesW(L".quollstate") & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(Listing(), (std::set<std::u16string>{u".quollstate", u".quollstate.tmp.999992.Zz99Zz",
                                                 u".quollstate.tmp999991", u".quollstate.tmp.1.abc",
                                                 u".quollstate.tmp.1.Ab12Cd.bak", u"notes.tmp.1.Ab12Cd"}));
}

// In a folder that takes no new file (set up by the test run, see
// tests/platform/CMakeLists.txt) the save rewrites the file in place: under
// an exclusive lock that waits for a reader's shared one, and with the
// whole new text.
TEST(PlatformState, AWindowsFolderThatTakesNoNewFileGetsTheFileRewrittenInPlace) {
  const char* folder = getenv("ZELK_NO_NEW_FILES");
  if (!folder) GTEST_SKIP() << "no folder that takes no new file was set up";
  std::wstring dir(folder, folder + strlen(folder));
  std::wstring probe = dir + L"\\probe";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    DeleteFileW(probe.c_str());
    GTEST_SKIP() << "the file system could not make the folder refuse new files";
  }
  wchar_t old[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, old);
  ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
  // The old text is "old|" (4 bytes); each save here is longer or shorter.
  EXPECT_EQ(hx_platform::ReplaceFileContents(String(".quollstate"), "a longer new text|"), 0);
  EXPECT_EQ(ReadAll(String(".quollstate")), "a longer new text|");

  HANDLE reader = CreateFileW(L".quollstate", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  OVERLAPPED at = {};
  ASSERT_TRUE(LockFileEx(reader, 0, 0, MAXDWORD, MAXDWORD, &at));
  std::thread release([&] {
    Sleep(300);
    OVERLAPPED at2 = {};
    UnlockFileEx(reader, 0, MAXDWORD, MAXDWORD, &at2);
  });
  auto t0 = std::chrono::steady_clock::now();
  int saved = hx_platform::ReplaceFileContents(String(".quollstate"), "short|");
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  release.join();
  CloseHandle(reader);
  EXPECT_EQ(saved, 0);
  EXPECT_GE(ms, 200.0) << "the rewrite waited for the reader";
  EXPECT_EQ(ReadAll(String(".quollstate")), "short|");
  // The game's save goes the same way, with nothing in %APPDATA%.
  {
    TempCwd cwd;  // for its %APPDATA%
    std::wstring appData = WorkingFolder() + L"\\roaming";
    ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
    HxGlfwGame game;
    EXPECT_EQ(game.SaveState(String("old|")), 0);
    EXPECT_EQ(ReadAll(String(".quollstate")), "old|");
    EXPECT_EQ(GetFileAttributesW(appData.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  SetCurrentDirectoryW(old);
}

// A reader holding the file under a shared lock (as every load does) keeps
// a rewrite in place out until it is done; a held exclusive lock keeps a
// load from reading a half-written file.
TEST(PlatformState, WindowsLoadsWaitForALockedRewrite) {
  TempCwd cwd;
  WriteAll(String(".quollstate"), kOld);
  HANDLE h = CreateFileW(L".quollstate", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  OVERLAPPED at = {};
  ASSERT_TRUE(LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &at));
  std::thread release([&] {
    Sleep(300);
    OVERLAPPED at2 = {};
    UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &at2);
  });
  auto t0 = std::chrono::steady_clock::now();
  std::string got = hx_platform::ReadRegularFile(String(".quollstate"), 1000);
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  release.join();
  CloseHandle(h);
  EXPECT_EQ(got, kOld);
  EXPECT_GE(ms, 200.0);
}
#endif

#ifndef _WIN32
// ---------------------------------------------------------------- byte names

// A POSIX name is bytes: every name goes into the game's text and comes
// back as the same bytes; UTF-8 reads as its characters (beyond U+FFFF as a
// surrogate pair), any other byte as U+DC80 + (byte - 0x80).
TEST(PlatformPaths, NamesAreBytesThatComeBackExactly) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<Char> text;
  } cases[] = {
      {"ASCII", "bin/zelk", {'b', 'i', 'n', '/', 'z', 'e', 'l', 'k'}},
      {"two and three bytes", "\xc3\xa9\xe2\x82\xac", {0xE9, 0x20AC}},
      {"emoji (four bytes)", "/home/u/\xf0\x9f\x8e\xae/bin",
       {'/', 'h', 'o', 'm', 'e', '/', 'u', '/', 0xD83C, 0xDFAE, '/', 'b', 'i', 'n'}},
      {"highest character", "\xf4\x8f\xbf\xbf", {0xDBFF, 0xDFFF}},
      {"Latin-1 byte", "caf\xe9", {'c', 'a', 'f', 0xDCE9}},
      {"lone continuation byte", "\x80", {0xDC80}},
      {"cut-off sequence", "a\xe2\x82", {'a', 0xDCE2, 0xDC82}},
      {"overlong slash", "\xc0\xaf", {0xDCC0, 0xDCAF}},
      {"encoded surrogate", "\xed\xa0\x80", {0xDCED, 0xDCA0, 0xDC80}},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", {0xDCF4, 0xDC90, 0xDC80, 0xDC80}},
      {"the bytes an escape would write", "\xed\xb3\xa9", {0xDCED, 0xDCB3, 0xDCA9}},
      {"every high byte", "", {}},
  };
  for (int b = 0x80; b <= 0xff; ++b) cases[11].bytes += static_cast<char>(b);
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    String text = hx_platform::PathFromBytes(c.bytes);
    if (!c.text.empty()) {
      EXPECT_EQ(U16(text), std::u16string(c.text.begin(), c.text.end()));
    }
    EXPECT_EQ(hx_platform::PathToBytes(text), c.bytes);
  }
  // Text the game makes itself comes out as plain UTF-8.
  EXPECT_EQ(hx_platform::PathToBytes(Text({'d', 'a', 't', 'a', '/', 0xE9, 0xD83C, 0xDFAE})),
            "data/\xc3\xa9\xf0\x9f\x8e\xae");
}

// The program started from folders with odd names: it knows its own path
// to the byte and finds the data folder beside it.
TEST(PlatformPaths, TheExecutablesFolderByOddNames) {
  TempCwd cwd;
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  const char* names[] = {"\xf0\x9f\x8e\xae", "caf\xe9 latin1", "with  spaces", "-leading-dash", "mixed \xf0\x9f\x8e\xae\xff"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string folder = std::string(here) + "/" + name;
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder + "/bin").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder + "/bin/data").c_str(), 0755), 0);
    { std::ofstream(folder + "/bin/data/brio_font.png") << "png"; }
    const std::string exe = folder + "/bin/platform_tests";
    // A hard link where the file system allows, else a copy.
    if (link(self_path.c_str(), exe.c_str()) != 0) {
      std::ifstream from(self_path, std::ios::binary);
      std::ofstream(exe, std::ios::binary) << from.rdbuf();
      chmod(exe.c_str(), 0755);
    }
    // Started from an empty folder elsewhere: no ./data to find.
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      if (chdir("/") != 0) _exit(98);
      execl(exe.c_str(), exe.c_str(), "--child=exe", static_cast<char*>(nullptr));
      _exit(99);
    }
    close(out[1]);
    std::string got;
    char buf[512];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
    close(out[0]);
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(got, exe + "\n1 " + folder + "/bin/data/");
  }
}
#endif

// ---------------------------------------------------------------- console

TEST(PlatformConsole, LogLinesAreUtf8WithLineFeedsOnly) {
  Child c = RunChild("print", "");
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.out, "a\xC3\xA9\xE2\x82\xACz\n\nSettings Loaded\n");
}

TEST(PlatformConsole, FatalErrorReportsAndEndsWithoutInput) {
  Child c = RunChild("error", "");
  EXPECT_EQ(c.status, -1);
  EXPECT_EQ(c.out, "Quoll Runtime Error : Image frame outside surface\n\n");
  EXPECT_EQ(c.err, "{{~~~~}}\n\n");
}

TEST(PlatformConsole, StopRoutineReadsItsCommandsFromStandardInput) {
  // "r" resumes (the report comes again), "q" quits with 0; a console
  // sends CR LF line ends, a pipe from a POSIX tool plain line feeds.
  for (const char* input : {"r\nq\n", "r\r\nq\r\n"}) {
    Child c = RunChild("error", input);
    EXPECT_EQ(c.status, 0) << input;
    EXPECT_EQ(c.out, "Quoll Runtime Error : Image frame outside surface\n\n"
                     "Quoll Runtime Error : Image frame outside surface\n\n");
  }
  Child bad = RunChild("error", "x\n");
  EXPECT_EQ(bad.status, -1);
  EXPECT_NE(bad.out.find("????? x\n ?????"), std::string::npos) << bad.out;
}

TEST(PlatformConsole, QuitEndsWithZeroAndNoOutput) {
  Child c = RunChild("quit", "");
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(c.err, "");
}

TEST(PlatformSignals, FaultsBecomeRuntimeErrorReports) {
  const struct {
    const char* mode;
    const char* message;
  } cases[] = {{"segv", "Memory access violation"}, {"fpe", "Floating point exception"}, {"ill", "Illegal instruction"}};
  for (const auto& c : cases) {
    Child r = RunChild(c.mode, "");
    EXPECT_EQ(r.status, -1) << c.mode;
    EXPECT_EQ(r.out, std::string("Quoll Runtime Error : ") + c.message + "\n\n") << c.mode;
    EXPECT_EQ(r.err, "{{~~~~}}\n\n") << c.mode;
  }
}

// ---------------------------------------------------------------- date

TEST(PlatformDate, GetDateIsTheLocalTime) {
  HxGlfwGame game;
  Array<int> date(9);
  date[7] = 77;
  date[8] = 88;
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fields[6];
#ifdef _WIN32
    // The system's own idea of the local time, not the C library's.
    SYSTEMTIME st;
    GetLocalTime(&st);
    int want[6] = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
#else
    time_t now = time(nullptr);
    struct tm lt;
    localtime_r(&now, &lt);
    int want[6] = {lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec};
#endif
    game.GetDate(date);
    for (int i = 0; i < 6; ++i) fields[i] = date[i];
    // Read within the same second: every field matches.
    if (std::equal(fields, fields + 6, want)) {
      EXPECT_EQ(date[6], 0);
      EXPECT_EQ(date[7], 77);
      EXPECT_EQ(date[8], 88);
      return;
    }
  }
  ADD_FAILURE() << "GetDate never agreed with the system's local time";
}

// ---------------------------------------------------------------- URLs

template <class Pred>
bool WaitFor(Pred pred, int ms) {
  for (int t = 0; t < ms; t += 50) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return pred();
}

TEST(PlatformUrl, OpenUrlHandsTheWholeTextToTheDesktop) {
  TempCwd cwd;
  HxGlfwGame game;
  // Non-ASCII text and the characters a shell would act on.
  const String url = Text({'z', 'e', 'l', 'k', '-', 't', 'e', 's', 't', ':', '/', '/', 0xE9, '/', 0x20AC, '?', 'a', '=',
                           '1', '&', 'b', '=', '$', '(', 'x', ')', ';', '|'});
#ifdef _WIN32
  // A URL scheme of our own whose handler is this program.
  wchar_t cwdbuf[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwdbuf);
  std::string out;
  for (wchar_t* p = cwdbuf; *p; ++p) out += static_cast<char>(*p);
  out += "\\url.out";
  std::wstring wself(self_path.begin(), self_path.end()), wout(out.begin(), out.end());
  std::wstring command = L"\"" + wself + L"\" \"--child=url:" + wout + L"\" \"%1\"";
  auto registerScheme = [&](HKEY root) {
    HKEY key, cmd;
    if (RegCreateKeyExW(root, L"Software\\Classes\\zelk-test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
      return;
    RegSetValueExW(key, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    RegCreateKeyExW(key, L"shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &cmd, nullptr);
    RegSetValueExW(cmd, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(cmd);
    RegCloseKey(key);
  };
  // Per user, as a program registers itself on Windows; Wine's shell only
  // sees the machine-wide classes, so there too when the first is not seen.
  registerScheme(HKEY_CURRENT_USER);
  HKEY seen;
  bool machine = false;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"zelk-test", 0, KEY_READ, &seen) == ERROR_SUCCESS) {
    RegCloseKey(seen);
  } else {
    registerScheme(HKEY_LOCAL_MACHINE);
    machine = true;
  }
  game.OpenUrl(url);
  bool arrived = WaitFor([&] { return ReadAll(String("url.out")) != "<missing>"; }, 20000);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\zelk-test");
  if (machine) RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\zelk-test");
  ASSERT_TRUE(arrived);
  std::string got = ReadAll(String("url.out"));
  std::u16string text;
  for (size_t i = 0; i + 1 < got.size(); i += 2)
    text += static_cast<char16_t>(static_cast<unsigned char>(got[i]) | static_cast<unsigned char>(got[i + 1]) << 8);
  EXPECT_EQ(text, U16(url));
#else
  // xdg-open found on the PATH: a script that records its one argument.
  {
    std::ofstream s("xdg-open");
    s << "#!/bin/sh\nprintf '%s' \"$1\" > url.out.part && mv url.out.part url.out\n";
  }
  chmod("xdg-open", 0755);
  std::string old_path = getenv("PATH") ? getenv("PATH") : "";
  char here[4096];
  std::string dir = getcwd(here, sizeof here) ? here : ".";
  setenv("PATH", (dir + ":" + old_path).c_str(), 1);
  game.OpenUrl(url);
  setenv("PATH", old_path.c_str(), 1);
  ASSERT_TRUE(WaitFor([&] { return ReadAll(String("url.out")) != "<missing>"; }, 10000));
  EXPECT_EQ(ReadAll(String("url.out")), url.ToUtf8());
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  self_path = module;
#else
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  self_path = n > 0 ? std::string(exe, static_cast<size_t>(n)) : argv[0];
#endif
  if (argc > 1 && strncmp(argv[1], "--child=", 8) == 0) return ChildMain(argv[1] + 8);
  gc_init1();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
