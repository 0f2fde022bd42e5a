// Desktop integration of the host: where the data folder is, the window
// icon, and game-pad mappings supplied by the player.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "host/hx_game.h"

// The folder that holds the running executable (no trailing separator),
// or the empty string when the system cannot tell.
String hx_executable_dir();

// Where "quoll://data/" points.
struct HxDataFolder {
  String root;                // "./data/" or an absolute folder; ends in '/'
  bool found = false;         // false: none of the places holds the game's data
  std::vector<String> looked;  // the places looked at, in order
};

// Looks for the data folder in order: "./data/" (relative to the working
// folder), "data/" beside the executable, "../share/zelk/data/" relative to
// the executable (an installed prefix). A folder counts when it holds the
// framework font "brio_font.png". When none does, the root stays "./data/".
// exeDir is the executable's folder; empty leaves out the last two places.
HxDataFolder hx_find_data_folder(const String& exeDir);

// The search above for this process, made once on first use.
const HxDataFolder& hx_data_folder();

// The line printed on standard error when no data folder was found, e.g.
// "zelk: no data folder at ./data, /opt/zelk/bin/data or
// /opt/zelk/share/zelk/data".
std::string hx_missing_data_message(const HxDataFolder& folder);

// A fatal message also for players who cannot see the output it was
// written to (stream: stdout or stderr), in a message box where that
// output reaches nobody (hx_platform::ShowUnseenError). reason, when given
// and not empty, is GLFW's own explanation (UTF-8), added below the text.
// True when the box was shown.
bool hx_show_unseen(const std::string& text, FILE* stream, const char* reason = nullptr);

// Tells a player who cannot see standard error that the window could not
// be opened (no OpenGL driver, as a rule), with GLFW's reason.
void hx_report_window_failure();

// Start-up after GLFW is initialised: names the places looked at on
// standard error when there is no data folder (where nobody reads it, in a
// message box too, and then the program ends with status -1), names the windows for the
// desktop, and adds game-pad mappings from the data folder's
// "gamecontrollerdb.txt" and then from the SDL_GAMECONTROLLERCONFIG
// environment variable (later lines win).
void hx_desktop_start(HxGame* game);

// Adds game-pad mappings in SDL_GameControllerDB text form; lines that do
// not parse are skipped, and when there were any, one line on standard
// error names the source. False only when GLFW is not running.
bool hx_add_pad_mappings(const std::string& text, const std::string& source = "");

// Gives the current window the icon pictures "icons/zelk-N.png" of the data
// folder, read once with the host's image loader; sizes that are missing or
// unreadable are left out, and with none the window keeps the default.
void hx_apply_window_icon(HxGame* game);
