// Files, virtual paths and the persisted state file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/hx_desktop.h"
#include "host/hx_glfw_game.h"
#include "host/hx_platform.h"

namespace {

const char* const kStateFile = "./.quollstate";
// The state text is about 130 bytes; a file beyond this reads as its first
// 64 KiB (damaged, for the game's checksums to judge), never as gigabytes.
const size_t kMaxStateBytes = 64 * 1024;

// When the working folder cannot take the state (a read-only install, a
// full disk, a file another program holds), it goes to the player's own
// data folder instead, under the same name; a load reads whichever copy was
// saved last. The working folder's copy is the game's normal place and is
// written exactly as always; nothing else happens while it takes the state.
//
// "Saved last" is the files' modification time, with a tie going to the
// working folder. Each save that succeeds makes its copy the newer one when
// the other copy's time says otherwise (a clock set back, a coarse clock, a
// folder on a machine whose clock runs ahead): only the per-user copy's time
// is ever changed, since that folder is always the player's own.
const int64_t kSecond = 1000000000;

String UserStateFile() {
  String folder = hx_platform::UserDataFolder();
  if (folder.IsEmpty()) return folder;
#ifdef _WIN32
  return folder + String("\\.quollstate");
#else
  return folder + String("/.quollstate");
#endif
}

String FolderOf(const String& file) {
  for (int i = file.Length() - 1; i > 0; --i)
    if (file[i] == '/' || file[i] == '\\') return file.Slice(0, i);
  return String();
}

// After a save to `saved`: the per-user copy's time moved so that the copy
// just written is the one a load reads.
void MakeNewest(const String& saved, const String& other, const String& user) {
  hx_platform::FileStamp s, o;
  if (!hx_platform::StampOf(saved, &s) || !hx_platform::StampOf(other, &o) || s.SameFile(o)) return;
  if (saved == user) {
    if (s.written <= o.written) hx_platform::SetWrittenTime(user, o.written + kSecond);
  } else if (o.written >= s.written) {
    hx_platform::SetWrittenTime(user, s.written - kSecond);
  }
}

// Where the last save went, so that the log has one line each time that
// changes (and none while the working folder takes every save).
enum class Place { kWorking, kUser, kNowhere };
Place g_lastPlace = Place::kWorking;

void Log(const std::string& line) {
  fprintf(stderr, "zelk: %s\n", line.c_str());
  fflush(stderr);
}

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

int HxGame::SaveState(String state) {
  const std::string bytes = hx_utf8_encode(state);
  const String here(kStateFile);
  const int result = hx_platform::ReplaceFileContents(here, bytes);
  const String user = UserStateFile();
  if (result == 0) {
    hx_platform::StateSaved();
    if (!user.IsEmpty()) MakeNewest(here, user, user);
    if (g_lastPlace != Place::kWorking) Log(std::string("saved the state to ") + kStateFile + " again");
    g_lastPlace = Place::kWorking;
    return 0;
  }
  if (user.IsEmpty()) return result;  // no other place on this system
  const std::string userName = hx_platform::PathToBytes(user);
  if (hx_platform::MakeFolders(FolderOf(user)) && hx_platform::ReplaceFileContents(user, bytes) == 0) {
    MakeNewest(user, here, user);
    if (g_lastPlace != Place::kUser)
      Log(std::string("could not save the state to ") + kStateFile + "; saved it to " + userName);
    g_lastPlace = Place::kUser;
    return 0;
  }
  if (g_lastPlace != Place::kNowhere)
    Log(std::string("could not save the state to ") + kStateFile + " or " + userName +
        "; the state saved before is kept");
  g_lastPlace = Place::kNowhere;
  return result;
}

// Only a regular file is read (a directory, FIFO or device reads as no
// state), at most kMaxStateBytes of it, and opening never waits. Of the
// two copies the one saved last is read.
String HxGame::LoadState() {
  String file(kStateFile);
  const String user = UserStateFile();
  hx_platform::FileStamp here, mine;
  if (!user.IsEmpty() && hx_platform::StampOf(user, &mine) &&
      (!hx_platform::StampOf(file, &here) || (!here.SameFile(mine) && mine.written > here.written)))
    file = user;
  std::string bytes = hx_platform::ReadRegularFile(file, kMaxStateBytes);
  return String::FromBytes(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
}
