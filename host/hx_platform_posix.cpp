// The platform layer on Linux and other POSIX systems.
#include "host/hx_platform.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace hx_platform {

void InitProcess() {}

FILE* OpenFile(const String& path, const String& mode) {
  return fopen(path.ToUtf8().c_str(), mode.ToUtf8().c_str());
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
      return String::FromBytes(reinterpret_cast<const unsigned char*>(buf.data()), static_cast<int>(n));
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
