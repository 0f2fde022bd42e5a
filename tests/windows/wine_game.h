// The Windows release under Wine, for the end-to-end tests: zelk.exe from
// a clean unpack of dist/zelk-windows-x64.zip, started with wine64 in a
// given Wine prefix. The program defines ZELK_WINDOWS_ZIP (and what
// tests/game/e2e_game.h needs).
#pragma once
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/game/e2e_game.h"

namespace wine_game {

using namespace e2e;

const char* const kWine = "/usr/lib/wine/wine64";
const char* const kWineServer = "/usr/lib/wine/wineserver";

// The environment variable `name`, or fallback when it is unset or empty.
inline std::string Env(const char* name, const std::string& fallback) {
  const char* v = getenv(name);
  return v && *v ? v : fallback;
}
// The package the tests unpack.
inline std::string Zip() { return Env("ZELK_WINDOWS_ZIP", ZELK_WINDOWS_ZIP); }

// zelk.exe from a clean unpack of the package, run in the Wine prefix it
// is given. `dir` is the package's folder, the one the game is started from.
class WineGame : public Game {
 public:
  std::string root;
  std::string prefix;

  explicit WineGame(const std::string& winePrefix) : prefix(winePrefix) {
    if (dir.empty()) return;
    root = dir;
    // A clean unpack: nothing of the source tree (the base class links data/
    // in for the Linux binary; the package brings its own).
    Sh("rm -f '" + root + "/data'");
    Sh("unzip -q '" + Zip() + "' -d '" + root + "'");
    dir = root + "/zelk-windows-x64";
    if (!Exists(dir + "/zelk.exe")) ADD_FAILURE() << "the package holds no zelk-windows-x64/zelk.exe";
  }
  ~WineGame() {
    Kill();
    if (!root.empty()) Sh("rm -rf '" + root + "'");
    dir.clear();
  }

  // The Windows path of a file in the game's folder, as Wine maps it.
  std::string WinPath(const std::string& name) const { return "Z:" + dir + "/" + name; }

  // Starts zelk.exe with extra environment variables ("NAME=value") and
  // waits up to ms for its window. Standard output goes to out.txt.
  bool Start(std::vector<std::string> env = {}, int ms = 60000) {
    return Launch(
        [&] {
          setenv("WINEPREFIX", prefix.c_str(), 1);
          setenv("WINEDEBUG", "-all", 1);
          unsetenv("ALSOFT_DRIVERS");
          unsetenv("ALSOFT_CONF");
          for (const std::string& e : env) putenv(strdup(e.c_str()));
          execl(kWine, "wine64", "zelk.exe", static_cast<char*>(nullptr));
        },
        ms);
  }
};

}  // namespace wine_game
