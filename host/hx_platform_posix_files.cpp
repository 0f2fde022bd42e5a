// The platform layer's file operations on POSIX systems (Linux, and the
// browser's virtual file system): telling and reading a regular file, and
// replacing a file's contents in one step.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>

#include "host/hx_platform.h"

namespace hx_platform {
namespace {

// The file may be a symbolic link (to a synced folder, say): the new
// contents are written beside the file the link finally names and renamed
// over that file, so the link survives and the permission bits stay as the
// player set them. Every copy of the game writes its own temporary file,
// "<name>.tmp.<pid>.<random>"; those left behind by a copy that was killed
// mid-save are removed by a later replace once they are old. Only regular
// files are ever replaced.

// A save's temporary file lives for milliseconds; one this old was left by
// a copy that died mid-save, whatever its process id says (a copy in
// another process-id namespace, or an id used again since).
const int64_t kStaleTempAgeNs = int64_t(5) * 60 * 1000000000;
// How long a lock held by another copy is waited for: a save holds it for
// a few milliseconds.
const int kLockWaitMs = 1000;

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

int64_t Nanoseconds(const struct timespec& t) { return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; }

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether name is a temporary file of base as ReplaceFileContents makes
// them: "<base>.tmp.<digits>.<six letters or digits>", nothing more or less.
bool IsTempOf(const std::string& name, const std::string& base) {
  const std::string prefix = base + ".tmp.";
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  size_t i = prefix.size(), digits = 0;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i, ++digits;
  if (digits == 0 || i >= name.size() || name[i] != '.') return false;
  ++i;
  if (name.size() - i != 6) return false;
  for (; i < name.size(); ++i)
    if (!IsAlnum(name[i])) return false;
  return true;
}

// Removes the temporary files of base in dir that are old enough that no
// save can still be writing them. Nothing but regular files of that exact
// pattern is removed.
void RemoveStaleTemps(const std::string& dir, const std::string& base) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (!IsTempOf(name, base)) continue;
    std::string path = dir + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (Nanoseconds(now) - Nanoseconds(st.st_mtim) > kStaleTempAgeNs) unlink(path.c_str());
  }
  closedir(d);
}

enum class Locked { kYes, kBusy, kUnsupported };

// A lock on the whole file (F_RDLCK shared, F_WRLCK exclusive), waited for
// up to kLockWaitMs. Open-file-description locks where the system has them:
// they belong to this descriptor alone, so no other close in the process
// drops them. Released when fd is closed.
Locked Lock(int fd, short type) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
  int cmd = F_OFD_SETLK;
#else
  int cmd = F_SETLK;
#endif
  for (int waited = 0;;) {
    if (fcntl(fd, cmd, &fl) == 0) return Locked::kYes;
    int err = errno;
#ifdef F_OFD_SETLK
    if (err == EINVAL && cmd == F_OFD_SETLK) {  // a kernel without them
      cmd = F_SETLK;
      continue;
    }
#endif
    if (err != EACCES && err != EAGAIN && err != EINTR) return Locked::kUnsupported;
    if (waited >= kLockWaitMs) return Locked::kBusy;
    usleep(1000);
    ++waited;
  }
}

bool PWriteAll(int fd, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    ssize_t n = pwrite(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += static_cast<size_t>(n);
  }
  return true;
}

// The whole file from its start; false on a read error or beyond max bytes.
bool ReadWhole(int fd, std::string* bytes, size_t max) {
  char chunk[16384];
  for (;;) {
    ssize_t got = pread(fd, chunk, sizeof chunk, static_cast<off_t>(bytes->size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes->append(chunk, static_cast<size_t>(got));
    if (bytes->size() > max) return false;
  }
}

// For a folder in which no temporary file can be made: the file itself
// rewritten, under an exclusive lock that readers of the game wait for. The
// old bytes are read first and put back when the new ones cannot all be
// written, so the file always holds one whole text.
int RewriteInPlace(const std::string& target, const std::string& bytes) {
  int fd = open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  std::string old;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || Lock(fd, F_WRLCK) == Locked::kBusy ||
      !ReadWhole(fd, &old, 64u << 20)) {
    close(fd);
    return -1;
  }
  bool ok = true;
#ifdef __linux__
  // Room for a longer text first: a full disk then fails before anything
  // has changed. Not every file system can do this; the writes below tell.
  if (bytes.size() > old.size() && fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS)
    ok = false;
#endif
  ok = ok && PWriteAll(fd, bytes) && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && fsync(fd) == 0;
  if (!ok) {
    // The old text fitted before, so it fits again.
    if (PWriteAll(fd, old) && ftruncate(fd, static_cast<off_t>(old.size())) == 0) fsync(fd);
  }
  close(fd);  // releases the lock
  return ok ? 0 : -2;
}

}  // namespace

bool IsRegularFile(const String& path) {
  struct stat st;
  return stat(PathToBytes(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool MakeFolders(const String& folder) {
  std::string path = PathToBytes(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return false;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  // Each missing folder from the top down.
  for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    std::string part = at == std::string::npos ? path : path.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (at == std::string::npos) break;
  }
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool StampOf(const String& path, FileStamp* out) {
  struct stat st;
  if (stat(PathToBytes(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  out->written = Nanoseconds(st.st_mtim);
  out->device = static_cast<uint64_t>(st.st_dev);
  out->file = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool SetWrittenTime(const String& path, int64_t written) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(written / 1000000000);
  times[1].tv_nsec = static_cast<long>(written % 1000000000);
  if (times[1].tv_nsec < 0) {
    times[1].tv_nsec += 1000000000;
    times[1].tv_sec -= 1;
  }
  return utimensat(AT_FDCWD, PathToBytes(path).c_str(), times, 0) == 0;
}

std::string ReadRegularFile(const String& path, size_t max) {
  std::string bytes;
  int fd = open(PathToBytes(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return bytes;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    // A lock held for longer than a save takes is not waited for: the file
    // is read as it is.
    Lock(fd, F_RDLCK);
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
  if (!ResolveLinks(PathToBytes(path), &target)) return -1;
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
  int result = ok ? 0 : -2;
  if (ok && rename(temp.c_str(), target.c_str()) != 0) result = -1;
  if (result != 0) {
    unlink(temp.c_str());
    return result;
  }
  SyncDir(dir);
  return 0;
}

}  // namespace hx_platform
