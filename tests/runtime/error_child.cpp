// Drives the runtime's console and fatal-error paths for the process tests.
// The first argument names the case; see error_test.cpp.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "runtime/hx_runtime.h"

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "empty") hxError(String());
  if (mode == "error") hxError(String("Image frame outside surface"));
  if (mode == "print") {
    const Char text[] = {'a', 0xE9, 0x20AC, 'z'};
    hxPrint(String(text, 4));
    hxPrint(String());
    return 0;
  }
  if (mode == "inspect") {
    // Feeds the stop routine with the address of a live object, a null
    // address, an address that is no object, then quits.
    Object* obj = new Object;
    char lines[256];
    snprintf(lines, sizeof lines, "@%llx\n@0\n@%llx\nq\n",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(obj)),
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(lines)));
    int fds[2];
    if (pipe(fds) != 0) return 3;
    if (write(fds[1], lines, strlen(lines)) < 0) return 3;
    close(fds[1]);
    if (fds[0] != 0) {
      dup2(fds[0], 0);
      close(fds[0]);
    }
    hxError(String("inspect"));
  }
  if (mode == "signal" && argc > 2) {
    hx_install_signal_handlers();
    raise(atoi(argv[2]));
    return 4;
  }
  if (mode == "sighandler" && argc > 2) sighandler(atoi(argv[2]));
  return 2;
}
