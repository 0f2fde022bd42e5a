// The platform layer on Linux and other POSIX systems.
#include "host/hx_platform.h"

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace hx_platform {

void InitProcess() {}

FILE* OpenFile(const String& path, const String& mode) {
  return fopen(PathToBytes(path).c_str(), mode.ToUtf8().c_str());
}

String UserDataFolder() {
  // As the XDG base directory rules say: a relative XDG_DATA_HOME is not used.
  const char* xdg = getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return PathFromBytes(std::string(xdg) + "/zelk");
  std::string home;
  if (const char* env = getenv("HOME")) home = env;
  if (home.empty() || home[0] != '/') {
    struct passwd* pw = getpwuid(getuid());
    home = pw && pw->pw_dir ? pw->pw_dir : "";
  }
  if (home.empty() || home[0] != '/') return String();
  return PathFromBytes(home + "/.local/share/zelk");
}

void OpenUrl(const String& url) {
  // xdg-open gets the URL as its one argument; no shell ever sees it.
  // The middle process exits at once, so the opener is not our child and
  // leaves no zombie behind.
  std::string text = url.ToUtf8();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (fork() == 0) {
      char* const args[] = {const_cast<char*>("xdg-open"), const_cast<char*>(text.c_str()), nullptr};
      execvp("xdg-open", args);
      _exit(127);
    }
    _exit(0);
  }
  if (pid > 0) waitpid(pid, nullptr, 0);
}

String ExecutablePath() {
#ifdef __linux__
  std::string buf(256, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", &buf[0], buf.size());
    if (n <= 0) return String();
    if (static_cast<size_t>(n) < buf.size())
      return PathFromBytes(buf.substr(0, static_cast<size_t>(n)));
    if (buf.size() >= 65536) return String();
    buf.resize(buf.size() * 2);
  }
#else
  return String();
#endif
}

void StateSaved() {}

bool RunFrames(void (*)(void*, double), void*) { return false; }

bool LocalTime(time_t t, struct tm* out) { return localtime_r(&t, out) != nullptr; }

void InitConsole() {}

String DisplayPath(const String& path) { return path; }

bool ShowUnseenError(const String&, FILE*) { return false; }

bool ReadConsoleLine(char* line, int size) { return fgets(line, size, stdin) != nullptr; }

void InstallFatalSignals(void (*handler)(int)) {
  signal(SIGSEGV, handler);
  signal(SIGILL, handler);
  signal(SIGFPE, handler);
}

}  // namespace hx_platform
