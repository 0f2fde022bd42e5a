// The few things the host and the runtime need from the operating system,
// behind one small interface: hx_platform_posix.cpp (Linux and other POSIX
// systems), hx_platform_win32.cpp (Windows) and hx_platform_web.cpp (the
// browser, with hx_platform_web.js) implement it, and a port adds its own
// file. Everything else in the host is platform-neutral.
//
// The implementation is compiled into the runtime library, the lowest one,
// because the runtime's console output, stop routine and signal handler
// use it too.
#pragma once
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "runtime/hx_string.h"

namespace hx_platform {

// Process-wide set-up at start-up, before the window opens. On Windows it
// asks for a 1 ms timer, so that the main loop's short sleeps keep the
// update pace (the default tick is 15.6 ms).
void InitProcess();

// File names as the game's 16-bit text. A POSIX name is a string of bytes
// and comes back exactly as it went in: well-formed UTF-8 becomes UTF-16
// (characters beyond U+FFFF as surrogate pairs), and each byte that is not
// part of well-formed UTF-8 (a Latin-1 name, a cut-off sequence, an overlong
// form) becomes the lone surrogate U+DC80 + (byte - 0x80), which turns back
// into that byte. Text the game makes itself (ASCII, or any text without
// lone surrogates) comes out as its plain UTF-8. Windows names are UTF-16
// already and are passed on unchanged; there the bytes are only for
// messages. Nothing else (the state file's own text, URLs) uses this.
String PathFromBytes(const std::string& bytes);
std::string PathToBytes(const String& path);

// Opens a file with a C-library mode ("rb", "wb"). The path is the game's
// own 16-bit text: on Windows it is passed on as the UTF-16 path, elsewhere
// as the bytes PathToBytes gives. nullptr when the file cannot be opened.
FILE* OpenFile(const String& path, const String& mode);

// True when path names a regular file (links followed). The file is never
// opened, so a FIFO or a device in its place cannot block or be read.
bool IsRegularFile(const String& path);

// At most max bytes of the regular file at path; empty when there is none
// or when something else (a directory, FIFO or device) is in its place.
// Opening never waits. The file is read under a shared lock, so that a
// rewrite in place by another copy of the game (ReplaceFileContents) is
// never seen half done; a lock still held after a second is not waited for.
std::string ReadRegularFile(const String& path, size_t max);

// The player's own folder for the game's files, where a save goes when the
// working folder takes none: $XDG_DATA_HOME/zelk (when that is an absolute
// path), else ~/.local/share/zelk on POSIX systems; %APPDATA%\Zelk on
// Windows. Not created here. Empty where there is no such place (the
// browser keeps its files in the page's own storage) or none can be told.
String UserDataFolder();

// Makes folder and every missing folder above it (new ones readable by the
// player only, where the system has such modes); true when folder is a
// folder afterwards.
bool MakeFolders(const String& folder);

// What tells two saved copies apart: when the file was last written
// (nanoseconds since 1970) and which file it is (links followed).
struct FileStamp {
  int64_t written = 0;
  uint64_t device = 0, file = 0;
  bool SameFile(const FileStamp& o) const { return device == o.device && file == o.file; }
};
// false when path names no regular file.
bool StampOf(const String& path, FileStamp* out);
// Sets the time the file was last written; false when that is refused.
bool SetWrittenTime(const String& path, int64_t written);

// Hands a URL to the desktop (xdg-open, the Windows shell's "open"); no
// command shell ever sees the text. Returns at once.
void OpenUrl(const String& url);

// Local calendar time of t; false when the system cannot tell.
bool LocalTime(time_t t, struct tm* out);

// Makes standard output and standard error carry the runtime's UTF-8 bytes
// exactly as written (no line-end translation, a UTF-8 console). Cheap
// after the first call; the runtime calls it before it prints.
void InitConsole();

// One line of standard input with its line feed, as fgets reads it; false
// at the end of input or when the process has no input.
bool ReadConsoleLine(char* line, int size);

// The running program's own file, or the empty text when the system cannot
// tell. In the browser the program's packed files (its data folder) appear
// under "/zelk", as if the program were "/zelk/zelk.wasm".
String ExecutablePath();

// Called after the state file was replaced. Where files live apart from the
// process (the browser's storage), the new file is handed on to it, in the
// background; a failed hand-over keeps what was stored before. Nothing
// elsewhere: the file system already holds the file.
void StateSaved();

// Hands the main loop over on systems that drive a program by displayed
// frames (the browser): pass(arg, time) then runs once per frame with the
// frame's timestamp in seconds, and RunFrames does not return. Elsewhere it
// returns false at once and the caller runs its own loop.
bool RunFrames(void (*pass)(void* arg, double time), void* arg);

// A path as the player reads it: the system's own separators (backslashes
// on Windows); elsewhere the path as it is.
String DisplayPath(const String& path);

// Fatal messages where the player can see them. text was also written to
// stream (stdout or stderr). When that stream reaches nobody - a Windows
// program started from Explorer or a shortcut has no console and no
// standard handles - the text is shown in a message box with the game's
// name and icon, and the call returns once the player has closed it: true.
// The game's windows are hidden first and get no input meanwhile. Where the
// stream reaches a console, a file or a pipe, and on every other system,
// nothing is shown: false at once.
bool ShowUnseenError(const String& text, FILE* stream);

// Installs handler for the fatal signals: segmentation fault, illegal
// instruction and floating-point error (on Windows the C runtime raises
// them for the matching exceptions).
void InstallFatalSignals(void (*handler)(int));

// Replaces the file at path by one holding exactly bytes, in one step: a
// temporary file beside it, "<name>.tmp.<process id>.<6 random letters or
// digits>", is written, flushed to the disk and moved over the old one. On
// any failure the old file stays as it was and the temporary file is
// removed. Temporary files of that exact pattern older than five minutes
// (left by a copy killed mid-save; a save takes milliseconds) are removed
// first; no other name is ever touched, and a younger one may belong to a
// copy saving right now, whatever its process id (another process-id
// namespace has its own). 0 on success, -1 when the file cannot be opened or
// made (a read-only target, one locked by another program, a folder or
// device in its place, no temporary file and no file to rewrite), -2 when
// writing or flushing fails (a short write, a full disk).
// - When the folder takes no new file but the file itself is writable, the
//   file is rewritten in place under an exclusive lock (fcntl on POSIX,
//   LockFileEx on Windows) that ReadRegularFile's shared lock waits for; a
//   failed rewrite puts the old bytes back. A lock another program holds
//   for more than a second gives -1.
// - POSIX (hx_platform_posix_files.cpp): a symbolic link is followed and
//   the file it names replaced; the file's mode (and owner, where allowed)
//   is kept. A link loop gives -1.
// - Windows: hidden and system attributes are kept.
int ReplaceFileContents(const String& path, const std::string& bytes);

}  // namespace hx_platform
