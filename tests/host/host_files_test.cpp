// Paths, file reading, the state file, OpenUrl and the image/sound loaders.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "host/hx_platform.h"
#include "host_test_util.h"
#include "tests/common/png_bytes.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Names in a folder that start with prefix (temporary files of a save).
std::vector<std::string> Named(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name).compare(0, prefix.size(), prefix) == 0) names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// n bytes of noise, the same for the same seed.
std::string RandomBytes(size_t n, unsigned seed) {
  std::string bytes(n, '\0');
  for (char& b : bytes) b = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  return bytes;
}

// A process id that no longer runs (a child that has ended and been reaped).
pid_t DeadPid() {
  pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

// The player the permission cases run as: "nobody" when the tests run as
// root (root writes anywhere), otherwise the test's own user.
uid_t PlayerUid() { return geteuid() == 0 ? 65534 : geteuid(); }
gid_t PlayerGid() { return geteuid() == 0 ? 65534 : getegid(); }

// Sets a file's modification time to t seconds (and ns) since 1970.
void SetMtime(const std::string& path, time_t t, long ns = 0) {
  struct timespec times[2] = {{t, ns}, {t, ns}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

time_t MtimeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// Each test runs in a fresh working directory, with the player's own data
// folder (XDG_DATA_HOME) in player/data inside it, player/ owned by the
// player.
class HostFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_ = cwd;
    char tmpl[] = "/tmp/zelk-host-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    mkdir("data", 0755);
    mkdir("player", 0700);
    ASSERT_EQ(chown("player", PlayerUid(), PlayerGid()), 0);
    userData_ = dir_ + "/player/data";
    userState_ = userData_ + "/zelk/.quollstate";
    setenv("XDG_DATA_HOME", userData_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(chdir(old_.c_str()), 0);
    std::string cmd = "chmod -R u+w '" + dir_ + "'; rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string old_, dir_, userData_, userState_;
  TestGlfwGame game_;
};

TEST_F(HostFiles, PathMapping) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"quoll://data/images/ship.png", "./data/images/ship.png"},
      {"quoll://internal/a", "./internal/a"},
      {"quoll://external/b/c", "./external/b/c"},
      {"quoll://save/x", ""},
      {"quoll:", ""},
      {"QUOLL://data/x", "QUOLL://data/x"},  // prefixes are case-sensitive
      {"quoll://Data/x", ""},
      {"readme.txt", "readme.txt"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(game_.PathToFilePath(String(c.in)).ToUtf8(), c.out) << c.in;
}

TEST_F(HostFiles, OpenFileMapsPathsAndUtf8Names) {
  mkdir("data/images", 0755);
  WriteAll("data/images/ship.png", "S");
  WriteAll("readme.txt", "R");
  WriteAll("caf\xc3\xa9.txt", "C");  // café in UTF-8 on disk
  struct Case {
    String path;
    const char* content;
  } cases[] = {
      {String("quoll://data/images/ship.png"), "S"},
      {String("readme.txt"), "R"},
      {String("quoll:") + String("caf\xc3\xa9.txt"), nullptr},
      {String("quoll://save/readme.txt"), nullptr},
      {String("missing.txt"), nullptr},
  };
  Char cafe[] = {'c', 'a', 'f', 0xE9, '.', 't', 'x', 't'};
  for (const Case& c : cases) {
    FILE* f = game_.OpenFile(c.path, String("rb"));
    SCOPED_TRACE(c.path.ToUtf8());
    if (!c.content) {
      EXPECT_EQ(f, nullptr);
      continue;
    }
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fgetc(f), c.content[0]);
    fclose(f);
  }
  FILE* f = game_.OpenFile(String(cafe, 8), String("rb"));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fgetc(f), 'C');
  fclose(f);
}

TEST_F(HostFiles, LoadDataSizes) {
  for (int size : {0, 1, 4095, 4096, 4097, 8192}) {
    std::string bytes(static_cast<size_t>(size), '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
    WriteAll("data/blob.bin", bytes);
    int length = -1;
    unsigned char* p = game_.LoadData(String("quoll://data/blob.bin"), &length);
    ASSERT_NE(p, nullptr) << size;
    EXPECT_EQ(length, size);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p), static_cast<size_t>(length)), bytes);
    free(p);
  }
  int length = 77;
  EXPECT_EQ(game_.LoadData(String("quoll://data/none.bin"), &length), nullptr);
  EXPECT_EQ(length, 77);
}

TEST_F(HostFiles, LoadString) {
  WriteAll("data/t.txt", "\xef\xbb\xbfh\xc3\xa9llo");
  Char expect[] = {'h', 0xE9, 'l', 'l', 'o'};
  EXPECT_EQ(game_.LoadString(String("quoll://data/t.txt")), String(expect, 5));
  EXPECT_EQ(game_.LoadString(String("quoll://data/none.txt")), String());
}

TEST_F(HostFiles, StateBytesAndRoundTrip) {
  Char eacute[] = {'1', 0xE9, '|', 0x20AC, '|'};
  struct Case {
    String text;
    std::string bytes;
  } cases[] = {
      {String("1|2|"), "1|2|"},
      {String(eacute, 5), "1\xc3\xa9|\xe2\x82\xac|"},
      {String(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(game_.SaveState(c.text), 0);
    EXPECT_EQ(ReadAll(".quollstate"), c.bytes);
    EXPECT_EQ(game_.LoadState(), c.text);
    EXPECT_EQ(Named(".", ".quollstate.tmp"), std::vector<std::string>());
  }
  // A surrogate half is written on its own, as three bytes.
  Char half[] = {0xD83D};
  EXPECT_EQ(game_.SaveState(String(half, 1)), 0);
  EXPECT_EQ(ReadAll(".quollstate"), "\xed\xa0\xbd");
}

TEST_F(HostFiles, LoadStateMissingOrBomOnly) {
  EXPECT_EQ(game_.LoadState(), String());
  WriteAll(".quollstate", "\xef\xbb\xbf");
  EXPECT_EQ(game_.LoadState(), String());
  WriteAll(".quollstate", "a\xff" "b");  // not UTF-8: one character per byte
  Char bytes[] = {'a', 0xFF, 'b'};
  EXPECT_EQ(game_.LoadState(), String(bytes, 3));
}

TEST_F(HostFiles, FailedSaveKeepsOldState) {
  ASSERT_EQ(game_.SaveState(String("old|1|")), 0);
  // The file system refuses more than 8 bytes per file (like a full disk).
  ChildResult r = RunInChild([this] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {8, 8};
    setrlimit(RLIMIT_FSIZE, &lim);
    printf("%d", game_.SaveState(String("new state that is too long")));
  });
  // The player's folder refuses it too: one line, and the working folder's
  // result.
  EXPECT_EQ(r.out, "-2");
  EXPECT_EQ(ReadAll(".quollstate"), "old|1|");
  EXPECT_EQ(Named(".", ".quollstate.tmp"), std::vector<std::string>());
  EXPECT_FALSE(Exists(userState_));
  EXPECT_EQ(Named(userData_ + "/zelk", ".quollstate"), std::vector<std::string>());
  EXPECT_EQ(game_.LoadState(), String("old|1|"));
}

// Every shape a state file can take: what loading gives, what saving
// reports, and what the file system looks like afterwards. Each case runs in
// a child process with an alarm, so a shape that blocks fails instead of
// hanging the test, and each must answer well within a second.
TEST_F(HostFiles, StateFileShapes) {
  const std::string kOld = "1|2|3|";
  const std::string kNew = "4|5|6|";
  mkdir("store", 0755);
  mkdir("links", 0755);
  std::string dead;
  struct Case {
    const char* name;
    std::function<void()> make;
    std::string loads;  // what LoadState gives ("*": whatever, within 64 KiB)
    int saves;          // what the working folder's replace reports; when it
                        // fails the state goes to the player's folder
    std::function<void()> check;
  } cases[] = {
      {"plain 0600 file",
       [&] {
         WriteAll(".quollstate", kOld);
         chmod(".quollstate", 0600);
       },
       kOld, 0,
       [&] {
         EXPECT_EQ(ReadAll(".quollstate"), kNew);
         EXPECT_EQ(ModeOf(".quollstate"), 0600u);
       }},
      {"new file follows the umask",
       [&] { umask(027); },
       "", 0,
       [&] {
         EXPECT_EQ(ReadAll(".quollstate"), kNew);
         EXPECT_EQ(ModeOf(".quollstate"), 0640u);
       }},
      {"a mask that shuts the owner out still leaves the game its file",
       [&] { umask(0777); },
       "", 0,
       [&] {
         EXPECT_EQ(ReadAll(".quollstate"), kNew);
         EXPECT_EQ(ModeOf(".quollstate"), 0600u);
       }},
      {"symlink to a 0600 file",
       [&] {
         WriteAll("store/state", kOld);
         chmod("store/state", 0600);
         symlink((dir_ + "/store/state").c_str(), ".quollstate");
       },
       kOld, 0,
       [&] {
         char buf[4096] = {};
         ASSERT_GT(readlink(".quollstate", buf, sizeof buf - 1), 0) << "the link survives";
         EXPECT_EQ(std::string(buf), dir_ + "/store/state");
         EXPECT_EQ(ReadAll("store/state"), kNew);
         EXPECT_EQ(ModeOf("store/state"), 0600u);
         EXPECT_EQ(Named("store", "state.tmp"), std::vector<std::string>());
       }},
      {"chain of relative symlinks",
       [&] {
         WriteAll("store/real", kOld);
         chmod("store/real", 0640);
         symlink("links/hop", ".quollstate");
         symlink("../store/real", "links/hop");
       },
       kOld, 0,
       [&] {
         struct stat st;
         ASSERT_EQ(lstat(".quollstate", &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode));
         ASSERT_EQ(lstat("links/hop", &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode));
         EXPECT_EQ(ReadAll("store/real"), kNew);
         EXPECT_EQ(ModeOf("store/real"), 0640u);
       }},
      {"symlink to a file not made yet",
       [&] { symlink("store/later", ".quollstate"); },
       "", 0,
       [&] {
         EXPECT_EQ(ReadAll("store/later"), kNew);
         struct stat st;
         ASSERT_EQ(lstat(".quollstate", &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode));
       }},
      {"symlink loop", [&] { symlink(".quollstate", ".quollstate"); }, "", -1, [] {}},
      {"hard link",
       [&] {
         WriteAll("store/twin", kOld);
         chmod("store/twin", 0604);
         link("store/twin", ".quollstate");
       },
       kOld, 0,
       [&] {
         // Replaced whole, never torn: the state file gets the new text with
         // the old mode, the other name keeps the previous state.
         EXPECT_EQ(ReadAll(".quollstate"), kNew);
         EXPECT_EQ(ModeOf(".quollstate"), 0604u);
         EXPECT_EQ(ReadAll("store/twin"), kOld);
       }},
      {"directory",
       [&] { mkdir(".quollstate", 0755); },
       "", -1,
       [&] {
         struct stat st;
         ASSERT_EQ(stat(".quollstate", &st), 0);
         EXPECT_TRUE(S_ISDIR(st.st_mode));
       }},
      {"FIFO",
       [&] { mkfifo(".quollstate", 0644); },
       "", -1,
       [&] {
         struct stat st;
         ASSERT_EQ(stat(".quollstate", &st), 0);
         EXPECT_TRUE(S_ISFIFO(st.st_mode));
       }},
      {"symlink to /dev/zero", [&] { symlink("/dev/zero", ".quollstate"); }, "", -1,
       [&] {
         struct stat st;
         ASSERT_EQ(lstat(".quollstate", &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode));
         EXPECT_EQ(Named("/dev", "zero.tmp"), std::vector<std::string>());
       }},
      {"1 MiB of random bytes",
       [&] { WriteAll(".quollstate", RandomBytes(1 << 20, 99)); },
       "*", 0, [&] { EXPECT_EQ(ReadAll(".quollstate"), kNew); }},
      {"stale temporary files",
       [&] {
         WriteAll(".quollstate", kOld);
         const time_t hourAgo = time(nullptr) - 3600;
         WriteAll(".quollstate.tmp", "half a st");  // not the game's pattern: kept
         dead = ".quollstate.tmp." + std::to_string(DeadPid());
         WriteAll(dead + ".Ab12Cd", "half");  // left by a killed save an hour ago
         SetMtime(dead + ".Ab12Cd", hourAgo);
         mkdir((dead + ".AAAAAA").c_str(), 0755);  // not a file: left alone
         SetMtime(dead + ".AAAAAA", hourAgo);
         WriteAll(".quollstate.tmp.1.Zz99Zz", "x");  // young: a save going on now
       },
       kOld, 0,
       [&] {
         EXPECT_EQ(ReadAll(".quollstate"), kNew);
         std::vector<std::string> kept = {".quollstate.tmp", dead + ".AAAAAA", ".quollstate.tmp.1.Zz99Zz"};
         std::sort(kept.begin(), kept.end());
         EXPECT_EQ(Named(".", ".quollstate.tmp"), kept);
       }},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(system("rm -rf .quollstate .quollstate.tmp* store/* links/* player/data"), 0);
    mode_t mask = umask(022);
    c.make();
    ChildResult r = RunInChild([&] {
      alarm(5);
      auto t0 = std::chrono::steady_clock::now();
      String loaded = game_.LoadState();
      // The working folder's own answer (a refused replace changes nothing),
      // then the save as the game makes it.
      int here = c.saves == 0 ? 0 : hx_platform::ReplaceFileContents(String("./.quollstate"), kNew);
      int whole = game_.SaveState(String(kNew.c_str()));
      int saved = whole != 0 ? 100 + whole : here;
      long ms = static_cast<long>(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      printf("%d %ld %d %s", saved, ms, loaded.Length(), c.loads == "*" ? "" : loaded.ToUtf8().c_str());
    });
    umask(mask);
    ASSERT_EQ(r.status, 0) << "the child did not finish (1014 is the alarm)";
    int saved = 0, length = -1;
    long ms = 0;
    char loaded[256] = {};
    ASSERT_GE(sscanf(r.out.c_str(), "%d %ld %d %255s", &saved, &ms, &length, loaded), 3) << r.out;
    if (c.loads == "*") {
      EXPECT_GT(length, 0);
      EXPECT_LE(length, 64 * 1024);
    } else {
      EXPECT_EQ(std::string(loaded), c.loads);
    }
    EXPECT_EQ(saved, c.saves);
    EXPECT_LT(ms, 1000);
    c.check();
    // Saved in the working folder or, where that failed, in the player's.
    EXPECT_EQ(ReadAll(userState_), c.saves == 0 ? "" : kNew);
    EXPECT_EQ(game_.LoadState().ToUtf8(), kNew);
  }
}

TEST_F(HostFiles, LoadStateIsCappedAt64KiB) {
  WriteAll(".quollstate", RandomBytes(1 << 20, 12345));
  auto t0 = std::chrono::steady_clock::now();
  String text = game_.LoadState();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GT(text.Length(), 0);
  EXPECT_LE(text.Length(), 64 * 1024);
  EXPECT_LT(ms, 500);
  // What is read is the file's beginning, decoded as any state file.
  std::string text64(64 * 1024, 'a');
  WriteAll(".quollstate", text64 + "|tail beyond the cap|");
  EXPECT_EQ(game_.LoadState().ToUtf8(), text64);
}

// Runs fn in a child as a player who may not write the test folder (or, with
// folderWritable, may): "nobody" when the tests run as root, since root
// writes anywhere; otherwise the test's own user with the folder made
// read-only for the call.
// The child's standard error goes with its output.
ChildResult AsPlayer(const std::string& dir, bool folderWritable, const std::function<void()>& fn) {
  const bool root = geteuid() == 0;
  chmod(dir.c_str(), root ? (folderWritable ? 0777 : 0755) : (folderWritable ? 0755 : 0555));
  ChildResult r = RunInChild([&] {
    dup2(1, 2);
    if (root && (setgid(PlayerGid()) != 0 || setuid(PlayerUid()) != 0)) _exit(77);
    fn();
  });
  chmod(dir.c_str(), 0700);
  return r;
}

TEST_F(HostFiles, FolderThatTakesNoNewFileGetsTheFileRewrittenInPlace) {
  WriteAll(".quollstate", "old state that is longer|");
  chmod(".quollstate", 0666);
  struct stat before;
  ASSERT_EQ(stat(".quollstate", &before), 0);
  ChildResult r = AsPlayer(dir_, false, [this] { printf("%d", game_.SaveState(String("new|"))); });
  ASSERT_EQ(r.out, "0");
  EXPECT_EQ(ReadAll(".quollstate"), "new|");
  struct stat after;
  ASSERT_EQ(stat(".quollstate", &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0666u);
  EXPECT_EQ(Named(".", ".quollstate.tmp"), std::vector<std::string>());

  // Neither the folder nor the file: the state goes to the player's own
  // folder, and a load reads it from there.
  chmod(".quollstate", 0444);
  r = AsPlayer(dir_, false, [this] {
    printf("%d|", game_.SaveState(String("newer|")));
    printf("%s", game_.LoadState().ToUtf8().c_str());
  });
  EXPECT_EQ(r.out, "zelk: could not save the state to ./.quollstate; saved it to " + userState_ + "\n0|newer|");
  EXPECT_EQ(ReadAll(".quollstate"), "new|");
  EXPECT_EQ(ReadAll(userState_), "newer|");
}

TEST_F(HostFiles, ReadOnlyStateFileIsLeftAsItIs) {
  WriteAll(".quollstate", "kept|");
  chmod(".quollstate", 0444);
  ChildResult r = AsPlayer(dir_, true, [this] {
    printf("%d ", hx_platform::ReplaceFileContents(String("./.quollstate"), "new|"));
    fflush(stdout);
    printf("%d", game_.SaveState(String("new|")));
  });
  // Refused in the working folder, saved in the player's.
  EXPECT_EQ(r.out, "-1 zelk: could not save the state to ./.quollstate; saved it to " + userState_ + "\n0");
  EXPECT_EQ(ReadAll(".quollstate"), "kept|");
  EXPECT_EQ(ModeOf(".quollstate"), 0444u);
  EXPECT_EQ(Named(".", ".quollstate.tmp"), std::vector<std::string>());
  EXPECT_EQ(ReadAll(userState_), "new|");
}

// Two copies of the game in one folder save at the same time: each uses a
// temporary file of its own, so every save succeeds and the file always
// holds one whole text.
TEST_F(HostFiles, TwoCopiesSavingAtOnceNeverTearTheFile) {
  const std::string a(100, 'a'), b(90, 'b');
  pid_t copies[2];
  for (int i = 0; i < 2; ++i) {
    fflush(nullptr);
    copies[i] = fork();
    if (copies[i] == 0) {
      int failed = 0;
      for (int k = 0; k < 150; ++k) failed += game_.SaveState(String((i == 0 ? a : b).c_str())) != 0;
      _exit(failed == 0 ? 0 : 1);
    }
  }
  int torn = 0;
  for (int k = 0; k < 300; ++k) {
    std::string now = ReadAll(".quollstate");
    if (!now.empty() && now != a && now != b) ++torn;
  }
  for (pid_t pid : copies) {
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "a save failed";
  }
  EXPECT_EQ(torn, 0);
  std::string last = ReadAll(".quollstate");
  EXPECT_TRUE(last == a || last == b);
  EXPECT_EQ(Named(".", ".quollstate.tmp"), std::vector<std::string>());
}

volatile sig_atomic_t g_failedSaves = 0;

// Several copies of the game saving in a loop in a folder that takes no new
// file (each rewrites the file in place), and a load beside them: every load
// gives one of the complete texts, never a mixture, a longer text's tail
// after a shorter one, or zero bytes.
TEST_F(HostFiles, CopiesRewritingInPlaceNeverTearTheFileForALoad) {
  const std::vector<std::string> texts = {std::string(100, 'a') + "|", std::string(90, 'b') + "|",
                                          std::string(7, 'c') + "|"};
  WriteAll(".quollstate", texts[0]);
  chmod(".quollstate", 0666);
  struct stat before;
  ASSERT_EQ(stat(".quollstate", &before), 0);
  const int kReads = 4000;  // the end-to-end test with the real game makes 20,000
  ChildResult r = AsPlayer(dir_, false, [&] {
    std::vector<pid_t> copies;
    for (size_t i = 0; i < texts.size(); ++i) {
      pid_t pid = fork();
      if (pid == 0) {
        // Until the reader is done (SIGTERM ends the copy with its count).
        signal(SIGTERM, [](int) { _exit(g_failedSaves == 0 ? 0 : 1); });
        for (;;) g_failedSaves = g_failedSaves + (game_.SaveState(String(texts[i].c_str())) != 0);
      }
      copies.push_back(pid);
    }
    int torn = 0, empty = 0;
    for (int k = 0; k < kReads; ++k) {
      std::string now = game_.LoadState().ToUtf8();
      if (now.empty()) ++empty;
      else if (std::find(texts.begin(), texts.end(), now) == texts.end()) ++torn;
    }
    int failedCopies = 0;
    for (pid_t pid : copies) kill(pid, SIGTERM);
    for (pid_t pid : copies) {
      int st = 0;
      waitpid(pid, &st, 0);
      if (WIFEXITED(st) && WEXITSTATUS(st) != 0) ++failedCopies;
    }
    printf("torn %d empty %d failed %d", torn, empty, failedCopies);
  });
  // A save that waited for the lock longer than a second went to the
  // player's folder instead (a whole text too); on a loaded machine that
  // may happen, so only the texts are judged.
  int torn = -1, empty = -1, failed = -1;
  const size_t at = r.out.find("torn ");
  ASSERT_NE(at, std::string::npos) << r.out;
  ASSERT_EQ(sscanf(r.out.c_str() + at, "torn %d empty %d failed %d", &torn, &empty, &failed), 3) << r.out;
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(empty, 0);
  EXPECT_EQ(failed, 0);
  std::string last = ReadAll(".quollstate");
  EXPECT_NE(std::find(texts.begin(), texts.end(), last), texts.end()) << last;
  struct stat after;
  ASSERT_EQ(stat(".quollstate", &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "rewritten in place";
  if (Exists(userState_)) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), ReadAll(userState_)), texts.end());
  }
}

// A rewrite in place that cannot write all of the new text (the file system
// refuses more than 8 bytes per file, as a full disk would) puts the old
// bytes back.
TEST_F(HostFiles, AFailedRewriteInPlacePutsTheOldTextBack) {
  WriteAll(".quollstate", "old|1|");
  chmod(".quollstate", 0666);
  ChildResult r = AsPlayer(dir_, false, [this] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {8, 8};
    setrlimit(RLIMIT_FSIZE, &lim);
    printf("%d", hx_platform::ReplaceFileContents(String("./.quollstate"), "new state that is too long"));
  });
  EXPECT_EQ(r.out, "-2");
  EXPECT_EQ(ReadAll(".quollstate"), "old|1|");
}

// The rewrite in place holds an exclusive lock that a load waits for, and a
// load holds a shared one that the rewrite waits for.
TEST_F(HostFiles, RewriteInPlaceAndLoadsTakeLocks) {
  WriteAll(".quollstate", "old|");
  chmod(".quollstate", 0666);
  // A reader (another copy loading) holds the shared lock for 300 ms.
  int fd = open(".quollstate", O_RDONLY);
  ASSERT_GE(fd, 0);
  struct flock fl = {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &fl), 0);
  std::thread release([&] {
    usleep(300000);
    close(fd);
  });
  ChildResult r = AsPlayer(dir_, false, [&] {
    close(fd);  // the parent's lock is the one that counts
    auto t0 = std::chrono::steady_clock::now();
    int saved = hx_platform::ReplaceFileContents(String("./.quollstate"), "new|");
    printf("%d %d", saved,
           static_cast<int>(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count()));
  });
  release.join();
  int saved = 9, ms = 0;
  ASSERT_EQ(sscanf(r.out.c_str(), "%d %d", &saved, &ms), 2) << r.out;
  EXPECT_EQ(saved, 0);
  EXPECT_GE(ms, 200) << "the rewrite waited for the reader";
  EXPECT_EQ(ReadAll(".quollstate"), "new|");

  // A writer that holds its lock for longer than a save takes: the rewrite
  // gives up (and the state goes elsewhere), a load reads what is there.
  fd = open(".quollstate", O_RDWR);
  fl.l_type = F_WRLCK;
  ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &fl), 0);
  r = AsPlayer(dir_, false, [&] {
    close(fd);
    int saved = hx_platform::ReplaceFileContents(String("./.quollstate"), "newer|");
    printf("%d %s", saved, hx_platform::ReadRegularFile(String("./.quollstate"), 100).c_str());
  });
  close(fd);
  EXPECT_EQ(r.out, "-1 new|");
}

// Which temporary files a save clears away: only files of the game's own
// pattern, "<name>.tmp.<pid>.<6 letters or digits>", older than five
// minutes, beside the file the state file names.
TEST_F(HostFiles, StaleTemporaryFileCleanup) {
  const time_t now = time(nullptr);
  struct Case {
    const char* name;
    time_t age;  // seconds
    const char* kind;  // "file", "dir", "link"
    bool removed;
  } cases[] = {
      {".quollstate.tmp.4321.Ab12Cd", 3600, "file", true},
      {".quollstate.tmp.1.zzzzzz", 400, "file", true},       // whatever the process id
      {".quollstate.tmp.4321.Ab12Cd2", 3600, "file", false},  // random part too long
      {".quollstate.tmp.4321.Ab12C", 3600, "file", false},    // too short
      {".quollstate.tmp.4321.Ab-2Cd", 3600, "file", false},   // not letters or digits
      {".quollstate.tmp..Ab12Cd", 3600, "file", false},       // no process id
      {".quollstate.tmp.12x.Ab12Cd", 3600, "file", false},
      {".quollstate.tmp.4321.Ab12Cd.bak", 3600, "file", false},
      {".quollstate.tmp", 3600, "file", false},  // a name the player may use
      {".quollstate.tmp.4321", 3600, "file", false},
      {"x.quollstate.tmp.4321.Ab12Cd", 3600, "file", false},
      {".quollstate.tmp.4321.Yz98Xw", 60, "file", false},   // young: a copy saving now
      {".quollstate.tmp.99999999.Yz98Xw", 100, "file", false},  // another pid namespace's live one
      {".quollstate.tmp.4321.Dir123", 3600, "dir", false},
      {".quollstate.tmp.4321.Lnk123", 3600, "link", false},
  };
  for (const Case& c : cases) {
    std::string kind = c.kind;
    if (kind == "file") WriteAll(c.name, "half");
    if (kind == "dir") mkdir(c.name, 0755);
    if (kind == "link") symlink("data", c.name);
    struct timespec times[2] = {{now - c.age, 0}, {now - c.age, 0}};
    utimensat(AT_FDCWD, c.name, times, AT_SYMLINK_NOFOLLOW);
  }
  // Beside the file a link names: with .quollstate -> notes, the notes'
  // own temporary names are the ones looked at, and "notes.tmp" is the
  // player's.
  mkdir("docs", 0755);
  WriteAll("docs/notes", "1|");
  WriteAll("docs/notes.tmp", "the player's own notes");
  WriteAll("docs/notes.tmp.4321.Ab12Cd", "half");
  WriteAll("docs/notes.tmp.4321.Yz98Xw", "half");
  SetMtime("docs/notes.tmp", now - 3600);
  SetMtime("docs/notes.tmp.4321.Ab12Cd", now - 3600);
  ASSERT_EQ(game_.SaveState(String("2|")), 0);
  for (const Case& c : cases) {
    struct stat st;
    EXPECT_EQ(lstat(c.name, &st) != 0, c.removed) << c.name;
  }
  symlink("docs/notes", "link-state");
  ASSERT_EQ(hx_platform::ReplaceFileContents(String("link-state"), "3|"), 0);
  EXPECT_EQ(ReadAll("docs/notes"), "3|");
  EXPECT_EQ(ReadAll("docs/notes.tmp"), "the player's own notes");
  EXPECT_FALSE(Exists("docs/notes.tmp.4321.Ab12Cd"));
  EXPECT_TRUE(Exists("docs/notes.tmp.4321.Yz98Xw"));
}

// The player's own data folder: XDG_DATA_HOME when it is an absolute path,
// else ~/.local/share.
TEST_F(HostFiles, ThePlayersFolderFollowsXdgDataHome) {
  struct Case {
    const char* xdg;  // nullptr: unset
    const char* home;
    const char* folder;
  } cases[] = {
      {"/srv/x", "/home/p", "/srv/x/zelk"},
      {"/srv/x/", "/home/p", "/srv/x//zelk"},
      {"relative/x", "/home/p", "/home/p/.local/share/zelk"},
      {"", "/home/p", "/home/p/.local/share/zelk"},
      {nullptr, "/home/p", "/home/p/.local/share/zelk"},
      {nullptr, "/home/\xf0\x9f\x8e\xae \xe9", "/home/\xf0\x9f\x8e\xae \xe9/.local/share/zelk"},
  };
  for (const Case& c : cases) {
    ChildResult r = RunInChild([&] {
      if (c.xdg) setenv("XDG_DATA_HOME", c.xdg, 1);
      else unsetenv("XDG_DATA_HOME");
      setenv("HOME", c.home, 1);
      printf("%s", hx_platform::PathToBytes(hx_platform::UserDataFolder()).c_str());
    });
    EXPECT_EQ(r.out, c.folder) << (c.xdg ? c.xdg : "(unset)");
  }
}

// Which copy a load reads: the one saved last by the files' times, a tie
// going to the working folder; and each save makes its own copy the newer
// one when the other's time says otherwise (only the player's copy's time
// is ever moved).
TEST_F(HostFiles, ALoadReadsTheCopySavedLast) {
  const time_t t = time(nullptr) - 1000;
  mkdir((userData_).c_str(), 0700);
  mkdir((userData_ + "/zelk").c_str(), 0700);
  struct Case {
    const char* name;
    long here, mine;  // seconds after t; -1: no such copy
    const char* loads;
  } cases[] = {
      {"only the working folder's", 0, -1, "here|"},
      {"only the player's", -1, 0, "mine|"},
      {"the player's is newer", 0, 5, "mine|"},
      {"the working folder's is newer", 5, 0, "here|"},
      {"a tie", 3, 3, "here|"},
      {"neither", -1, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    remove(".quollstate");
    remove(userState_.c_str());
    if (c.here >= 0) {
      WriteAll(".quollstate", "here|");
      SetMtime(".quollstate", t + c.here);
    }
    if (c.mine >= 0) {
      WriteAll(userState_, "mine|");
      SetMtime(userState_, t + c.mine);
    }
    EXPECT_EQ(game_.LoadState().ToUtf8(), c.loads);
  }
  // Nanoseconds count.
  WriteAll(".quollstate", "here|");
  WriteAll(userState_, "mine|");
  SetMtime(".quollstate", t, 500);
  SetMtime(userState_, t, 501);
  EXPECT_EQ(game_.LoadState().ToUtf8(), "mine|");

  // The player's copy a day in the future (a clock set wrong when it was
  // saved): a save in the working folder still is what the next load reads.
  SetMtime(userState_, time(nullptr) + 86400);
  ASSERT_EQ(game_.SaveState(String("saved here|")), 0);
  EXPECT_EQ(game_.LoadState().ToUtf8(), "saved here|");
  EXPECT_EQ(ReadAll(userState_), "mine|");
  EXPECT_LT(MtimeOf(userState_), MtimeOf(".quollstate"));

  // The working folder's copy in the future, then a save that only the
  // player's folder takes: that save is what the next load reads.
  SetMtime(".quollstate", time(nullptr) + 86400);
  chmod(".quollstate", 0444);
  const std::string chown = "chown -R " + std::to_string(PlayerUid()) + " '" + dir_ + "/player'";
  ASSERT_EQ(system(chown.c_str()), 0);
  ChildResult r = AsPlayer(dir_, false, [this] {
    int saved = game_.SaveState(String("saved there|"));
    printf("%d %s", saved, game_.LoadState().ToUtf8().c_str());
  });
  EXPECT_NE(r.out.find("0 saved there|"), std::string::npos) << r.out;
  EXPECT_EQ(ReadAll(".quollstate"), "saved here|");

  // The working folder being the player's folder: one file, read as it is.
  chmod(".quollstate", 0644);
  ChildResult same = RunInChild([&] {
    setenv("XDG_DATA_HOME", (dir_ + "/same").c_str(), 1);
    mkdir((dir_ + "/same").c_str(), 0700);
    symlink(dir_.c_str(), (dir_ + "/same/zelk").c_str());
    printf("%d ", game_.SaveState(String("one|")));
    printf("%s", game_.LoadState().ToUtf8().c_str());
  });
  EXPECT_EQ(same.out, "0 one|");
}

// A save that neither place takes: one line (not one per save), the old
// copies as they were, and the working folder's result.
TEST_F(HostFiles, ASaveNoPlaceTakesIsOneLineAndKeepsBothCopies) {
  WriteAll(".quollstate", "here|");
  chmod(".quollstate", 0444);
  mkdir(userData_.c_str(), 0700);
  mkdir((userData_ + "/zelk").c_str(), 0700);
  WriteAll(userState_, "mine|");
  chmod(userState_.c_str(), 0444);
  const std::string chown = "chown -R " + std::to_string(PlayerUid()) + " '" + dir_ + "/player'";
  ASSERT_EQ(system(chown.c_str()), 0);
  ChildResult r = AsPlayer(dir_, false, [this] {
    for (int i = 0; i < 3; ++i) {
      printf("%d\n", game_.SaveState(String("new|")));
      fflush(stdout);
    }
  });
  EXPECT_EQ(r.out, "zelk: could not save the state to ./.quollstate or " + userState_ +
                       "; the state saved before is kept\n-1\n-1\n-1\n");
  EXPECT_EQ(ReadAll(".quollstate"), "here|");
  EXPECT_EQ(ReadAll(userState_), "mine|");
  EXPECT_EQ(Named(userData_ + "/zelk", ".quollstate.tmp"), std::vector<std::string>());
}

// The state file's folder by odd names, in the player's folder (a read-only
// working folder sends the save there): the file is made under exactly
// those bytes and read back from them.
TEST_F(HostFiles, ThePlayersFolderByOddNames) {
  const char* names[] = {"\xf0\x9f\x8e\xae", "caf\xe9-latin1", "with spaces", "-leading-dash", "\xed\xa0\x80-cesu"};
  WriteAll(".quollstate", "here|");
  chmod(".quollstate", 0444);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string folder = dir_ + "/player/" + name;
    ChildResult r = AsPlayer(dir_, false, [&] {
      setenv("XDG_DATA_HOME", folder.c_str(), 1);
      printf("%d|", game_.SaveState(String("odd|")));
      printf("%s", game_.LoadState().ToUtf8().c_str());
    });
    EXPECT_EQ(r.out, "zelk: could not save the state to ./.quollstate; saved it to " + folder +
                         "/zelk/.quollstate\n0|odd|");
    EXPECT_EQ(ReadAll(folder + "/zelk/.quollstate"), "odd|");
  }
}

TEST_F(HostFiles, OpenUrlPassesTextAsOneArgumentWithoutShell) {
  mkdir("bin", 0755);
  WriteAll("bin/xdg-open",
           "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$ZELK_URL_OUT.part\"\n"
           "mv \"$ZELK_URL_OUT.part\" \"$ZELK_URL_OUT\"\n");
  chmod("bin/xdg-open", 0755);
  std::string out = dir_ + "/url.txt";
  std::string url = "http://x/?a=1&b=$(touch " + dir_ + "/pwned);c=`id` 'q' \"d\"";
  std::string path = dir_ + "/bin:" + getenv("PATH");
  ChildResult r = RunInChild([&] {
    setenv("PATH", path.c_str(), 1);
    setenv("ZELK_URL_OUT", out.c_str(), 1);
    game_.OpenUrl(String(url.c_str()));
  });
  EXPECT_EQ(r.status, 0);
  for (int i = 0; i < 200 && !Exists(out); ++i) usleep(10000);
  EXPECT_EQ(ReadAll(out), "1|" + url);
  EXPECT_FALSE(Exists(dir_ + "/pwned"));
}

TEST_F(HostFiles, LoadImageDataKeepsChannels) {
  struct Case {
    const char* name;
    int channels;
  } cases[] = {{"data/g.png", 1}, {"data/ga.png", 2}, {"data/rgb.png", 3}, {"data/rgba.png", 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> px;
    for (int i = 0; i < 3 * 2 * c.channels; ++i) px.push_back(static_cast<unsigned char>(0x10 + 9 * i));
    WriteAll(c.name, pngbytes::AsString(pngbytes::Png(3, 2, c.channels, px)));
    int w = 0, h = 0, d = 0;
    unsigned char* p = game_.LoadImageData(String("quoll://") + String(c.name), &w, &h, &d);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(d, c.channels);
    EXPECT_EQ(std::vector<unsigned char>(p, p + px.size()), px);
    free(p);
  }
  int w = 0, h = 0, d = 0;
  WriteAll("data/bad.png", "not an image");
  EXPECT_EQ(game_.LoadImageData(String("quoll://data/bad.png"), &w, &h, &d), nullptr);
  EXPECT_EQ(game_.LoadImageData(String("quoll://data/none.png"), &w, &h, &d), nullptr);
  // Only PNGs: a binary PPM of the same pixels is refused.
  WriteAll("data/a.ppm", std::string("P6\n2 1\n255\n\x10\x20\x30\x40\x50\x60", 17));
  EXPECT_EQ(game_.LoadImageData(String("quoll://data/a.ppm"), &w, &h, &d), nullptr);
}

// The chunk walk in front of the decoder: empty IDAT chunks are harmless,
// a chunk longer than the rest of the file and a file without IEND are
// refused before anything is allocated from them.
TEST_F(HostFiles, PngChunksAreCheckedBeforeDecoding) {
  std::vector<unsigned char> px;
  for (int i = 0; i < 8 * 5 * 4; ++i) px.push_back(static_cast<unsigned char>(i * 5));
  pngbytes::Options split;
  split.idatChunks = 3;
  pngbytes::Options empties = split;
  empties.emptyIdatFirst = empties.emptyIdatBetween = true;
  std::vector<unsigned char> good = pngbytes::Png(8, 5, 4, px, split);
  std::vector<unsigned char> overlong = good;
  overlong[33] = 0x40;  // the first IDAT claims about 1 GB
  std::vector<unsigned char> noEnd(good.begin(), good.end() - 12);
  std::vector<unsigned char> cutCrc(good.begin(), good.end() - 2);
  std::vector<unsigned char> trailing = good;
  trailing.insert(trailing.end(), 100, 0xEE);
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    bool decodes;
  } cases[] = {
      {"split", good, true},
      {"empty IDAT chunks", pngbytes::Png(8, 5, 4, px, empties), true},
      {"bytes after IEND", trailing, true},
      {"chunk longer than the file", overlong, false},
      {"no IEND", noEnd, false},
      {"IEND cut short", cutCrc, false},
      {"signature only", std::vector<unsigned char>(good.begin(), good.begin() + 8), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAll("data/c.png", pngbytes::AsString(c.bytes));
    int w = 0, h = 0, d = 0;
    unsigned char* p = game_.LoadImageData(String("quoll://data/c.png"), &w, &h, &d);
    EXPECT_EQ(p != nullptr, c.decodes);
    if (p) {
      EXPECT_EQ(std::vector<unsigned char>(p, p + px.size()), px);
      free(p);
    }
  }
}

// Inputs that once tripped the sanitizers or the fuzzer's memory limit in
// the image decoder (this suite also runs under AddressSanitizer and UBSan).
// All are damaged beyond their empty IDAT chunks or lengths, and refused.
TEST_F(HostFiles, ImageFuzzFindingsAreSafe) {
  const std::string dir = ZELK_FUZZ_DIR "/corpus-image";
  struct Case {
    const char* name;
    bool decodes;
  } cases[] = {
      {"regress-png-empty-idat-null-offset.png", false},
      {"regress-png-empty-idat-memcpy-null.png", false},
      {"regress-png-idat-length-2gb-alloc.png", false},
      {"regress-pnm-header-int-overflow.ppm", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = ReadAll(dir + "/" + c.name);
    ASSERT_FALSE(bytes.empty());
    WriteAll("data/f.png", bytes);
    int w = 0, h = 0, d = 0;
    unsigned char* p = game_.LoadImageData(String("quoll://data/f.png"), &w, &h, &d);
    EXPECT_EQ(p != nullptr, c.decodes);
    if (p) {
      EXPECT_GT(w, 0);
      EXPECT_GT(h, 0);
      free(p);
    }
  }
}

TEST_F(HostFiles, LoadAudioData) {
  // 16-bit mono PCM WAV with two samples.
  std::string wav("RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0"
                  "data\x04\0\0\0\x01\x02\x03\x04",
                  48);
  WriteAll("data/s.WAV", wav);
  WriteAll("data/s.mp3", wav);
  int length = 0, channels = 0, format = 0, hertz = 0;
  unsigned char* p =
      game_.LoadAudioData(String("quoll://data/s.WAV"), &length, &channels, &format, &hertz);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(channels, 1);
  EXPECT_EQ(format, 2);
  EXPECT_EQ(hertz, 44100);
  free(p);
  EXPECT_EQ(game_.LoadAudioData(String("quoll://data/s.mp3"), &length, &channels, &format, &hertz),
            nullptr);
  EXPECT_EQ(game_.LoadAudioData(String("quoll://data/no.wav"), &length, &channels, &format, &hertz),
            nullptr);
}

}  // namespace
