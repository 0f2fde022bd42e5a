// The platform layer's file operations on POSIX systems (Linux, and the
// browser's virtual file system): telling and reading a regular file, and
// replacing a file's contents in one step.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "host/hx_platform.h"

namespace hx_platform {
namespace {

// The file may be a symbolic link (to a synced folder, say): the new
// contents are written beside the file the link finally names and renamed
// over that file, so the link survives and the permission bits stay as the
// player set them. Every copy of the game writes its own temporary file,
// "<name>.tmp.<pid>.<random>"; those left behind by a copy that was killed
// mid-save (and the older fixed name "<name>.tmp") are removed by the next
// replace. Only regular files are ever replaced.

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

}  // namespace

bool IsRegularFile(const String& path) {
  struct stat st;
  return stat(path.ToUtf8().c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadRegularFile(const String& path, size_t max) {
  std::string bytes;
  int fd = open(path.ToUtf8().c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return bytes;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    // Grown as the file is read: max bounds the file, it is not a size to
    // set aside.
    char chunk[16384];
    while (bytes.size() < max) {
      ssize_t got = read(fd, chunk, std::min(sizeof chunk, max - bytes.size()));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      bytes.append(chunk, static_cast<size_t>(got));
    }
  }
  close(fd);
  return bytes;
}

int ReplaceFileContents(const String& path, const std::string& bytes) {
  std::string target;
  if (!ResolveLinks(path.ToUtf8(), &target)) return -1;
  struct stat st;
  bool exists = lstat(target.c_str(), &st) == 0;
  // A directory, FIFO or device in the file's place is left alone, and so
  // is a file the player made read-only.
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

}  // namespace hx_platform
