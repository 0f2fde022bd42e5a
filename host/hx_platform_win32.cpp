// The platform layer on Windows: UTF-16 file names, the shell's "open",
// the console and an atomic file replace through MoveFileExW.
#include "host/hx_platform.h"

// windows.h first: the other Windows headers build on it.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>

namespace hx_platform {

namespace {

std::wstring Wide(const String& s) { return std::wstring(s.Data(), s.Data() + s.Length()); }

// Temporary files of saves that never finished (the process was killed
// between writing and the replace) are removed once they are this old; a
// younger one may still belong to a copy of the game that is saving now.
const ULONGLONG kStaleTempAge = 10ULL * 60 * 10000000;  // 10 minutes in 100 ns units

void RemoveStaleTemps(const std::wstring& target, const std::wstring& own) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((target + L".tmp*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::wstring dir;
  size_t slash = target.find_last_of(L"\\/");
  if (slash != std::wstring::npos) dir = target.substr(0, slash + 1);
  FILETIME now_ft;
  GetSystemTimeAsFileTime(&now_ft);
  ULARGE_INTEGER now;
  now.LowPart = now_ft.dwLowDateTime;
  now.HighPart = now_ft.dwHighDateTime;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::wstring path = dir + found.cFileName;
    if (path == own) continue;
    ULARGE_INTEGER written;
    written.LowPart = found.ftLastWriteTime.dwLowDateTime;
    written.HighPart = found.ftLastWriteTime.dwHighDateTime;
    if (now.QuadPart > written.QuadPart && now.QuadPart - written.QuadPart > kStaleTempAge)
      DeleteFileW(path.c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(bytes.size() - at < (1u << 30) ? bytes.size() - at : (1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + at, chunk, &written, nullptr) || written == 0) return false;
    at += written;
  }
  return true;
}

}  // namespace

void InitProcess() { timeBeginPeriod(1); }

FILE* OpenFile(const String& path, const String& mode) {
  return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

void OpenUrl(const String& url) {
  // Shell extensions that open some kinds of URL use COM; a second call
  // only counts up, which is harmless on the one thread the game has.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

String ExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, &buf[0], static_cast<DWORD>(buf.size()));
    if (n == 0) return String();
    if (n < buf.size()) return String(buf.c_str(), static_cast<int>(n));
    if (buf.size() >= 32768) return String();  // longer than any Windows path
    buf.resize(buf.size() * 2);
  }
}

void StateSaved() {}

bool RunFrames(void (*)(void*, double), void*) { return false; }

bool LocalTime(time_t t, struct tm* out) { return localtime_s(out, &t) == 0; }

void InitConsole() {
  static bool done = false;
  if (done) return;
  done = true;
  // Binary streams: a line ends with a line feed only, the same bytes as on
  // every other platform, whether the output goes to a file or a pipe.
  FILE* streams[] = {stdout, stderr};
  for (FILE* stream : streams) {
    int fd = _fileno(stream);
    if (fd >= 0) _setmode(fd, _O_BINARY);
  }
  // A real console shows the UTF-8 bytes as text only in its UTF-8 code page.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE && GetFileType(out) == FILE_TYPE_CHAR) SetConsoleOutputCP(CP_UTF8);
}

bool ReadConsoleLine(char* line, int size) {
  // stdin stays a text stream: a line typed or piped as "r\r\n" reads as "r\n".
  return fgets(line, size, stdin) != nullptr;
}

void InstallFatalSignals(void (*handler)(int)) {
  // The C runtime's unhandled-exception filter raises these for access
  // violations, illegal instructions and arithmetic faults.
  signal(SIGSEGV, handler);
  signal(SIGILL, handler);
  signal(SIGFPE, handler);
}

bool IsRegularFile(const String& path) {
  struct _stat64 st;
  return _wstat64(Wide(path).c_str(), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
}

std::string ReadRegularFile(const String& path, size_t max) {
  std::string bytes;
  FILE* f = OpenFile(path, String("rb"));
  if (!f) return bytes;
  struct _stat64 st;
  if (_fstat64(_fileno(f), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG) {
    // Grown as the file is read: max bounds the file, it is not a size to
    // set aside.
    char chunk[16384];
    size_t got;
    while (bytes.size() < max && (got = fread(chunk, 1, std::min(sizeof chunk, max - bytes.size()), f)) > 0)
      bytes.append(chunk, got);
  }
  fclose(f);
  return bytes;
}

int ReplaceFileContents(const String& path, const std::string& bytes) {
  std::wstring target = Wide(path);
  // A state file the player made read-only is left alone (Windows itself
  // refuses to replace a read-only file; some emulations do not).
  DWORD old = GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) return -2;
  std::wstring temp = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
  RemoveStaleTemps(target, temp);

  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  bool ok = WriteAll(file, bytes);
  ok = ok && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;

  // The new file looks like the old one: hidden stays hidden.
  if (ok && old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_DIRECTORY)) {
    DWORD keep = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (keep) SetFileAttributesW(temp.c_str(), keep);
  }
  ok = ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) {
    SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temp.c_str());
    return -2;
  }
  return 0;
}

}  // namespace hx_platform
