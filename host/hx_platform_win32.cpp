// The platform layer on Windows: UTF-16 file names, the shell's "open",
// the console, an atomic file replace through MoveFileExW (or a rewrite in
// place under LockFileEx) and the player's folder under %APPDATA%.
#include "host/hx_platform.h"

// windows.h first: the other Windows headers build on it.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>

namespace hx_platform {

namespace {

std::wstring Wide(const String& s) { return std::wstring(s.Data(), s.Data() + s.Length()); }

// Temporary files of saves that never finished (the process was killed
// between writing and the replace) are removed once they are this old; a
// younger one may still belong to a copy of the game that is saving now.
const ULONGLONG kStaleTempAge = 5ULL * 60 * 10000000;  // 5 minutes in 100 ns units
// How long a lock held by another copy is waited for (a save holds it for
// milliseconds).
const int kLockWaitMs = 1000;
// 100 ns units between 1601 (FILETIME) and 1970.
const int64_t kEpochDelta = 116444736000000000LL;

bool IsAlnum(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// "<name>.tmp.<digits>.<six letters or digits>", as ReplaceFileContents
// names its temporary files; nothing more or less.
bool IsTempOf(const std::wstring& name, const std::wstring& base) {
  const std::wstring prefix = base + L".tmp.";
  if (name.size() <= prefix.size() || _wcsnicmp(name.c_str(), prefix.c_str(), prefix.size()) != 0) return false;
  size_t i = prefix.size(), digits = 0;
  while (i < name.size() && name[i] >= L'0' && name[i] <= L'9') ++i, ++digits;
  if (digits == 0 || i >= name.size() || name[i] != L'.') return false;
  ++i;
  if (name.size() - i != 6) return false;
  for (; i < name.size(); ++i)
    if (!IsAlnum(name[i])) return false;
  return true;
}

void RemoveStaleTemps(const std::wstring& target) {
  std::wstring dir, base = target;
  size_t slash = target.find_last_of(L"\\/");
  if (slash != std::wstring::npos) {
    dir = target.substr(0, slash + 1);
    base = target.substr(slash + 1);
  }
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((target + L".tmp.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME now_ft;
  GetSystemTimeAsFileTime(&now_ft);
  ULARGE_INTEGER now;
  now.LowPart = now_ft.dwLowDateTime;
  now.HighPart = now_ft.dwHighDateTime;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    if (!IsTempOf(found.cFileName, base)) continue;
    ULARGE_INTEGER written;
    written.LowPart = found.ftLastWriteTime.dwLowDateTime;
    written.HighPart = found.ftLastWriteTime.dwHighDateTime;
    if (now.QuadPart > written.QuadPart && now.QuadPart - written.QuadPart > kStaleTempAge)
      DeleteFileW((dir + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// Six letters or digits that differ from call to call and from process to
// process; CREATE_NEW catches the rare repeat.
std::wstring RandomPart() {
  static unsigned long long state = 0;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  state += static_cast<unsigned long long>(counter.QuadPart) ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 32);
  state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  unsigned long long x = state ^ (state >> 29);
  static const wchar_t kChars[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::wstring out;
  for (int i = 0; i < 6; ++i) {
    out += kChars[x % 62];
    x /= 62;
  }
  return out;
}

// A lock on the whole file, waited for up to kLockWaitMs; Windows locks are
// kept by every reader and writer, so a held one blocks reads too.
bool LockWhole(HANDLE file, bool exclusive) {
  for (int waited = 0;; ++waited) {
    OVERLAPPED at = {};
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(file, flags, 0, MAXDWORD, MAXDWORD, &at)) return true;
    DWORD err = GetLastError();
    if (err != ERROR_LOCK_VIOLATION && err != ERROR_IO_PENDING) return false;
    if (waited >= kLockWaitMs) return false;
    Sleep(1);
  }
}

void UnlockWhole(HANDLE file) {
  OVERLAPPED at = {};
  UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &at);
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
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  if (GetFileType(file) == FILE_TYPE_DISK) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      // A lock held for longer than a save takes is not waited for.
      bool locked = LockWhole(file, false);
      // Grown as the file is read: max bounds the file, it is not a size to
      // set aside.
      char chunk[16384];
      DWORD got = 0;
      while (bytes.size() < max &&
             ReadFile(file, chunk, static_cast<DWORD>(std::min(sizeof chunk, max - bytes.size())), &got, nullptr) &&
             got > 0)
        bytes.append(chunk, got);
      if (locked) UnlockWhole(file);
    }
  }
  CloseHandle(file);
  return bytes;
}

namespace {

bool WriteAt0(HANDLE file, const std::string& bytes) {
  LARGE_INTEGER zero = {};
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) && WriteAll(file, bytes) && SetEndOfFile(file);
}

// For a folder in which no temporary file can be made: the file itself
// rewritten under an exclusive lock, with the old bytes put back when the
// new ones cannot all be written.
int RewriteInPlace(const std::wstring& target, const std::string& bytes) {
  HANDLE file = CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  if (!LockWhole(file, true)) {
    CloseHandle(file);
    return -1;
  }
  std::string old;
  char chunk[16384];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) old.append(chunk, got);
  bool ok = WriteAt0(file, bytes) && FlushFileBuffers(file);
  if (!ok && WriteAt0(file, old)) FlushFileBuffers(file);
  UnlockWhole(file);
  CloseHandle(file);
  return ok ? 0 : -2;
}

}  // namespace

int ReplaceFileContents(const String& path, const std::string& bytes) {
  std::wstring target = Wide(path);
  DWORD old = GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES) {
    // A folder in the file's place, and a state file the player made
    // read-only, are left alone (Windows itself refuses to replace a
    // read-only file; some emulations do not).
    if (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return -1;
    // A file another program holds open without sharing cannot be replaced;
    // asking first keeps the answer the same as for a read-only one.
    HANDLE probe = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return -1;
    CloseHandle(probe);
  }
  RemoveStaleTemps(target);

  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD err = 0;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = target + L".tmp." + std::to_wstring(GetCurrentProcessId()) + L"." + RandomPart();
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    err = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (file == INVALID_HANDLE_VALUE && err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    // A folder that takes no new file, around a file that can be written.
    if (old != INVALID_FILE_ATTRIBUTES && err == ERROR_ACCESS_DENIED) return RewriteInPlace(target, bytes);
    return -1;
  }
  bool ok = WriteAll(file, bytes);
  ok = ok && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  int result = ok ? 0 : -2;

  // The new file looks like the old one: hidden stays hidden.
  if (ok && old != INVALID_FILE_ATTRIBUTES) {
    DWORD keep = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (keep) SetFileAttributesW(temp.c_str(), keep);
  }
  if (ok && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) result = -1;
  if (result != 0) {
    SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temp.c_str());
  }
  return result;
}

String UserDataFolder() {
  std::wstring base;
  DWORD n = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
  if (n > 1) {
    base.resize(n);
    n = GetEnvironmentVariableW(L"APPDATA", &base[0], n);
    base.resize(n);
  }
  if (base.empty()) {
    wchar_t buf[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf) == S_OK) base = buf;
  }
  if (base.empty()) return String();
  if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
  base += L"Zelk";
  return String(base.c_str(), static_cast<int>(base.size()));
}

bool MakeFolders(const String& folder) {
  std::wstring path = Wide(folder);
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  if (path.empty()) return false;
  DWORD at = GetFileAttributesW(path.c_str());
  if (at != INVALID_FILE_ATTRIBUTES) return (at & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // Each missing folder from the top down (a drive or share root exists).
  for (size_t i = path.find_first_of(L"\\/", 3);; i = path.find_first_of(L"\\/", i + 1)) {
    std::wstring part = i == std::wstring::npos ? path : path.substr(0, i);
    if (GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(part.c_str(), nullptr);
    if (i == std::wstring::npos) break;
  }
  at = GetFileAttributesW(path.c_str());
  return at != INVALID_FILE_ATTRIBUTES && (at & FILE_ATTRIBUTE_DIRECTORY);
}

bool StampOf(const String& path, FileStamp* out) {
  HANDLE file = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(file);
  if (!ok) return false;
  ULARGE_INTEGER t;
  t.LowPart = info.ftLastWriteTime.dwLowDateTime;
  t.HighPart = info.ftLastWriteTime.dwHighDateTime;
  out->written = (static_cast<int64_t>(t.QuadPart) - kEpochDelta) * 100;
  out->device = info.dwVolumeSerialNumber;
  out->file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool SetWrittenTime(const String& path, int64_t written) {
  HANDLE file = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ULARGE_INTEGER t;
  t.QuadPart = static_cast<ULONGLONG>(written / 100 + kEpochDelta);
  FILETIME ft;
  ft.dwLowDateTime = t.LowPart;
  ft.dwHighDateTime = t.HighPart;
  bool ok = SetFileTime(file, nullptr, nullptr, &ft);
  CloseHandle(file);
  return ok;
}

}  // namespace hx_platform
