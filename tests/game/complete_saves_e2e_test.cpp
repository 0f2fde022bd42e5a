// The real game's saves where the working folder cannot take them, under
// the X display (Xvfb in CI) and as an ordinary user (root writes
// anywhere): a read-only folder sends the state to the player's own data
// folder and a restart loads it back; a later save in the working folder,
// once it is writable again, is the one loaded; a full disk (a small tmpfs
// filled up) keeps the old state and says so; two copies saving on focus
// changes in a folder that takes no new file never leave a torn file for a
// load beside them; and the game started from folders with odd names finds
// its data beside itself.
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_game.h"
#include "host/hx_glfw_game.h"

using namespace e2e;

namespace {

// The ordinary user the cases run as: "zelk-player", made when missing,
// when the tests run as root (as in CI); the test's own user otherwise.
struct Player {
  uid_t uid = 0;
  gid_t gid = 0;
};

bool GetPlayer(Player* p) {
  if (geteuid() != 0) {
    p->uid = geteuid();
    p->gid = getegid();
    return true;
  }
  struct passwd* pw = getpwnam("zelk-player");
  if (!pw) {
    Sh("useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin zelk-player 2>&1");
    pw = getpwnam("zelk-player");
  }
  if (!pw) return false;
  p->uid = pw->pw_uid;
  p->gid = pw->pw_gid;
  return true;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// A folder of the test's, removed at the end (unmounted first when a
// file system was mounted on it).
struct Folder {
  std::string path;
  bool mounted = false;
  explicit Folder(const char* tmpl = "/tmp/zelk-saves-XXXXXX") {
    std::string t = tmpl;
    if (mkdtemp(&t[0])) path = t;
    chmod(path.c_str(), 0755);
  }
  ~Folder() {
    if (mounted) umount2(path.c_str(), MNT_DETACH);
    if (!path.empty()) Sh("chmod -R u+w " + Quoted(path) + " 2>/dev/null; rm -rf " + Quoted(path));
  }
};

void Own(const std::string& path, const Player& p) { Sh("chown -R " + std::to_string(p.uid) + ":" + std::to_string(p.gid) + " " + Quoted(path)); }

// The game and its data folder copied into bin/ of base (readable by the
// player wherever the build lives).
std::string InstallGame(const std::string& base) {
  std::string bin = base + "/bin";
  Sh("mkdir -p " + Quoted(bin) + " && cp " + Quoted(ZELK_EXE) + " " + Quoted(bin + "/zelk") + " && cp -r " +
     Quoted(std::string(ZELK_SOURCE_DIR) + "/data") + " " + Quoted(bin + "/data") + " && chmod -R a+rX " + Quoted(bin));
  return bin + "/zelk";
}

// A home folder for the player, with a copy of the display's
// authorization so that the player's game may use the display.
std::string MakeHome(const std::string& home, const Player& p) {
  mkdir(home.c_str(), 0700);
  std::string xauth;
  if (const char* a = getenv("XAUTHORITY")) {
    xauth = home + "/.Xauthority";
    Sh("cp " + Quoted(a) + " " + Quoted(xauth));
  }
  Own(home, p);
  return xauth;
}

// Starts exe as the player with HOME = home, in the folder cwd (or the
// game's own folder when cwd is empty); the game's output still goes to its
// own folder.
bool StartAs(Game& game, const Player& p, const std::string& exe, const std::string& home, const std::string& cwd = "") {
  const std::string xauth = home + "/.Xauthority";
  return game.Launch(
      [&] {
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(92);
        setenv("ALSOFT_DRIVERS", "null", 1);
        setenv("HOME", home.c_str(), 1);
        unsetenv("XDG_DATA_HOME");
        if (Exists(xauth)) setenv("XAUTHORITY", xauth.c_str(), 1);
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(p.gid) != 0 || setuid(p.uid) != 0)) _exit(93);
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
      },
      15000);
}

// Moves the X input focus away from every game window (to the root), which
// suspends the game and makes it save.
void FocusRoot() {
  std::string root = Sh("xwininfo -root | awk '/Window id/{print $4}'");
  Sh("xdotool windowfocus " + root.substr(0, root.find('\n')));
}

int64_t MtimeNs(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : -1;
}

bool LooksLikeAState(const std::string& s) { return std::count(s.begin(), s.end(), '|') == 56 && s.back() == '|'; }

// What every case starts from: the X display with its tools (the case is
// skipped without them) and a folder of its own, base. The cases that run
// the game as the player also take InstallForThePlayer().
class SavesEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  }
  // The player, the game installed in bin/ of base (exe) and the player's
  // home folder, base/home. Called under ASSERT_NO_FATAL_FAILURE, so that
  // a case without an ordinary user stops there.
  void InstallForThePlayer() {
    ASSERT_TRUE(GetPlayer(&player)) << "no ordinary user to run as";
    exe = InstallGame(base.path);
    home = base.path + "/home";
    MakeHome(home, player);
  }
  Player player;
  Folder base;
  std::string exe, home;
};

}  // namespace

TEST_F(SavesEndToEnd, AReadOnlyFolderSavesToThePlayersFolderAndAWritableOneWinsLater) {
  ASSERT_NO_FATAL_FAILURE(InstallForThePlayer());
  const std::string mine = home + "/.local/share/zelk/.quollstate";

  // The working folder (mode 0555) with a read-only, empty state file: the
  // game starts as on a first start.
  Game game;
  ASSERT_FALSE(game.dir.empty());
  const std::string here = game.dir + "/.quollstate";
  { std::ofstream(here) << ""; }
  Own(game.dir, player);
  chmod(here.c_str(), 0444);
  chmod(game.dir.c_str(), 0555);

  ASSERT_TRUE(StartAs(game, player, exe, home));
  ASSERT_TRUE(game.WaitLoaded(30000));
  FocusRoot();
  EXPECT_TRUE(game.WaitFor([&] { return Exists(mine); }, 5000));
  const std::string firstStart = ReadFile(mine);
  EXPECT_TRUE(LooksLikeAState(firstStart)) << firstStart;
  EXPECT_EQ(ReadFile(here), "");
  EXPECT_EQ(game.Err(), "zelk: could not save the state to ./.quollstate; saved it to " + mine + "\n");
  struct stat st;
  ASSERT_EQ(stat(mine.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, player.uid);
  game.Key("F4");
  EXPECT_EQ(game.Wait(5000), 0);

  // A restart loads the player's copy (the working folder's one is empty
  // and would load nothing).
  ASSERT_TRUE(StartAs(game, player, exe, home));
  ASSERT_TRUE(game.WaitLoaded(30000));
  EXPECT_NE(game.Out().find("Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\n"), std::string::npos) << game.Out();
  game.Key("F4");
  EXPECT_EQ(game.Wait(5000), 0);

  // The folder writable again: the next save goes there, as always, and is
  // newer than the player's copy.
  chmod(game.dir.c_str(), 0755);
  chmod(here.c_str(), 0644);
  ASSERT_TRUE(StartAs(game, player, exe, home));
  ASSERT_TRUE(game.WaitLoaded(30000));
  FocusRoot();
  EXPECT_TRUE(game.WaitFor([&] { return ReadFile(here) == firstStart; }, 5000)) << ReadFile(here);
  EXPECT_GT(MtimeNs(here), MtimeNs(mine));
  EXPECT_EQ(game.Err(), "");  // the normal case says nothing
  game.Key("F4");
  EXPECT_EQ(game.Wait(5000), 0);

  // The player's copy holding other scores but saved before it: a restart
  // loads the working folder's copy, which its next save shows (it writes
  // back what it loaded).
  const std::string other = StateWith(500, 77);
  { std::ofstream(mine) << other; }
  struct timespec older[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(MtimeNs(here) / 1000000000) - 60, 0}};
  utimensat(AT_FDCWD, mine.c_str(), older, 0);
  ASSERT_TRUE(StartAs(game, player, exe, home));
  ASSERT_TRUE(game.WaitLoaded(30000));
  const int64_t before = MtimeNs(here);
  FocusRoot();
  EXPECT_TRUE(game.WaitFor([&] { return MtimeNs(here) != before; }, 5000));
  EXPECT_EQ(ReadFile(here), firstStart);
  EXPECT_EQ(ReadFile(mine), other);
  game.Key("F4");
  EXPECT_EQ(game.Wait(5000), 0);
}

// A full disk: a 256 KiB tmpfs filled up, the game's working folder on it.
// With the player's folder elsewhere the state goes there; with that on the
// full disk too, both old copies stay as they were and one line says so.
TEST_F(SavesEndToEnd, AFullDiskKeepsTheOldStateAndSaysWhereTheStateWent) {
  ASSERT_NO_FATAL_FAILURE(InstallForThePlayer());
  Folder disk;
  if (mount("tmpfs", disk.path.c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0)
    GTEST_SKIP() << "mounting a tmpfs was refused (" << strerror(errno) << ")";
  disk.mounted = true;
  const std::string play = disk.path + "/play";
  mkdir(play.c_str(), 0755);
  const std::string old = StateWith(500, 77);
  { std::ofstream(play + "/.quollstate") << old; }
  const std::string fullHome = disk.path + "/home";
  MakeHome(fullHome, player);
  const std::string fullMine = fullHome + "/.local/share/zelk/.quollstate";
  Sh("mkdir -p " + Quoted(fullHome + "/.local/share/zelk"));
  { std::ofstream(fullMine) << "the player's older copy|"; }
  const int64_t fullMineTime = MtimeNs(fullMine) - 1;
  struct timespec older[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(fullMineTime / 1000000000) - 3600, 0}};
  utimensat(AT_FDCWD, fullMine.c_str(), older, 0);
  Own(disk.path, player);
  // Fill it to the last block.
  Sh("dd if=/dev/zero of=" + Quoted(disk.path + "/filler") + " bs=4k 2>/dev/null");
  ASSERT_NE(Sh("df -k " + Quoted(disk.path) + " | awk 'NR==2{print $4}'"), "");

  const std::string mine = home + "/.local/share/zelk/.quollstate";
  struct Case {
    const char* name;
    std::string home, line;
  } cases[] = {
      {"the player's folder elsewhere", home,
       "zelk: could not save the state to ./.quollstate; saved it to " + mine + "\n"},
      {"the player's folder on the full disk too", fullHome,
       "zelk: could not save the state to ./.quollstate or " + fullMine + "; the state saved before is kept\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Game game;
    ASSERT_TRUE(StartAs(game, player, exe, c.home, play));
    ASSERT_TRUE(game.WaitLoaded(30000));
    EXPECT_NE(game.Out().find("Highscore 0 Loaded"), std::string::npos) << game.Out();
    FocusRoot();
    EXPECT_TRUE(game.WaitFor([&] { return !game.Err().empty(); }, 5000));
    Sleep(300);
    EXPECT_EQ(game.Err(), c.line);
    EXPECT_EQ(ReadFile(play + "/.quollstate"), old);
    EXPECT_EQ(Sh("ls -A " + Quoted(play)), ".quollstate\n");  // no temporary file left
    game.Key("F4");
    EXPECT_EQ(game.Wait(5000), 0);
  }
  // The first game's save, where it went: the state it loaded.
  EXPECT_NE(ReadFile(mine).find("|500|77|"), std::string::npos) << ReadFile(mine);
  EXPECT_EQ(ReadFile(fullMine), "the player's older copy|");
}

// Two copies of the game in one folder that takes no new file (each save
// rewrites the file in place), each with a state of its own, saving on
// every focus change, while the game's own load runs 20,000 times beside
// them: every load gives one of the two whole texts.
TEST_F(SavesEndToEnd, TwoCopiesSavingOnFocusChangesNeverLeaveATornFile) {
  ASSERT_NO_FATAL_FAILURE(InstallForThePlayer());
  Game a, b;
  ASSERT_FALSE(a.dir.empty());
  const std::string state = a.dir + "/.quollstate";
  Own(a.dir, player);

  // Each copy loads a text of its own, and its first save shows the text it
  // writes from then on.
  std::vector<std::string> texts;
  Game* copies[] = {&a, &b};
  const std::string seeds[] = {StateWith(500, 77), StateWith(123456789, 4321)};
  for (int i = 0; i < 2; ++i) {
    chmod(a.dir.c_str(), 0755);
    { std::ofstream(state) << seeds[i]; }
    chmod(state.c_str(), 0666);
    chmod(a.dir.c_str(), 0555);
    ASSERT_TRUE(StartAs(*copies[i], player, exe, home, a.dir));
    if (i == 1) {
      // Both windows carry the game's name: the second copy's is the other.
      for (int t = 0; t < 100 && b.window == a.window; ++t) {
        std::string ids = Sh("xdotool search --onlyvisible --name '^Zelk$' 2>/dev/null");
        for (size_t at = 0; at < ids.size();) {
          size_t end = ids.find('\n', at);
          std::string id = ids.substr(at, end - at);
          if (!id.empty() && id != a.window) b.window = id;
          at = end == std::string::npos ? ids.size() : end + 1;
        }
        if (b.window == a.window) Sleep(100);
      }
      ASSERT_NE(b.window, a.window);
    }
    ASSERT_TRUE(copies[i]->WaitLoaded(30000));
    const int64_t before = MtimeNs(state);
    FocusRoot();
    ASSERT_TRUE(copies[i]->WaitFor([&] { return MtimeNs(state) != before; }, 5000));
    texts.push_back(ReadFile(state));
  }
  ASSERT_NE(texts[0], texts[1]);
  ASSERT_NE(texts[0].size(), texts[1].size());

  // The reader: the game's own load, as the player, in a child process.
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  fflush(nullptr);
  pid_t reader = fork();
  if (reader == 0) {
    close(pipefd[0]);
    if (chdir(a.dir.c_str()) != 0) _exit(2);
    setenv("HOME", home.c_str(), 1);
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(player.gid) != 0 || setuid(player.uid) != 0)) _exit(3);
    HxGlfwGame host;
    int torn = 0, seen[2] = {0, 0}, empty = 0;
    for (int k = 0; k < 20000; ++k) {
      std::string now = host.LoadState().ToUtf8();
      if (now == texts[0]) ++seen[0];
      else if (now == texts[1]) ++seen[1];
      else if (now.empty()) ++empty;
      else ++torn;
      usleep(200);
    }
    std::string report = std::to_string(torn) + " " + std::to_string(empty) + " " + std::to_string(seen[0]) + " " +
                         std::to_string(seen[1]);
    if (write(pipefd[1], report.data(), report.size()) < 0) _exit(4);
    _exit(0);
  }
  close(pipefd[1]);

  // Focus back and forth until the reader is done: each change suspends
  // one copy (a save) and resumes the other.
  Display* dpy = XOpenDisplay(nullptr);
  ASSERT_NE(dpy, nullptr);
  const Window windows[] = {static_cast<Window>(strtoul(a.window.c_str(), nullptr, 0)),
                            static_cast<Window>(strtoul(b.window.c_str(), nullptr, 0))};
  int changes = 0;
  while (waitpid(reader, nullptr, WNOHANG) == 0) {
    XSetInputFocus(dpy, windows[changes % 2], RevertToPointerRoot, CurrentTime);
    XSync(dpy, False);
    ++changes;
    Sleep(25);
  }
  XCloseDisplay(dpy);
  std::string report;
  char buf[128];
  ssize_t n;
  while ((n = read(pipefd[0], buf, sizeof buf)) > 0) report.append(buf, static_cast<size_t>(n));
  close(pipefd[0]);
  int torn = -1, empty = -1, seenA = 0, seenB = 0;
  ASSERT_EQ(sscanf(report.c_str(), "%d %d %d %d", &torn, &empty, &seenA, &seenB), 4) << report;
  printf("torn-file loop: %d focus changes, 20000 loads: %d torn, %d empty, %d of copy 1's text, %d of copy 2's\n",
         changes, torn, empty, seenA, seenB);
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(empty, 0);
  EXPECT_GT(seenA, 0);
  EXPECT_GT(seenB, 0);
  EXPECT_GT(changes, 100);
  const std::string last = ReadFile(state);
  EXPECT_TRUE(last == texts[0] || last == texts[1]) << last;
  EXPECT_EQ(Sh("ls -A " + Quoted(a.dir) + " | grep -c tmp"), "0\n");
  // (A save that waited more than a second for the other copy's lock, on a
  // loaded machine, goes to the player's folder and says so: a whole text
  // too, so the copies' output is not judged here.)
  for (Game* g : copies) {
    g->Key("F4");
    EXPECT_EQ(g->Wait(5000), 0);
  }
}

// The game installed in folders with odd names and started from there (the
// data folder is in bin/ beside the game, not in the working folder): it
// finds its data, shows the title menu and saves its state in that folder.
TEST_F(SavesEndToEnd, TheGameRunsFromFoldersWithOddNames) {
  const char* names[] = {"\xf0\x9f\x8e\xae", "caf\xe9 latin1", "with spaces", "-leading-dash"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string folder = base.path + "/" + name;
    mkdir(folder.c_str(), 0755);
    const std::string exe = InstallGame(folder);
    Game game;
    ASSERT_TRUE(game.Launch(
        [&] {
          if (chdir(folder.c_str()) != 0) _exit(92);
          setenv("ALSOFT_DRIVERS", "null", 1);
          execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        },
        15000));
    ASSERT_TRUE(game.WaitLoaded(30000));
    EXPECT_GT(DistinctColours(game.Shot()), 50);
    EXPECT_EQ(game.Err().find("no data folder"), std::string::npos) << game.Err();
    FocusRoot();
    EXPECT_TRUE(game.WaitFor([&] { return LooksLikeAState(ReadFile(folder + "/.quollstate")); }, 5000));
    EXPECT_EQ(game.Err(), "");
    game.Key("F4");
    EXPECT_EQ(game.Wait(5000), 0);
  }
}
