// Which files under a folder are opened while a test runs, seen through
// inotify on the folder and its subfolders: whichever process opens them
// (the game itself, or Wine's server on behalf of zelk.exe), without
// tracing the process. Names are relative to the folder ("menu-hd.png",
// "common/icons-hd2.png").
#pragma once
#include <fcntl.h>
#include <ftw.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <map>
#include <set>
#include <string>

namespace file_opens {

class Watch {
 public:
  // Watches root (following a symbolic link to it) and every folder below.
  explicit Watch(const std::string& root) : root_(Real(root)) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0 || root_.empty()) return;
    current_ = this;
    nftw(root_.c_str(), &Watch::AddFolder, 16, FTW_PHYS);
    current_ = nullptr;
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;
  ~Watch() {
    if (fd_ >= 0) close(fd_);
  }
  bool Ok() const { return fd_ >= 0 && !folders_.empty(); }

  // Every file opened since the watch began (or since the last Clear).
  const std::set<std::string>& Opened() {
    alignas(inotify_event) char buf[64 * 1024];
    for (;;) {
      ssize_t n = read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const inotify_event* e = reinterpret_cast<const inotify_event*>(buf + at);
        auto folder = folders_.find(e->wd);
        if (e->len > 0 && folder != folders_.end())
          opened_.insert(folder->second.empty() ? std::string(e->name) : folder->second + "/" + e->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    return opened_;
  }
  void Clear() {
    Opened();
    opened_.clear();
  }
  // Whether any opened file's name ends in suffix (such as "-hd2.png").
  bool AnyEndsWith(const std::string& suffix) {
    for (const std::string& name : Opened())
      if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        return true;
    return false;
  }
  // The art tier the opened pictures belong to: "-hd2", "-hd", "" (the
  // base pictures) or "none" when no picture was opened; "mixed" when
  // more than one tier was.
  std::string Tier() {
    bool hd2 = false, hd = false, base = false;
    for (const std::string& name : Opened()) {
      if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0) continue;
      if (name.find("brio_font") != std::string::npos || name.rfind("icons/", 0) == 0) continue;  // one size only
      std::string stem = name.substr(0, name.size() - 4);
      auto ends = [&](const char* s) {
        std::string t = s;
        return stem.size() >= t.size() && stem.compare(stem.size() - t.size(), t.size(), t) == 0;
      };
      if (ends("-hd2")) hd2 = true;
      else if (ends("-hd")) hd = true;
      else base = true;
    }
    int tiers = hd2 + hd + base;
    if (tiers == 0) return "none";
    if (tiers > 1) return "mixed";
    return hd2 ? "-hd2" : hd ? "-hd" : "";
  }

 private:
  static std::string Real(const std::string& path) {
    char buf[4096];
    return realpath(path.c_str(), buf) ? std::string(buf) : std::string();
  }
  static int AddFolder(const char* path, const struct stat*, int type, struct FTW*) {
    if (type != FTW_D || !current_) return 0;
    int wd = inotify_add_watch(current_->fd_, path, IN_OPEN);
    if (wd >= 0) {
      std::string rel = path;
      rel = rel.size() > current_->root_.size() ? rel.substr(current_->root_.size() + 1) : std::string();
      current_->folders_[wd] = rel;
    }
    return 0;
  }

  static inline Watch* current_ = nullptr;
  std::string root_;
  int fd_ = -1;
  std::map<int, std::string> folders_;
  std::set<std::string> opened_;
};

}  // namespace file_opens
