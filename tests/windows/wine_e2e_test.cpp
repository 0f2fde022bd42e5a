// The Windows release under Wine on the X display (Xvfb in CI): every test
// unpacks dist/zelk-windows-x64.zip into a fresh folder and starts the real
// zelk.exe from there with wine64, then drives it with real X events
// (xdotool), looks at it through screenshots and closes it as a window
// manager would. Without the zip or Wine the tests are skipped, unless
// ZELK_WINDOWS_REQUIRED=1 (the Windows stage of tools/test.sh) makes that a
// failure.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <sstream>

#include "tests/windows/wine_game.h"

using namespace wine_game;

namespace {

std::string Prefix() { return Env("ZELK_WINEPREFIX", ZELK_WINEPREFIX); }

// Whether the tests can run here; when they cannot, why.
std::string Missing() {
  if (!CanRun()) return "needs an X display, xdotool and ImageMagick";
  if (access(kWine, X_OK) != 0) return std::string("needs ") + kWine;
  if (!Exists(Zip())) return "needs the package " + Zip() + " (bash tools/package-windows.sh)";
  if (!Exists(Prefix() + "/.zelk-ready")) return "needs the Wine prefix " + Prefix() + " (tools/windows/wine-prefix.sh)";
  return "";
}

#define REQUIRE_WINE()                                            \
  do {                                                            \
    std::string why = Missing();                                  \
    if (!why.empty()) {                                           \
      if (Env("ZELK_WINDOWS_REQUIRED", "0") == "1") FAIL() << why; \
      GTEST_SKIP() << why;                                        \
    }                                                             \
  } while (0)

// Wine starts slower than a native program and its first frames come later.
const int kLoad = 90000;

// Waits for the title menu: the loading screen gone and a full picture
// drawn (a window that has not drawn yet is plain black).
bool WaitTitle(Game& game, int ms = kLoad) {
  return game.WaitLoaded(ms) && game.WaitFor([&] { return DistinctColours(game.Shot()) > 50; }, 30000);
}

}  // namespace

TEST(WindowsPackage, HoldsOneFolderWithTheGameItsDataAndTheLicences) {
  if (!Exists(Zip())) {
    if (Env("ZELK_WINDOWS_REQUIRED", "0") == "1") FAIL() << "no package " << Zip();
    GTEST_SKIP() << "needs the package " << Zip() << " (bash tools/package-windows.sh)";
  }
  std::istringstream list(Sh("unzip -Z1 '" + Zip() + "'"));
  std::set<std::string> entries;
  for (std::string line; std::getline(list, line);) entries.insert(line);
  for (const std::string& e : entries) EXPECT_EQ(e.rfind("zelk-windows-x64/", 0), 0u) << e;
  for (const char* want : {"zelk.exe", "OpenAL32.dll", "README.txt", "licenses/GLFW.txt", "licenses/OpenAL-Soft.txt",
                           "licenses/MinGW-w64-runtime.txt"})
    EXPECT_TRUE(entries.count(std::string("zelk-windows-x64/") + want)) << want;
  // The whole data folder, byte for byte.
  std::string diff = Sh("d=$(mktemp -d) && unzip -q '" + Zip() + "' -d \"$d\" && diff -r '" + std::string(ZELK_SOURCE_DIR) +
                        "/data' \"$d/zelk-windows-x64/data\" 2>&1; rm -rf \"$d\"");
  EXPECT_EQ(diff, "");
}

TEST(WindowsPackage, TheProgramIsAGuiExeThatNeedsOnlyWindowsAndOpenAl32) {
  if (!Exists(Zip())) {
    if (Env("ZELK_WINDOWS_REQUIRED", "0") == "1") FAIL() << "no package " << Zip();
    GTEST_SKIP() << "needs the package " << Zip();
  }
  if (Sh("command -v x86_64-w64-mingw32-objdump").empty()) GTEST_SKIP() << "needs x86_64-w64-mingw32-objdump";
  std::string dir = Sh("mktemp -d");
  dir = dir.substr(0, dir.find('\n'));
  Sh("unzip -q '" + Zip() + "' -d '" + dir + "'");
  // Windows' own libraries; no MinGW runtime DLL (libstdc++, libgcc,
  // libwinpthread) may be needed.
  const std::set<std::string> system = {"advapi32.dll", "avrt.dll",   "gdi32.dll",  "kernel32.dll", "msvcrt.dll",
                                        "ole32.dll",    "opengl32.dll", "shell32.dll", "user32.dll",   "winmm.dll"};
  for (const char* file : {"zelk.exe", "OpenAL32.dll"}) {
    std::string dump = Sh("x86_64-w64-mingw32-objdump -p '" + dir + "/zelk-windows-x64/" + file + "'");
    std::istringstream lines(dump);
    int imports = 0;
    for (std::string line; std::getline(lines, line);) {
      size_t at = line.find("DLL Name: ");
      if (at == std::string::npos) continue;
      std::string dll = line.substr(at + 10);
      std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
      ++imports;
      bool allowed = system.count(dll) || (std::string(file) == "zelk.exe" && dll == "openal32.dll");
      EXPECT_TRUE(allowed) << file << " needs " << dll;
    }
    EXPECT_GT(imports, 0) << file;
    if (std::string(file) == "zelk.exe") {
      EXPECT_NE(dump.find("(Windows GUI)"), std::string::npos) << "zelk.exe is not a GUI program";
      EXPECT_NE(dump.find("DLL Name: OpenAL32.dll"), std::string::npos) << "zelk.exe does not use OpenAL32.dll";
    }
  }
  // Version information in the resources (UTF-16 texts).
  std::string texts = Sh("strings -el '" + dir + "/zelk-windows-x64/zelk.exe'");
  for (const char* want : {"FileDescription", "ProductName", "OriginalFilename", "zelk.exe", "FileVersion"})
    EXPECT_NE(texts.find(want), std::string::npos) << want;
  Sh("rm -rf '" + dir + "'");
}

TEST(WineEndToEnd, TheWindowIsCentredTitledAndShowsTheTitleMenuThenEnterStartsAGame) {
  REQUIRE_WINE();
  WineGame game(Prefix());
  ASSERT_FALSE(game.dir.empty());
  {
    std::ofstream(game.dir + "/.quollstate") << StateWith(500, 77);
  }
  ASSERT_TRUE(game.Start());
  // The window opens first and is then named and centred; Wine passes each
  // change on to X a moment later, so both are read once they have arrived.
  std::string name;
  EXPECT_TRUE(game.WaitFor([&] { return (name = Sh("xdotool getwindowname " + game.window)) == "Zelk\n"; }, 5000))
      << name;
  std::istringstream screen(Sh("xdotool getdisplaygeometry"));
  int sw = 0, sh = 0;
  screen >> sw >> sh;
  std::string geo;
  std::string at = "Position: " + std::to_string((sw - 640) / 2) + "," + std::to_string((sh - 480) / 2);
  EXPECT_TRUE(game.WaitFor(
      [&] {
        geo = Sh("xdotool getwindowgeometry " + game.window);
        return geo.find(at) != std::string::npos;
      },
      5000))
      << geo << " (wanted " << at << ")";
  EXPECT_NE(geo.find("Geometry: 640x480"), std::string::npos) << geo;

  ASSERT_TRUE(WaitTitle(game));
  // Kept for a person to look at.
  Sh("import -window root '" + std::string(ZELK_BINARY_DIR) + "/wine-title.png' 2>/dev/null");
  std::string out = game.Out();
  EXPECT_NE(out.find("Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\n"), std::string::npos) << out;

  // Enter plays; the pause menu's quit ends the game through the game-over
  // panel, which records the finished game's 0 ahead of the 77.
  game.Key("Return");
  Sleep(1000);
  for (int i = 0; i < 3; ++i) game.Key("space", 200);
  game.Key("Escape");
  Sleep(800);
  Sh("import -window root '" + std::string(ZELK_BINARY_DIR) + "/wine-pause.png' 2>/dev/null");
  game.Key("Left");
  game.Key("Return");
  EXPECT_TRUE(game.WaitFor([&] { return game.State().find("|500|0|0|77|") != std::string::npos; }, 30000))
      << game.State();
  game.Key("F4");
  EXPECT_EQ(game.Wait(10000), 0);
}

TEST(WineEndToEnd, AFocusLossWritesTheSameFirstStartStateAsTheLinuxBuild) {
  REQUIRE_WINE();
  std::string root = Sh("xwininfo -root | awk '/Window id/{print $4}'");
  root = root.substr(0, root.find('\n'));
  auto saveOnFocusLoss = [&](Game& game, auto start) {
    EXPECT_TRUE(start());
    EXPECT_TRUE(WaitTitle(game));
    // The window must hold the focus before it can lose it (Wine takes a
    // focus change it did not have as a pointer crossing).
    Sh("xdotool windowfocus --sync " + game.window + " 2>/dev/null");
    Sleep(500);
    Sh("xdotool windowfocus " + root);
    EXPECT_TRUE(game.WaitFor([&] { return Exists(game.dir + "/.quollstate"); }, 20000));
    Sleep(300);  // the replace is one step; give a slow machine time to finish the write
    std::string state = game.State();
    // Back to the game (Wine activates the window a moment after it gets
    // the X focus), then F4.
    Sh("xdotool windowfocus --sync " + game.window + " 2>/dev/null");
    Sleep(1000);
    game.Key("F4");
    EXPECT_EQ(game.Wait(10000), 0);
    return state;
  };
  Game linux;
  ASSERT_FALSE(linux.dir.empty());
  std::string expected = saveOnFocusLoss(linux, [&] { return linux.Start(); });
  WineGame windows(Prefix());
  ASSERT_FALSE(windows.dir.empty());
  std::string got = saveOnFocusLoss(windows, [&] { return windows.Start(); });
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(got, expected);
  // Nothing but the state file is left beside it.
  EXPECT_EQ(Sh("cd '" + windows.dir + "' && ls -A | grep quollstate"), ".quollstate\n");
}

TEST(WineEndToEnd, AWindowManagerCloseRequestEndsWithStatusZero) {
  REQUIRE_WINE();
  WineGame game(Prefix());
  ASSERT_FALSE(game.dir.empty());
  ASSERT_TRUE(game.Start());
  ASSERT_TRUE(WaitTitle(game));
  ASSERT_TRUE(SendWmClose(game.window));
  EXPECT_EQ(game.Wait(10000), 0);
}

TEST(WineEndToEnd, F4QuitsWithoutSaving) {
  REQUIRE_WINE();
  WineGame game(Prefix());
  ASSERT_FALSE(game.dir.empty());
  ASSERT_TRUE(game.Start());
  ASSERT_TRUE(WaitTitle(game));
  game.Key("F4");
  EXPECT_EQ(game.Wait(10000), 0);
  EXPECT_FALSE(Exists(game.dir + "/.quollstate"));
}

TEST(WineEndToEnd, WithoutASoundDeviceTheGameSaysSoAndPlaysSilently) {
  REQUIRE_WINE();
  // The test prefix has no Wine audio driver: OpenAL Soft finds no device.
  WineGame game(Prefix());
  ASSERT_FALSE(game.dir.empty());
  ASSERT_TRUE(game.Start());
  ASSERT_TRUE(WaitTitle(game));
  std::string out = game.Out();
  EXPECT_EQ(out.rfind("OpenAl error: alcOpenDevice failed\n", 0), 0u) << out;
  // Still playing: a game starts, and leaving it by the pause menu reaches
  // the game-over panel, which saves.
  game.Key("Return");
  Sleep(1000);
  game.Key("Escape");
  Sleep(800);
  game.Key("Left");
  game.Key("Return");
  EXPECT_TRUE(game.WaitFor([&] { return Exists(game.dir + "/.quollstate"); }, 30000));
  game.Key("F4");
  EXPECT_EQ(game.Wait(10000), 0);
}

TEST(WineEndToEnd, TheStartUpJingleIsHeardThroughOpenAlSoftsWaveWriter) {
  REQUIRE_WINE();
  WineGame game(Prefix());
  ASSERT_FALSE(game.dir.empty());
  {
    std::ofstream conf(game.dir + "/wave.ini");
    conf << "[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\nsample-type = int16\n"
         << "[wave]\nfile = " << game.WinPath("heard.wav") << "\n";
  }
  ASSERT_TRUE(game.Start({"ALSOFT_CONF=" + game.WinPath("wave.ini")}));
  ASSERT_TRUE(WaitTitle(game));
  Sleep(3000);  // the jingle plays as loading ends
  game.Key("F4");
  EXPECT_EQ(game.Wait(10000), 0);
  EXPECT_EQ(game.Out().find("OpenAl error"), std::string::npos) << game.Out();
  std::string wav = ReadFile(game.dir + "/heard.wav");
  ASSERT_GT(wav.size(), 44u + 44100u * 4u) << "less than a second of sound was written";
  ASSERT_EQ(wav.compare(0, 4, "RIFF"), 0);
  // The loudest tenth of a second: the jingle, well above silence.
  const size_t frames = (wav.size() - 44) / 4, window = 4410;
  double loudest = 0;
  for (size_t start = 0; start + window <= frames; start += window) {
    double sum = 0;
    for (size_t i = start; i < start + window; ++i) {
      int16_t l, r;
      memcpy(&l, wav.data() + 44 + i * 4, 2);
      memcpy(&r, wav.data() + 44 + i * 4 + 2, 2);
      sum += static_cast<double>(l) * l + static_cast<double>(r) * r;
    }
    loudest = std::max(loudest, std::sqrt(sum / (2.0 * window)));
  }
  EXPECT_GT(loudest, 500.0);
}
