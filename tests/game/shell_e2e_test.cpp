// The real game under the X display (Xvfb in CI): it opens its window,
// shows the loading screen, draws a picture, ends with F4 without saving and
// saves when it loses the focus. Driven with xdotool and ImageMagick.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Sh(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class RunningGame {
 public:
  std::string dir;
  pid_t pid = -1;
  std::string window;

  RunningGame() {
    char tmpl[] = "/tmp/zelk-e2e-XXXXXX";
    dir = mkdtemp(tmpl);
    std::string data = std::string(ZELK_SOURCE_DIR) + "/data";
    if (symlink(data.c_str(), (dir + "/data").c_str()) != 0) dir.clear();
  }
  ~RunningGame() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (!dir.empty()) Sh("rm -rf '" + dir + "'");
  }

  bool Start() {
    pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(90);
      setenv("ALSOFT_DRIVERS", "null", 1);
      FILE* out = freopen("out.txt", "w", stdout);
      (void)out;
      execl(ZELK_EXE, ZELK_EXE, static_cast<char*>(nullptr));
      _exit(91);
    }
    for (int i = 0; i < 100 && window.empty(); ++i) {
      std::string ids = Sh("xdotool search --onlyvisible --name '^Zelk$' 2>/dev/null");
      if (!ids.empty()) window = ids.substr(0, ids.find('\n'));
      else Sleep(50);
    }
    return !window.empty();
  }

  // The window's pixels as packed RGB.
  std::vector<unsigned char> Shot() {
    std::string file = dir + "/shot.rgb";
    Sh("import -window " + window + " -depth 8 rgb:'" + file + "' 2>/dev/null");
    std::ifstream in(file, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
  }

  // Waits up to ms for the process to end; its exit status, or -1000.
  int Wait(int ms) {
    for (int t = 0; t < ms; t += 20) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      Sleep(20);
    }
    return -1000;
  }
};

int DistinctColours(const std::vector<unsigned char>& rgb) {
  std::set<int> colours;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) colours.insert(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
  return static_cast<int>(colours.size());
}

bool HasColour(const std::vector<unsigned char>& rgb, int r, int g, int b) {
  for (size_t i = 0; i + 2 < rgb.size(); i += 3)
    if (rgb[i] == r && rgb[i + 1] == g && rgb[i + 2] == b) return true;
  return false;
}

bool CanRun() {
  return getenv("DISPLAY") && !Sh("command -v xdotool").empty() && !Sh("command -v import").empty();
}

}  // namespace

TEST(ShellEndToEnd, StartsShowsLoadingAndQuitsWithF4WithoutSaving) {
  if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  RunningGame game;
  ASSERT_FALSE(game.dir.empty());
  ASSERT_TRUE(game.Start());
  // The loading screen's clear colour shows while the assets come in.
  bool sawLoading = false;
  for (int i = 0; i < 20 && !sawLoading; ++i) {
    auto shot = game.Shot();
    ASSERT_EQ(shot.size(), 640u * 480u * 3u);
    sawLoading = HasColour(shot, 40, 40, 80);
  }
  EXPECT_TRUE(sawLoading);
  Sleep(1000);
  auto later = game.Shot();
  ASSERT_EQ(later.size(), 640u * 480u * 3u);
  EXPECT_GT(DistinctColours(later), 4);
  Sh("xdotool key --window " + game.window + " F4");
  EXPECT_EQ(game.Wait(3000), 0);
  EXPECT_FALSE(Exists(game.dir + "/.quollstate"));
}

TEST(ShellEndToEnd, LosingTheFocusSaves) {
  if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  RunningGame game;
  ASSERT_TRUE(game.Start());
  Sleep(600);
  std::string root = Sh("xwininfo -root | awk '/Window id/{print $4}'");
  root = root.substr(0, root.find('\n'));
  Sh("xdotool windowfocus " + root);
  for (int i = 0; i < 50 && !Exists(game.dir + "/.quollstate"); ++i) Sleep(50);
  EXPECT_TRUE(Exists(game.dir + "/.quollstate"));
  Sh("xdotool windowfocus " + game.window);
  Sleep(200);
  Sh("xdotool key --window " + game.window + " F4");
  EXPECT_EQ(game.Wait(3000), 0);
}
