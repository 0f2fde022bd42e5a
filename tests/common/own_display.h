// An X server of a test's own (Xvfb, on a free display number), for tests
// that change what the whole display says, such as the desktop's Xft.dpi,
// or that need a screen of another size than the shared one. While it
// lives, DISPLAY names it, so that the game, xdotool and ImageMagick all
// use it; the display before is put back at the end.
#pragma once
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace own_display {

class Display {
 public:
  std::string name;  // ":N" once the server is up

  // screen: "WIDTHxHEIGHT"; resources: lines for xrdb ("Xft.dpi: 192"),
  // loaded into the server's resource database when not empty.
  explicit Display(const std::string& screen, const std::string& resources = "") {
    if (const char* d = getenv("DISPLAY")) before_ = d, hadBefore_ = true;
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      std::string scr = screen + "x24";
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", scr.c_str(), "-noreset", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    FILE* in = fdopen(fds[0], "r");
    int number = -1;
    if (in) {
      if (fscanf(in, "%d", &number) != 1) number = -1;
      fclose(in);
    }
    if (number < 0) return;
    name = ":" + std::to_string(number);
    setenv("DISPLAY", name.c_str(), 1);
    if (!resources.empty()) {
      FILE* x = popen("xrdb -merge 2>&1", "w");
      if (x) {
        fputs(resources.c_str(), x);
        fputc('\n', x);
        if (pclose(x) != 0) name.clear();
      } else {
        name.clear();
      }
    }
  }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;
  ~Display() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (hadBefore_) setenv("DISPLAY", before_.c_str(), 1);
    else unsetenv("DISPLAY");
  }
  bool Ok() const { return !name.empty(); }

 private:
  pid_t pid_ = -1;
  std::string before_;
  bool hadBefore_ = false;
};

}  // namespace own_display
