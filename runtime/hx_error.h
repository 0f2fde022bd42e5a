// Console output, fatal error reports, the stop routine and signals.
#pragma once
#include "runtime/hx_string.h"

extern const char* dbg_info;
extern int dbg_stepmode;
extern int dbg_suspend;

// Writes text and a line feed to standard output as UTF-8, then flushes.
void hxPrint(String text);
// Empty text: the normal end, exit(0) at once (after the exit steps below).
// Otherwise the fatal report; never returns.
[[noreturn]] void hxError(String text);
// Work that must be done before the program ends normally (the audio device
// closes its OpenAL device). Steps run once, newest first, from hxError("")
// and from the host's own normal end; never from a fatal error or signal,
// where the state they would touch may be broken.
void hx_add_exit_step(void (*step)());
void hx_run_exit_steps();
[[noreturn]] void dbg_error(const char* message);
String dbg_stacktrace();
void dbg_print(String text);
void dbg_stop();
void sighandler(int sig);
// Installs sighandler for SIGSEGV, SIGILL and SIGFPE.
void hx_install_signal_handlers();

// UTF-8 bytes of a string, one 1-3 byte sequence per 16-bit unit.
std::string hx_utf8_encode(const String& s);
