// The Windows installer and the game's own error box under Wine, on the X
// display (Xvfb in CI). The installer tests run dist/zelk-setup-x64.exe in
// a Wine prefix of their own, read what it left behind (files, the
// shortcuts' .lnk files, the registry), start the installed game from its
// Start-menu shortcut as the shell does, and uninstall it again. The box
// tests start zelk.exe without its data folder, as Explorer starts it (no
// standard handles) and with its output redirected, and the whole game on
// a display without OpenGL. Without Wine, the
// installer or the zip the tests are skipped, unless ZELK_WINDOWS_REQUIRED=1
// (the Windows stage of tools/test.sh) makes that a failure.
#include <gtest/gtest.h>
#include <pwd.h>

#include <cstdint>
#include <map>
#include <sstream>

#include "tests/common/game_process.h"

using namespace game_process;

namespace {

const char* const kWine = "/usr/lib/wine/wine64";
const char* const kWineServer = "/usr/lib/wine/wineserver";
const char* const kUninstallKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zelk";

std::string Env(const char* name, const std::string& fallback) {
  const char* v = getenv(name);
  return v && *v ? v : fallback;
}
std::string Installer() { return Env("ZELK_WINDOWS_SETUP", ZELK_WINDOWS_SETUP); }
std::string Zip() { return Env("ZELK_WINDOWS_ZIP", ZELK_WINDOWS_ZIP); }
std::string BasePrefix() { return Env("ZELK_WINEPREFIX", ZELK_WINEPREFIX); }

std::string Missing(bool needSetup) {
  if (!CanRun()) return "needs an X display, xdotool and ImageMagick";
  if (access(kWine, X_OK) != 0) return std::string("needs ") + kWine;
  if (needSetup && !Exists(Installer())) return "needs the installer " + Installer() + " (bash tools/package-windows.sh)";
  if (!Exists(Zip())) return "needs the package " + Zip() + " (bash tools/package-windows.sh)";
  if (!Exists(BasePrefix() + "/.zelk-ready"))
    return "needs the Wine prefix " + BasePrefix() + " (tools/windows/wine-prefix.sh)";
  return "";
}

#define REQUIRE(needSetup)                                        \
  do {                                                            \
    std::string why = Missing(needSetup);                         \
    if (!why.empty()) {                                           \
      if (Env("ZELK_WINDOWS_REQUIRED", "0") == "1") FAIL() << why; \
      GTEST_SKIP() << why;                                        \
    }                                                             \
  } while (0)

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string FirstLine(const std::string& s) { return s.substr(0, s.find('\n')); }

// A Wine prefix of the test's own, so that nothing an earlier run left (an
// install, a registry key) is seen: a copy of the ready test prefix, which
// takes seconds where a new one takes half a minute. Removed at the end,
// with its Wine server.
class Prefix {
 public:
  std::string root, dir, user;

  Prefix() {
    std::string tmpl = "/tmp/zelk-install-XXXXXX";
    if (!mkdtemp(&tmpl[0])) return;
    root = tmpl;
    dir = root + "/prefix";
    Sh("cp -a " + Quote(BasePrefix()) + " " + Quote(dir));
    struct passwd* pw = getpwuid(getuid());
    user = pw ? pw->pw_name : "root";
    // Where a prefix's Desktop is a link to the home folder's, the desktop
    // shortcut would land outside the prefix.
    std::string desktop = Drive("users/" + user + "/Desktop");
    Sh("[ -L " + Quote(desktop) + " ] && rm " + Quote(desktop) + " && mkdir " + Quote(desktop));
  }
  ~Prefix() {
    if (root.empty()) return;
    Sh("WINEPREFIX=" + Quote(dir) + " " + kWineServer + " -k 2>/dev/null");
    // Programs that were killed may still be closing their files.
    for (int i = 0; i < 10 && Exists(root); ++i) {
      Sh("rm -rf " + Quote(root) + " 2>/dev/null");
      if (Exists(root)) Sleep(500);
    }
  }
  bool Ok() const { return !root.empty() && Exists(dir + "/system.reg"); }

  // The Unix path of a file on the prefix's drive C: ("users/...").
  std::string Drive(const std::string& path) const { return dir + "/drive_c/" + path; }
  // The Windows path of the user's folder.
  std::string Home() const { return "C:\\users\\" + user; }
  std::string HomeUnix() const { return Drive("users/" + user); }

  // The environment every Wine call here runs with. Wine's menu builder is
  // switched off: it would copy the installer's shortcuts into the desktop
  // menus of the machine running the tests.
  std::string EnvLine(const std::string& debug = "-all") const {
    return "WINEPREFIX=" + Quote(dir) + " WINEDEBUG=" + debug +
           " WINEDLLOVERRIDES='winemenubuilder.exe=d;mscoree,mshtml=' ";
  }
  // Runs wine64 with args (already quoted for the shell); its output and,
  // on the last line, its exit status.
  std::string Wine(const std::string& args) const {
    return Sh(EnvLine() + kWine + " " + args + " 2>&1; echo \"rc=$?\"");
  }
  // Waits until every program in the prefix has ended (an uninstaller
  // runs on from a copy of itself after its first process is gone).
  void WaitIdle() const { Sh(EnvLine() + kWineServer + " -w"); }
  // The same while the game runs on: until no uninstaller is left (its
  // copy in the temporary folder is Un.exe).
  void WaitUninstall() const {
    for (int i = 0; i < 300; ++i) {
      if (Sh("ps -eo stat=,args= | grep -v '^Z' | grep -E '[U]n[.]exe|[u]ninstall[.]exe'").empty()) return;
      Sleep(100);
    }
  }

  // The values of a registry key: name -> "TYPE value"; empty when there is
  // no such key.
  std::map<std::string, std::string> RegValues(const std::string& key) const {
    std::map<std::string, std::string> values;
    std::istringstream lines(Sh(EnvLine() + kWine + " reg query " + Quote(key) + " 2>/dev/null"));
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("    ", 0) != 0) continue;
      std::istringstream fields(line);
      std::string name, type;
      fields >> name >> type;
      std::string value;
      std::getline(fields, value);
      size_t start = value.find_first_not_of(' ');
      values[name] = type + " " + (start == std::string::npos ? "" : value.substr(start));
    }
    return values;
  }
};

// What a shell link (.lnk) holds, read by the file format's own rules (the
// Shell Link Binary File Format): the target from its link information, the
// texts from its string data.
struct Shortcut {
  bool ok = false;
  std::string target, workingDir, arguments, icon, description;
};

Shortcut ReadShortcut(const std::string& path) {
  Shortcut s;
  const std::string b = ReadFile(path);
  auto u16 = [&](size_t at) -> uint32_t {
    return at + 2 <= b.size() ? static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 : 0;
  };
  auto u32 = [&](size_t at) -> uint32_t { return u16(at) | u16(at + 2) << 16; };
  // Header: its size (0x4C) and the class identifier 00021401-0000-0000-C000-000000000046.
  static const unsigned char kClsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  if (b.size() < 0x4C || u32(0) != 0x4C || memcmp(b.data() + 4, kClsid, 16) != 0) return s;
  const uint32_t flags = u32(0x14);
  enum : uint32_t {
    kIdList = 0x1, kLinkInfo = 0x2, kName = 0x4, kRelPath = 0x8, kWorkDir = 0x10, kArgs = 0x20, kIcon = 0x40,
    kUnicode = 0x80
  };
  size_t at = 0x4C;
  if (flags & kIdList) at += 2 + u16(at);
  if (flags & kLinkInfo) {
    const size_t info = at, size = u32(at), header = u32(at + 4);
    if (info + size > b.size()) return s;
    auto cstr = [&](size_t p) {
      std::string t;
      while (p < info + size && b[p]) t += b[p++];
      return t;
    };
    auto wstr = [&](size_t p) {
      std::string t;
      for (; p + 1 < info + size && u16(p); p += 2) t += static_cast<char>(u16(p) < 128 ? u16(p) : '?');
      return t;
    };
    if (u32(at + 8) & 1) {  // VolumeIDAndLocalBasePath
      if (header >= 0x24)
        s.target = wstr(info + u32(at + 0x1C)) + wstr(info + u32(at + 0x20));
      else
        s.target = cstr(info + u32(at + 0x10)) + cstr(info + u32(at + 0x18));
    }
    at += size;
  }
  // The string data, in this order, each as a count of characters and the
  // characters; a trailing NUL some writers count along is dropped.
  auto text = [&](std::string* out) {
    const size_t n = u16(at);
    at += 2;
    std::string t;
    for (size_t i = 0; i < n; ++i) {
      uint32_t c = (flags & kUnicode) ? u16(at + 2 * i) : static_cast<uint8_t>(b[at + i]);
      t += static_cast<char>(c < 128 ? c : '?');
    }
    at += (flags & kUnicode) ? 2 * n : n;
    while (!t.empty() && t.back() == '\0') t.pop_back();
    if (out) *out = t;
  };
  if (flags & kName) text(&s.description);
  if (flags & kRelPath) text(nullptr);
  if (flags & kWorkDir) text(&s.workingDir);
  if (flags & kArgs) text(&s.arguments);
  if (flags & kIcon) text(&s.icon);
  s.ok = at <= b.size();
  return s;
}

// Every file below dir (relative paths, sorted).
std::string Listing(const std::string& dir) {
  return Sh("cd " + Quote(dir) + " && find . -mindepth 1 | LC_ALL=C sort");
}

// The installed game's title menu: the loading screen gone and a full
// picture drawn (a window that has not drawn yet is plain black).
bool WaitTitle(Process& game) {
  return game.WaitLoaded(90000) && game.WaitFor([&] { return DistinctColours(game.Shot()) > 50; }, 30000);
}

}  // namespace

TEST(WindowsInstaller, IsA64BitProgramWithTheGamesNameVersionAndIcon) {
  if (!Exists(Installer())) {
    if (Env("ZELK_WINDOWS_REQUIRED", "0") == "1") FAIL() << "no installer " << Installer();
    GTEST_SKIP() << "needs the installer " << Installer() << " (bash tools/package-windows.sh)";
  }
  if (Sh("command -v x86_64-w64-mingw32-objdump").empty()) GTEST_SKIP() << "needs x86_64-w64-mingw32-objdump";
  const std::string file = Quote(Installer());
  EXPECT_NE(Sh("x86_64-w64-mingw32-objdump -f " + file).find("file format pei-x86-64"), std::string::npos);
  // Version information (UTF-16 texts): each name followed by its value.
  std::string texts = Sh("strings -el " + file);
  for (const std::string& pair : {std::string("ProductName\nZelk\n"), std::string("ProductVersion\n") + ZELK_VERSION + "\n",
                                  std::string("FileDescription\nZelk Setup\n"),
                                  std::string("CompanyName\nZelk developers\n")})
    EXPECT_NE(texts.find(pair), std::string::npos) << pair;
  // The game's icon: its 16-pixel picture (a PNG in the .ico) is carried as it is.
  std::string ico = ReadFile(std::string(ZELK_SOURCE_DIR) + "/data/icons/zelk.ico");
  ASSERT_GT(ico.size(), 22u);
  uint32_t size, offset;
  memcpy(&size, ico.data() + 6 + 8, 4);
  memcpy(&offset, ico.data() + 6 + 12, 4);
  ASSERT_LE(static_cast<size_t>(offset) + size, ico.size());
  EXPECT_NE(ReadFile(Installer()).find(ico.substr(offset, size)), std::string::npos);
}

TEST(WindowsInstaller, InstallsForTheUserPlaysFromTheShortcutUpgradesAndUninstallsKeepingTheState) {
  REQUIRE(true);
  Prefix p;
  ASSERT_TRUE(p.Ok());
  const std::string inst = p.Home() + "\\AppData\\Local\\Programs\\Zelk";
  const std::string instUnix = p.HomeUnix() + "/AppData/Local/Programs/Zelk";
  const std::string menuLnk = p.HomeUnix() + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zelk.lnk";
  const std::string desktopLnk = p.HomeUnix() + "/Desktop/Zelk.lnk";

  // A silent install, as an administrator's script or a store runs it.
  std::string out = p.Wine(Quote(Installer()) + " /S");
  EXPECT_NE(out.find("rc=0"), std::string::npos) << out;

  // The package's files, byte for byte, and the uninstaller; nothing else.
  std::string pkg = p.root + "/zip";
  Sh("unzip -q " + Quote(Zip()) + " -d " + Quote(pkg));
  EXPECT_EQ(Sh("diff -r " + Quote(pkg + "/zelk-windows-x64") + " " + Quote(instUnix) + " 2>&1"),
            "Only in " + instUnix + ": uninstall.exe\n");

  // The shortcuts start zelk.exe in its own folder.
  for (const std::string& lnk : {menuLnk, desktopLnk}) {
    SCOPED_TRACE(lnk);
    Shortcut s = ReadShortcut(lnk);
    ASSERT_TRUE(s.ok) << "not a shell link";
    EXPECT_EQ(s.target, inst + "\\zelk.exe");
    EXPECT_EQ(s.workingDir, inst);
    EXPECT_EQ(s.arguments, "");
    EXPECT_EQ(s.icon, inst + "\\zelk.exe");
  }

  // The entry in "Apps & features".
  auto reg = p.RegValues(kUninstallKey);
  EXPECT_EQ(reg["DisplayName"], "REG_SZ Zelk");
  EXPECT_EQ(reg["DisplayIcon"], "REG_SZ " + inst + "\\zelk.exe,0");
  EXPECT_EQ(reg["DisplayVersion"], std::string("REG_SZ ") + ZELK_VERSION);
  EXPECT_EQ(reg["Publisher"], "REG_SZ Zelk developers");
  EXPECT_EQ(reg["UninstallString"], "REG_SZ \"" + inst + "\\uninstall.exe\"");
  EXPECT_EQ(reg["QuietUninstallString"], "REG_SZ \"" + inst + "\\uninstall.exe\" /S");
  EXPECT_EQ(reg["InstallLocation"], "REG_SZ " + inst);
  // The size in KiB: the installed files' sum, give or take the uninstaller.
  ASSERT_EQ(reg["EstimatedSize"].rfind("REG_DWORD 0x", 0), 0u) << reg["EstimatedSize"];
  const long kib = strtol(reg["EstimatedSize"].c_str() + 10, nullptr, 16);
  const long bytes = atol(Sh("du -sb --apparent-size " + Quote(instUnix) + " | cut -f1").c_str());
  EXPECT_NEAR(static_cast<double>(kib), bytes / 1024.0, bytes / 1024.0 * 0.05);

  // Started from the Start-menu shortcut, as the shell starts it: from
  // another folder, which must not matter. The title menu appears, and a
  // focus loss saves beside the game.
  std::string root = FirstLine(Sh("xwininfo -root | awk '/Window id/{print $4}'"));
  Process game(std::string(ZELK_SOURCE_DIR) + "/data", "/tmp/zelk-install-run-XXXXXX");
  ASSERT_FALSE(game.dir.empty());
  Sh("rm -f " + Quote(game.dir + "/data"));  // this folder holds nothing of the game
  const std::string lnkWin = p.Home() + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Zelk.lnk";
  const std::string prefixDir = p.dir;
  ASSERT_TRUE(game.Launch(
      [&] {
        setenv("WINEPREFIX", prefixDir.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "winemenubuilder.exe=d", 1);
        execl(kWine, "wine64", "start", "/wait", lnkWin.c_str(), static_cast<char*>(nullptr));
      },
      60000))
      << game.Diagnosis();
  ASSERT_TRUE(WaitTitle(game)) << game.Diagnosis();
  Sh("import -window root '" + std::string(ZELK_BINARY_DIR) + "/wine-installed-title.png' 2>/dev/null");
  game.Focus();
  Sleep(500);
  Sh("xdotool windowfocus " + root);
  EXPECT_TRUE(game.WaitFor([&] { return Exists(instUnix + "/.quollstate"); }, 20000));
  Sleep(300);
  // While the game runs, the uninstaller refuses and removes nothing.
  out = p.Wine(Quote(inst + "\\uninstall.exe") + " /S");
  p.WaitUninstall();
  EXPECT_EQ(Sh("diff -r " + Quote(pkg + "/zelk-windows-x64") + " " + Quote(instUnix) + " 2>&1"),
            "Only in " + instUnix + ": .quollstate\nOnly in " + instUnix + ": uninstall.exe\n");
  EXPECT_TRUE(Exists(menuLnk));
  EXPECT_EQ(p.RegValues(kUninstallKey)["DisplayName"], "REG_SZ Zelk");
  game.Focus();
  Sleep(1000);
  game.Key("F4");
  EXPECT_EQ(game.Wait(10000), 0);
  EXPECT_FALSE(Exists(game.dir + "/.quollstate")) << "saved in the folder it was started from";
  const std::string state = ReadFile(instUnix + "/.quollstate");
  ASSERT_FALSE(state.empty());

  // Installed again over it (an upgrade): the same files, the state kept.
  out = p.Wine(Quote(Installer()) + " /S");
  EXPECT_NE(out.find("rc=0"), std::string::npos) << out;
  EXPECT_EQ(ReadFile(instUnix + "/.quollstate"), state);
  EXPECT_EQ(Sh("diff -r " + Quote(pkg + "/zelk-windows-x64") + " " + Quote(instUnix) + " 2>&1"),
            "Only in " + instUnix + ": .quollstate\nOnly in " + instUnix + ": uninstall.exe\n");
  EXPECT_TRUE(Exists(menuLnk));
  EXPECT_EQ(p.RegValues(kUninstallKey)["DisplayName"], "REG_SZ Zelk");

  // The quiet uninstall the registry names: nothing installed is left but
  // the player's state, untouched.
  out = p.Wine(Quote(inst + "\\uninstall.exe") + " /S");
  EXPECT_NE(out.find("rc=0"), std::string::npos) << out;
  p.WaitIdle();
  EXPECT_EQ(Listing(instUnix), "./.quollstate\n");
  EXPECT_EQ(ReadFile(instUnix + "/.quollstate"), state);
  EXPECT_FALSE(Exists(menuLnk));
  EXPECT_FALSE(Exists(desktopLnk));
  EXPECT_TRUE(p.RegValues(kUninstallKey).empty());
}

TEST(WindowsInstaller, APickedFolderIsUsedThroughoutAndAnUninstallWithoutStateLeavesNothing) {
  REQUIRE(true);
  Prefix p;
  ASSERT_TRUE(p.Ok());
  const std::string inst = "C:\\Games\\Zelk";
  const std::string instUnix = p.Drive("Games/Zelk");
  std::string out = p.Wine(Quote(Installer()) + " /S " + Quote("/D=" + inst));
  EXPECT_NE(out.find("rc=0"), std::string::npos) << out;
  EXPECT_TRUE(Exists(instUnix + "/zelk.exe"));
  EXPECT_TRUE(Exists(instUnix + "/data/brio_font.png"));
  EXPECT_FALSE(Exists(p.HomeUnix() + "/AppData/Local/Programs/Zelk"));
  Shortcut s = ReadShortcut(p.HomeUnix() + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zelk.lnk");
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(s.target, inst + "\\zelk.exe");
  EXPECT_EQ(s.workingDir, inst);
  auto reg = p.RegValues(kUninstallKey);
  EXPECT_EQ(reg["InstallLocation"], "REG_SZ " + inst);
  EXPECT_EQ(reg["QuietUninstallString"], "REG_SZ \"" + inst + "\\uninstall.exe\" /S");

  // A file of the player's own in the folder stays; everything installed
  // goes, and so does every folder the installer made that is left empty.
  std::ofstream(instUnix + "/my-notes.txt") << "mine";
  out = p.Wine(Quote(inst + "\\uninstall.exe") + " /S");
  EXPECT_NE(out.find("rc=0"), std::string::npos) << out;
  p.WaitIdle();
  EXPECT_EQ(Listing(instUnix), "./my-notes.txt\n");
  Sh("rm " + Quote(instUnix + "/my-notes.txt"));
  EXPECT_TRUE(p.RegValues(kUninstallKey).empty());
  EXPECT_FALSE(Exists(p.HomeUnix() + "/Desktop/Zelk.lnk"));
}

// ---------------------------------------------------------------- the box

namespace {

// zelk.exe and its DLL, without the data folder: a copy moved away from
// the rest of the game. Started in that folder.
class LoneExe : public Process {
 public:
  LoneExe() : Process(std::string(ZELK_SOURCE_DIR) + "/data", "/tmp/zelk-lone-XXXXXX") {
    if (dir.empty()) return;
    Sh("rm -f " + Quote(dir + "/data"));
    Sh("unzip -q -j " + Quote(Zip()) + " zelk-windows-x64/zelk.exe zelk-windows-x64/OpenAL32.dll -d " + Quote(dir));
  }
  // Wine traces each message box's text on standard error (channel msgbox).
  bool Start(bool asExplorerDoes) {
    const std::string prefix = BasePrefix(), exe = dir + "/zelk.exe";
    return Launch(
        [&] {
          setenv("WINEPREFIX", prefix.c_str(), 1);
          setenv("WINEDEBUG", "-all,+msgbox", 1);
          if (asExplorerDoes) {
            // start hands the program to the shell, which starts it with no
            // standard handles, as Explorer does.
            execl(kWine, "wine64", "start", "/wait", "/unix", exe.c_str(), static_cast<char*>(nullptr));
          } else {
            execl(kWine, "wine64", "zelk.exe", static_cast<char*>(nullptr));
          }
        },
        60000);
  }
  std::string Geometry() { return Sh("xdotool getwindowgeometry " + window + " 2>/dev/null"); }
};

// The place the game looked for its data beside itself, as the message
// names it (Windows separators) and as Wine's trace writes it (each
// backslash doubled).
std::string DataBesideIt(const std::string& dir, bool traced) {
  std::string path = "Z:" + dir + "/data";
  std::string out;
  for (char c : path) out += c == '/' ? (traced ? "\\\\" : "\\") : std::string(1, c);
  return out;
}

}  // namespace

TEST(WindowsErrorBox, StartedAsExplorerStartsItWithoutItsDataTheGameSaysSoInABoxAndEnds) {
  REQUIRE(false);
  LoneExe game;
  ASSERT_FALSE(game.dir.empty());
  ASSERT_TRUE(Exists(game.dir + "/zelk.exe"));
  ASSERT_TRUE(game.Start(true)) << game.Diagnosis();
  // A window titled "Zelk" that is not the game's 640 x 480 one.
  EXPECT_EQ(FirstLine(Sh("xdotool getwindowname " + game.window)), "Zelk");
  std::string geometry = game.Geometry();
  EXPECT_EQ(geometry.find("Geometry: 640x480"), std::string::npos) << geometry;
  EXPECT_EQ(Sh("xdotool search --onlyvisible --name '^(Zelk|GLFW Window)$' 2>/dev/null | wc -l"), "1\n");
  // Its text, from Wine's trace of the box it made.
  std::string err;
  EXPECT_TRUE(game.WaitFor([&] { return (err = game.Err()).find("MSGBOX_OnInit") != std::string::npos; }, 5000));
  const std::string shown = "zelk: no data folder at .\\\\data, " + DataBesideIt(game.dir, true);
  EXPECT_NE(err.find(shown), std::string::npos) << shown << "\n" << err;
  Sh("import -window root '" + std::string(ZELK_BINARY_DIR) + "/wine-error-box.png' 2>/dev/null");
  // Enter closes it, and the program ends with its failure status (-1).
  game.Key("Return");
  EXPECT_EQ(game.Wait(15000), 255);
  EXPECT_FALSE(Exists(game.dir + "/.quollstate"));
}

TEST(WindowsErrorBox, WithRedirectedOutputTheLineReachesTheFileAndNoBoxAppears) {
  REQUIRE(false);
  LoneExe game;
  ASSERT_FALSE(game.dir.empty());
  ASSERT_TRUE(game.Start(false)) << game.Diagnosis();
  // The game goes on as it always did: its own window, no box.
  const std::string line = "zelk: no data folder at .\\data, " + DataBesideIt(game.dir, false) + " or ";
  EXPECT_TRUE(game.WaitFor([&] { return game.Err().find(line) != std::string::npos; }, 10000))
      << line << "\n" << game.Err();
  EXPECT_TRUE(game.WaitFor([&] { return game.Geometry().find("Geometry: 640x480") != std::string::npos; }, 10000))
      << game.Geometry();
  Sleep(2000);
  EXPECT_EQ(game.Err().find("MSGBOX_OnInit"), std::string::npos) << game.Err();
  EXPECT_EQ(Sh("xdotool search --onlyvisible --name '^(Zelk|GLFW Window)$' 2>/dev/null | wc -l"), "1\n");
  game.Kill();
}

// A display without OpenGL (an X server without its GLX extension), as a
// Windows machine without a graphics driver: the whole game, started as
// Explorer starts it, cannot open its window and says so in a box; once it
// is closed the program ends as before (status 0).
TEST(WindowsErrorBox, WithoutOpenGLTheWindowThatCannotOpenIsExplainedInABox) {
  REQUIRE(false);
  if (Sh("command -v Xvfb").empty()) GTEST_SKIP() << "needs Xvfb";
  // An X server of the test's own; it tells its display number on a pipe.
  // The server writes the number and the line end separately, and dies if
  // the pipe is closed between the two: read up to the line end.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t xvfb = fork();
  if (xvfb == 0) {
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-extension", "GLX",
           "-noreset", "-nolisten", "tcp", static_cast<char*>(nullptr));
    _exit(90);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  ASSERT_FALSE(number.empty());
  const std::string display = ":" + number, mainDisplay = getenv("DISPLAY");
  struct Restore {
    std::string display;
    pid_t server;
    ~Restore() {
      setenv("DISPLAY", display.c_str(), 1);
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
    }
  } restore{mainDisplay, xvfb};
  setenv("DISPLAY", display.c_str(), 1);  // for xdotool, and for the game's Wine
  Prefix p;  // a Wine server of its own, for this display only
  ASSERT_TRUE(p.Ok());
  Process game(std::string(ZELK_SOURCE_DIR) + "/data", "/tmp/zelk-nogl-XXXXXX");
  ASSERT_FALSE(game.dir.empty());
  Sh("rm -f " + Quote(game.dir + "/data") + " && unzip -q " + Quote(Zip()) + " -d " + Quote(game.dir));
  const std::string exe = game.dir + "/zelk-windows-x64/zelk.exe", prefixDir = p.dir;
  ASSERT_TRUE(game.Launch(
      [&] {
        setenv("WINEPREFIX", prefixDir.c_str(), 1);
        setenv("WINEDEBUG", "-all,+msgbox", 1);
        setenv("WINEDLLOVERRIDES", "winemenubuilder.exe=d", 1);
        execl(kWine, "wine64", "start", "/wait", "/unix", exe.c_str(), static_cast<char*>(nullptr));
      },
      60000))
      << game.Diagnosis();
  std::string err;
  EXPECT_TRUE(game.WaitFor([&] { return (err = game.Err()).find("MSGBOX_OnInit") != std::string::npos; }, 10000));
  EXPECT_NE(err.find("Zelk could not open its window."), std::string::npos) << err;
  EXPECT_NE(err.find("WGL: "), std::string::npos) << "GLFW's reason is missing:\n" << err;
  EXPECT_EQ(Sh("xdotool getwindowgeometry " + game.window).find("Geometry: 640x480"), std::string::npos);
  game.Key("Return");
  EXPECT_EQ(game.Wait(20000), 0);
}
