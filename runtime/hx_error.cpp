#include "runtime/hx_error.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/hx_platform.h"

const char* dbg_info = nullptr;
int dbg_stepmode = 0;
int dbg_suspend = 0;

std::string hx_utf8_encode(const String& s) { return s.ToUtf8(); }

void hxPrint(String text) {
  hx_platform::InitConsole();
  static std::vector<char> buf;
  buf.clear();
  std::string u = text.ToUtf8();
  buf.insert(buf.end(), u.begin(), u.end());
  buf.push_back('\n');
  buf.push_back(0);
  fputs(buf.data(), stdout);
  fflush(stdout);
}

namespace {
std::vector<void (*)()>& ExitSteps() {
  static std::vector<void (*)()> steps;
  return steps;
}
}  // namespace

void hx_add_exit_step(void (*step)()) {
  if (!step) return;
  for (auto s : ExitSteps())
    if (s == step) return;
  ExitSteps().push_back(step);
}

void hx_run_exit_steps() {
  std::vector<void (*)()>& steps = ExitSteps();
  while (!steps.empty()) {
    void (*step)() = steps.back();
    steps.pop_back();
    step();
  }
}

void hxError(String text) {
  if (text.Length() == 0) {
    hx_run_exit_steps();
    exit(0);
  }
  String::CString<char> msg = text.ToCString<char>();
  // The report keeps its own copy: the handle above stays alive until exit.
  dbg_error(msg.c_str());
}

String dbg_stacktrace() {
  if (dbg_info && *dbg_info) return String(dbg_info) + "\n";
  return String();
}

void dbg_print(String text) {
  hx_platform::InitConsole();
  static char* buf = nullptr;
  static int cap = 0;
  int n = text.Length();
  if (n + 99 >= cap) {
    free(buf);
    cap = n + 100;
    buf = static_cast<char*>(malloc(cap));
  }
  for (int i = 0; i < n; ++i) buf[i] = static_cast<char>(text[i]);
  buf[n] = '\n';
  buf[n + 1] = 0;
  fputs(buf, stderr);
  fflush(stderr);
}

void dbg_stop() {
  hx_platform::InitConsole();
  fprintf(stderr, "{{~~%s~~}}\n", dbg_info ? dbg_info : "");
  fflush(stderr);
  dbg_print(String());
  for (;;) {
    char line[256];
    if (!hx_platform::ReadConsoleLine(line, sizeof(line)) || !strchr(line, '\n')) exit(-1);
    switch (line[0]) {
      case '?':
        continue;
      case '@': {
        unsigned long long addr = strtoull(line + 1, nullptr, 16);
        // Only a live collected Object is asked for its text: any other
        // address (typed by hand) would crash the report.
        void* p = reinterpret_cast<void*>(static_cast<uintptr_t>(addr));
        Object* obj = gc_is_live_object(p) ? dynamic_cast<Object*>(static_cast<gc_object*>(p)) : nullptr;
        if (obj) {
          dbg_print(obj->debug());
        } else {
          dbg_print(String());
        }
        continue;
      }
      case 'r':
        dbg_stepmode = 0;
        dbg_suspend = 0;
        return;
      case 's':
        dbg_stepmode = 's';
        dbg_suspend = 1;
        return;
      case 'e':
        dbg_stepmode = 'e';
        dbg_suspend = 1;
        return;
      case 'l':
        dbg_stepmode = 'l';
        dbg_suspend = 0;
        return;
      case 'q':
        exit(0);
      default:
        printf("????? %s ?????", line);
        fflush(stdout);
        exit(-1);
    }
  }
}

void dbg_error(const char* message) {
  bool shown = false;
  for (;;) {
    const String report = String("Quoll Runtime Error : ") + String(message);
    const String trace = dbg_stacktrace();
    hxPrint(report);
    hxPrint(trace);
    // Where nobody reads the output (started from a shortcut on Windows),
    // the report also appears in a message box, once.
    if (!shown) {
      shown = true;
      hx_platform::ShowUnseenError(trace.IsEmpty() ? report : report + String("\n") + trace, stdout);
    }
    dbg_stop();
  }
}

void sighandler(int sig) {
  switch (sig) {
    case SIGSEGV:
      dbg_error("Memory access violation");
    case SIGILL:
      dbg_error("Illegal instruction");
    case SIGFPE:
      dbg_error("Floating point exception");
    default:
      dbg_error("Unknown signal");
  }
}

void hx_install_signal_handlers() { hx_platform::InstallFatalSignals(sighandler); }
