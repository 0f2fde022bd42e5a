// Desktop integration: the data folder's place, the window icon and
// player-supplied game-pad mappings.
#include "host/hx_desktop.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/hx_glfw_game.h"
#include "host/hx_platform.h"

namespace {

bool IsSeparator(int c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// The folder part of a path: everything before its last separator ("/" for
// a file in the root folder); empty without a separator.
String FolderOf(const String& path) {
  for (int i = path.Length() - 1; i >= 0; --i)
    if (IsSeparator(path[i])) return i == 0 ? path.Slice(0, 1) : path.Slice(0, i);
  return String();
}

String Joined(const String& folder, const char* rest) {
  if (folder.Length() > 0 && IsSeparator(folder[folder.Length() - 1])) return folder + String(rest);
  return folder + String("/") + String(rest);
}

// The folder a data root names, without its trailing '/', for messages.
String Shown(const String& root) { return root.Slice(0, root.Length() - 1); }

}  // namespace

String hx_executable_dir() {
  String exe = hx_platform::ExecutablePath();
  return exe.IsEmpty() ? String() : FolderOf(exe);
}

HxDataFolder hx_find_data_folder(const String& exeDir) {
  HxDataFolder folder;
  std::vector<String> roots = {String("./data/")};
  if (!exeDir.IsEmpty()) {
    roots.push_back(Joined(exeDir, "data/"));
    // "../share/zelk/data/", written without the ".." where the folder
    // above is plain to see.
    String up = FolderOf(exeDir);
    if (up.IsEmpty()) up = Joined(exeDir, "..");
    roots.push_back(Joined(up, "share/zelk/data/"));
  }
  for (const String& root : roots) {
    folder.looked.push_back(root);
    if (hx_platform::IsRegularFile(root + String("brio_font.png"))) {
      folder.root = root;
      folder.found = true;
      return folder;
    }
  }
  folder.root = String("./data/");
  return folder;
}

const HxDataFolder& hx_data_folder() {
  static const HxDataFolder folder = hx_find_data_folder(hx_executable_dir());
  return folder;
}

std::string hx_missing_data_message(const HxDataFolder& folder) {
  std::string line = "zelk: no data folder at ";
  for (size_t i = 0; i < folder.looked.size(); ++i) {
    if (i > 0) line += i + 1 == folder.looked.size() ? " or " : ", ";
    line += hx_platform::PathToBytes(hx_platform::DisplayPath(Shown(folder.looked[i])));
  }
  return line;
}

bool hx_show_unseen(const std::string& text, FILE* stream, const char* reason) {
  std::string all = text;
  if (reason && *reason) all += std::string("\n\n") + reason;
  String shown = String::FromBytes(reinterpret_cast<const unsigned char*>(all.data()), static_cast<int>(all.size()));
  return hx_platform::ShowUnseenError(shown, stream);
}

void hx_report_window_failure() {
  static bool told = false;
  if (told) return;
  told = true;
  const char* reason = glfw2::LastError();
  std::string text = "Zelk could not open its window.";
  if (*reason) text += std::string("\n\n") + reason;
  text += "\n\nThe game draws with OpenGL. Installing the graphics card's own driver, from its maker, usually helps.";
  hx_show_unseen(text, stderr);
}

bool hx_add_pad_mappings(const std::string& text, const std::string& source) {
  int before = glfw2::ErrorCount();
  bool ok = glfw2::UpdateGamepadMappings(text.c_str());
  if (ok && glfw2::ErrorCount() > before && !source.empty()) {
    fprintf(stderr, "zelk: skipped game-pad mappings in %s that could not be read\n", source.c_str());
    fflush(stderr);
  }
  return ok;
}

void hx_desktop_start(HxGame* game) {
  const HxDataFolder& folder = hx_data_folder();
  if (!folder.found) {
    const std::string line = hx_missing_data_message(folder);
    fprintf(stderr, "%s\n", line.c_str());
    fflush(stderr);
    // Without its data the game can show nothing but a black window: a
    // player who cannot see the line is told, and the program ends.
    if (hx_show_unseen(line + "\n\nZelk needs the data folder it came with, beside the program. Start the game "
                              "from the folder it was installed or unpacked to, or from its shortcut in the Start "
                              "menu: a copy of the program moved elsewhere on its own cannot run.",
                       stderr))
      exit(-1);
  }
  glfw2::SetWindowClass("zelk", "Zelk");

  // The game's own mappings first, so that the player's variable wins.
  const String db("quoll://data/gamecontrollerdb.txt");
  const String dbFile = game->PathToFilePath(db);
  // The community database is about 0.6 MB. GLFW's reading of mappings
  // grows faster than the text (2 MB already stalls start-up for seconds),
  // so a file beyond 1 MiB is not read at all (one byte over the limit is
  // enough to tell).
  const size_t kMaxBytes = 1u << 20;
  const std::string text = hx_platform::ReadRegularFile(dbFile, kMaxBytes + 1);
  if (!text.empty()) {
    const std::string name = hx_platform::PathToBytes(dbFile);
    if (text.size() <= kMaxBytes) {
      hx_add_pad_mappings(text, name);
    } else {
      fprintf(stderr, "zelk: ignored %s: larger than 1 MiB\n", name.c_str());
      fflush(stderr);
    }
  }
  if (const char* env = getenv("SDL_GAMECONTROLLERCONFIG")) hx_add_pad_mappings(env, "SDL_GAMECONTROLLERCONFIG");
}

void hx_apply_window_icon(HxGame* game) {
  struct Picture {
    int width, height;
    std::vector<unsigned char> rgba;
  };
  static std::vector<Picture> pictures;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    // The 256-pixel picture is for the desktop's menus; windows do with these.
    for (int size : {16, 32, 48, 64, 128}) {
      int w = 0, h = 0, d = 0;
      String path = String("quoll://data/icons/zelk-") + String(size) + String(".png");
      unsigned char* px = game->LoadImageData(path, &w, &h, &d);
      if (!px) continue;
      Picture p{w, h, std::vector<unsigned char>(static_cast<size_t>(w) * h * 4)};
      for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        const unsigned char* s = px + i * d;
        unsigned char* o = &p.rgba[i * 4];
        bool colour = d >= 3;
        o[0] = s[0];
        o[1] = colour ? s[1] : s[0];
        o[2] = colour ? s[2] : s[0];
        o[3] = d == 4 ? s[3] : (d == 2 ? s[1] : 255);
      }
      free(px);
      pictures.push_back(std::move(p));
    }
  }
  if (pictures.empty()) return;
  std::vector<glfw2::IconImage> images;
  for (const Picture& p : pictures) images.push_back({p.width, p.height, p.rgba.data()});
  glfw2::SetWindowIcon(static_cast<int>(images.size()), images.data());
}
