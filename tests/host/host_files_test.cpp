// Paths, file reading, the state file, OpenUrl and the image/sound loaders.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host_test_util.h"

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

// Each test runs in a fresh working directory.
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
  }
  void TearDown() override {
    ASSERT_EQ(chdir(old_.c_str()), 0);
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string old_, dir_;
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
    EXPECT_FALSE(Exists(".quollstate.tmp"));
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
  EXPECT_EQ(r.out, "-2");
  EXPECT_EQ(ReadAll(".quollstate"), "old|1|");
  EXPECT_FALSE(Exists(".quollstate.tmp"));
  EXPECT_EQ(game_.LoadState(), String("old|1|"));
}

TEST_F(HostFiles, SaveThatCannotOpenReportsMinusOne) {
  ASSERT_EQ(game_.SaveState(String("old")), 0);
  mkdir(".quollstate.tmp", 0755);  // the temporary file cannot be created
  EXPECT_EQ(game_.SaveState(String("new")), -1);
  EXPECT_EQ(ReadAll(".quollstate"), "old");
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
  // 2 x 1 binary PPM (3 channels) and PGM (1 channel).
  WriteAll("data/a.ppm", std::string("P6\n2 1\n255\n\x10\x20\x30\x40\x50\x60", 17));
  WriteAll("data/g.pgm", std::string("P5\n2 1\n255\n\x7f\x80", 13));
  WriteAll("data/bad.png", "not an image");
  int w = 0, h = 0, d = 0;
  unsigned char* p = game_.LoadImageData(String("quoll://data/a.ppm"), &w, &h, &d);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(d, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(p), 6), "\x10\x20\x30\x40\x50\x60");
  free(p);
  p = game_.LoadImageData(String("quoll://data/g.pgm"), &w, &h, &d);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(d, 1);
  free(p);
  EXPECT_EQ(game_.LoadImageData(String("quoll://data/bad.png"), &w, &h, &d), nullptr);
  EXPECT_EQ(game_.LoadImageData(String("quoll://data/none.png"), &w, &h, &d), nullptr);
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
