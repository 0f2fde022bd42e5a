// Files, virtual paths and the persisted state file.
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
  int result = hx_platform::ReplaceFileContents(String(kStateFile), hx_utf8_encode(state));
  if (result == 0) hx_platform::StateSaved();
  return result;
}

// Only a regular file is read (a directory, FIFO or device reads as no
// state), at most kMaxStateBytes of it, and opening never waits.
String HxGame::LoadState() {
  std::string bytes = hx_platform::ReadRegularFile(String(kStateFile), kMaxStateBytes);
  return String::FromBytes(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
}
