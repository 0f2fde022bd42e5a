// The console and the fatal-error path, run as a child process.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct ChildRun {
  std::string out, err;
  int status = -1;  // exit status, or -1 when killed by a signal
};

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// Runs the helper with args. stdin_text == nullptr closes standard input;
// otherwise the child reads the text and then end of file.
ChildRun run_child(std::vector<std::string> args, const char* stdin_text) {
  char out_path[] = "/tmp/rt_err_outXXXXXX";
  char err_path[] = "/tmp/rt_err_errXXXXXX";
  int out_fd = mkstemp(out_path), err_fd = mkstemp(err_path);
  int in_pipe[2] = {-1, -1};
  if (stdin_text && pipe(in_pipe) != 0) ADD_FAILURE() << "pipe";
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (stdin_text) {
      dup2(in_pipe[0], 0);
      close(in_pipe[0]);
      close(in_pipe[1]);
    } else {
      close(0);
    }
    std::vector<char*> argv;
    static std::string exe = RUNTIME_ERROR_CHILD;
    argv.push_back(exe.data());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(99);
  }
  if (stdin_text) {
    close(in_pipe[0]);
    std::string t = stdin_text;
    EXPECT_EQ(write(in_pipe[1], t.data(), t.size()), static_cast<ssize_t>(t.size()));
    close(in_pipe[1]);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  ChildRun r;
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  close(out_fd);
  close(err_fd);
  r.out = slurp(out_path);
  r.err = slurp(err_path);
  unlink(out_path);
  unlink(err_path);
  return r;
}

const std::string kReport = "Quoll Runtime Error : Image frame outside surface\n\n";
const std::string kStop = "{{~~~~}}\n\n";

std::string times(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

TEST(RuntimeError, EmptyTextQuitsQuietly) {
  ChildRun r = run_child({"empty"}, nullptr);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

TEST(RuntimeError, ReportWithStandardInputClosed) {
  ChildRun r = run_child({"error"}, nullptr);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, kReport);
  EXPECT_EQ(r.err, kStop);
}

// The stop routine's commands: what the input holds, how often the report
// and the stop line appear, what else stdout gets, and the exit status.
struct StopCase {
  const char* input;
  int reports;
  const char* extra_out;
  int status;
};

TEST(RuntimeError, StopRoutineCommands) {
  const StopCase cases[] = {
      {"", 1, "", 255},                  // end of input
      {"r", 1, "", 255},                 // no line feed
      {"r\n", 2, "", 255},               // resume: the report again
      {"r\nr\n", 3, "", 255},
      {"s\n", 2, "", 255},
      {"e\n", 2, "", 255},
      {"l\n", 2, "", 255},
      {"?\n?anything\nr\n", 2, "", 255}, // ignored lines
      {"q\n", 1, "", 0},
      {"r\nq\n", 2, "", 0},
      {"x\n", 1, "????? x\n ?????", 255},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.input);
    ChildRun r = run_child({"error"}, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, times(kReport, c.reports) + c.extra_out);
    EXPECT_EQ(r.err, times(kStop, c.reports));
  }
}

TEST(RuntimeError, InspectsOnlyLiveObjects) {
  ChildRun r = run_child({"inspect"}, nullptr);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Quoll Runtime Error : inspect\n\n");
  // Live object: its debug text; null and a non-object address: empty lines.
  EXPECT_EQ(r.err, kStop + "+Object\n\n" + "\n" + "\n");
}

TEST(RuntimeError, Signals) {
  const struct {
    const char* mode;
    const char* sig;
    const char* message;
  } cases[] = {
      {"signal", "11", "Memory access violation"},
      {"signal", "4", "Illegal instruction"},
      {"signal", "8", "Floating point exception"},
      {"sighandler", "10", "Unknown signal"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sig);
    ChildRun r = run_child({c.mode, c.sig}, nullptr);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, std::string("Quoll Runtime Error : ") + c.message + "\n\n");
    EXPECT_EQ(r.err, kStop);
  }
}

TEST(RuntimeConsole, PrintEncodesUtf8AndFlushes) {
  ChildRun r = run_child({"print"}, nullptr);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "a\xC3\xA9\xE2\x82\xACz\n\n");
  EXPECT_EQ(r.err, "");
}

}  // namespace
