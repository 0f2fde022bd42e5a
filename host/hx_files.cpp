// Files, virtual paths and the persisted state file.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/hx_desktop.h"
#include "host/hx_glfw_game.h"
#include "host/hx_platform.h"

#include <sys/stat.h>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

const char* const kStateFile = "./.quollstate";
// The state text is about 130 bytes; a file beyond this reads as its first
// 64 KiB (damaged, for the game's checksums to judge), never as gigabytes.
const size_t kMaxStateBytes = 64 * 1024;

#ifndef _WIN32
// ---- the state file on POSIX systems ----
//
// The state file may be a symbolic link (to a synced folder, say): saving
// writes beside the file the link finally names and renames over that file,
// so the link survives and the permission bits stay as the player set them.
// Every copy of the game writes its own temporary file,
// "<name>.tmp.<pid>.<random>"; those left behind by a copy that was killed
// mid-save (and the older fixed name "<name>.tmp") are removed by the next
// save. Only regular files are ever read or replaced.

std::string DirOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links ends at (which need not exist); false
// for a loop or an unreadable link.
bool ResolveLinks(std::string path, std::string* target) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = path;
      return true;
    }
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf)) return false;
    std::string link(buf, static_cast<size_t>(n));
    path = link[0] == '/' ? link : DirOf(path) + "/" + link;
  }
  return false;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += static_cast<size_t>(n);
  }
  return true;
}

void SyncDir(const std::string& dir) {
  // Makes a rename durable; a failure leaves either file complete, so it is
  // not reported.
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

// Removes temporary files of base in dir that no running copy is writing:
// the old fixed name, and names whose process id is gone. A copy that is
// still running (or one whose id now belongs to another program) keeps its
// file; nothing but regular files is removed.
void RemoveStaleTemps(const std::string& dir, const std::string& base) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  const std::string fixed = base + ".tmp";
  const std::string prefix = fixed + ".";
  const pid_t self = getpid();
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    bool stale = false;
    if (name == fixed) {
      stale = true;
    } else if (name.compare(0, prefix.size(), prefix) == 0) {
      const char* digits = name.c_str() + prefix.size();
      char* end = nullptr;
      long pid = strtol(digits, &end, 10);
      stale = end != digits && *end == '.' && pid > 0 && pid != self && kill(static_cast<pid_t>(pid), 0) != 0 &&
              errno == ESRCH;
    }
    if (!stale) continue;
    std::string path = dir + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(path.c_str());
  }
  closedir(d);
}

// The save of old: the file itself truncated to the new text, for a folder
// in which no temporary file can be made.
int RewriteInPlace(const std::string& target, const std::string& bytes) {
  int fd = open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  bool ok = WriteAll(fd, bytes) && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  return ok ? 0 : -2;
}

int SaveStateFile(const std::string& bytes) {
  std::string target;
  if (!ResolveLinks(kStateFile, &target)) return -1;
  struct stat st;
  bool exists = lstat(target.c_str(), &st) == 0;
  // A directory, FIFO or device in the state file's place is left alone,
  // and so is a state file the player made read-only.
  if (exists && (!S_ISREG(st.st_mode) || access(target.c_str(), W_OK) != 0)) return -1;

  const std::string dir = DirOf(target);
  const std::string base = BaseOf(target);
  RemoveStaleTemps(dir, base);
  std::string temp = dir + "/" + base + ".tmp." + std::to_string(getpid()) + ".XXXXXX";
  int fd = mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) {
    // A folder that takes no new file, around a file that can be written.
    if (exists && (errno == EACCES || errno == EPERM || errno == EROFS)) return RewriteInPlace(target, bytes);
    return -1;
  }
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
    // Keep the owner too where that is allowed (a game run by another user).
    if (st.st_uid != geteuid() || st.st_gid != getegid()) {
      if (fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Not allowed: the file becomes the saving user's, as any new file.
      }
    }
  } else {
    mode_t mask = umask(0);
    umask(mask);
    // The game must be able to read its own file back, whatever the mask
    // (Emscripten's C library, for one, reports a mask of 0777).
    mode = (0666 & ~mask) | S_IRUSR | S_IWUSR;
  }
  bool ok = fchmod(fd, mode) == 0;
  ok = WriteAll(fd, bytes) && ok;
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return -2;
  }
  SyncDir(dir);
  return 0;
}

#endif

}  // namespace

String HxGlfwGame::PathToFilePath(String path) {
  if (!path.StartsWith(String("quoll:"))) return path;
  // The data folder is looked for once: ./data/ or the executable's own.
  const String data("quoll://data/");
  if (path.StartsWith(data)) return hx_data_folder().root + path.Slice(data.Length());
  static const char* const kRoots[][2] = {
      {"quoll://internal/", "./internal/"},
      {"quoll://external/", "./external/"},
  };
  for (const auto& root : kRoots) {
    String prefix(root[0]);
    if (path.StartsWith(prefix)) return String(root[1]) + path.Slice(prefix.Length());
  }
  return String();
}

FILE* HxGame::OpenFile(String path, String mode) {
  String file = PathToFilePath(path);
  if (file.IsEmpty()) return nullptr;
  return hx_platform::OpenFile(file, mode);
}

String HxGame::LoadString(String path) {
  FILE* f = OpenFile(path, String("rb"));
  if (!f) return String();
  String text = String::Load(f);
  fclose(f);
  return text;
}

unsigned char* HxGame::LoadData(String path, int* length) {
  FILE* f = OpenFile(path, String("rb"));
  if (!f) return nullptr;
  const size_t kChunk = 4096;
  std::vector<std::unique_ptr<unsigned char[]>> chunks;
  size_t total = 0;
  for (;;) {
    chunks.emplace_back(new unsigned char[kChunk]);
    size_t n = fread(chunks.back().get(), 1, kChunk, f);
    total += n;
    if (n < kChunk) break;
  }
  fclose(f);
  if (total > 0x7fffffff) return nullptr;  // beyond what length can report
  // One byte more than needed, so that an empty file still gives a block.
  unsigned char* data = static_cast<unsigned char*>(malloc(total + 1));
  if (!data) return nullptr;
  size_t at = 0;
  for (auto& chunk : chunks) {
    size_t n = total - at < kChunk ? total - at : kChunk;
    memcpy(data + at, chunk.get(), n);
    at += n;
    chunk.reset();
  }
  *length = static_cast<int>(total);
  gc_ext_malloced(static_cast<int>(total));
  return data;
}

#ifdef _WIN32
int HxGame::SaveState(String state) {
  int result = hx_platform::ReplaceFileContents(String(kStateFile), hx_utf8_encode(state));
  if (result == 0) hx_platform::StateSaved();
  return result;
}
#else
int HxGame::SaveState(String state) {
  int result = SaveStateFile(hx_utf8_encode(state));
  if (result == 0) hx_platform::StateSaved();
  return result;
}
#endif

// Only a regular file is read (a directory, FIFO or device reads as no
// state), at most kMaxStateBytes of it, and opening never waits.
String HxGame::LoadState() {
  std::vector<unsigned char> buf(kMaxStateBytes);
  size_t n = 0;
#ifdef _WIN32
  FILE* f = OpenFile(String(kStateFile), String("rb"));
  if (!f) return String();
  struct _stat64 st;
  if (_fstat64(_fileno(f), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG) n = fread(buf.data(), 1, buf.size(), f);
  fclose(f);
#else
  int fd = open(kStateFile, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return String();
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    while (n < buf.size()) {
      ssize_t got = read(fd, buf.data() + n, buf.size() - n);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      n += static_cast<size_t>(got);
    }
  }
  close(fd);
#endif
  return String::FromBytes(buf.data(), static_cast<int>(n));
}
