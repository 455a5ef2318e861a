// Runs a program (the real tabulon binary) as a child process and captures
// what it writes, for the end-to-end tests. POSIX only.
#ifndef TABULON_TESTS_CLIRUNNER_H_
#define TABULON_TESTS_CLIRUNNER_H_

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "testutil.h"

namespace testutil {

struct RunResult {
  int status = -1;  // the exit status, or -1 when the child did not exit normally
  std::string out;  // stdout (stdout and stderr together when onTerminal)
  std::string err;  // stderr
};

struct RunOptions {
  std::filesystem::path cwd;           // working directory; empty: the test's own
  std::vector<std::string> env;        // "NAME=value" set, "NAME" unset, on top of ours
  bool asNobody = false;               // when run as root: drop to uid/gid 65534 first
  bool onTerminal = false;             // stdin, stdout and stderr on a pseudo-terminal
};

namespace clirunner_detail {

[[noreturn]] inline void execChild(const std::string& program, const std::vector<std::string>& args,
                                   const RunOptions& options) {
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
  for (const std::string& e : options.env) {
    size_t eq = e.find('=');
    if (eq == std::string::npos) {
      unsetenv(e.c_str());
    } else {
      setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
  }
  if (options.asNobody && geteuid() == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

// Reads every fd to its end (EOF, or EIO on a closed terminal) at once, so
// that a child filling one pipe never blocks on the other.
inline void drain(std::vector<std::pair<int, std::string*>> fds) {
  while (!fds.empty()) {
    std::vector<pollfd> polled;
    for (auto& f : fds) polled.push_back({f.first, POLLIN, 0});
    if (poll(polled.data(), polled.size(), -1) < 0 && errno != EINTR) break;
    for (size_t i = polled.size(); i-- > 0;) {
      if (polled[i].revents == 0) continue;
      char buf[4096];
      ssize_t n = read(fds[i].first, buf, sizeof buf);
      if (n > 0) {
        fds[i].second->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].first);
        fds.erase(fds.begin() + static_cast<long>(i));
      }
    }
  }
}

inline int waitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace clirunner_detail

inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                            const RunOptions& options = {}) {
  using namespace clirunner_detail;
  RunResult result;
  if (options.onTerminal) {
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) throw std::runtime_error("forkpty failed");
    if (pid == 0) execChild(program, args, options);
    drain({{master, &result.out}});
    result.status = waitFor(pid);
    return result;
  }
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    execChild(program, args, options);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  drain({{outPipe[0], &result.out}, {errPipe[0], &result.err}});
  result.status = waitFor(pid);
  return result;
}

// A private copy of the tabulon binary in its own folder, so that a test owns
// the configuration file beside it. The folder is removed with the object.
class TabulonCopy {
 public:
  TabulonCopy() {
    std::filesystem::create_directories(dir_.path() / "bin");
    std::filesystem::copy_file(binaryDir() / "tabulon", exe());
    std::filesystem::permissions(exe(), std::filesystem::perms::owner_all |
                                            std::filesystem::perms::group_read |
                                            std::filesystem::perms::group_exec |
                                            std::filesystem::perms::others_read |
                                            std::filesystem::perms::others_exec);
  }
  std::filesystem::path folder() const { return dir_.path() / "bin"; }
  std::filesystem::path exe() const { return folder() / "tabulon"; }
  std::filesystem::path config() const { return folder() / "xlsx-to-txt-config.txt"; }
  // A scratch folder beside bin/ for inputs and outputs.
  std::filesystem::path work() const { return dir_.path() / "work"; }

  RunResult run(const std::vector<std::string>& args, RunOptions options = {}) const {
    if (options.cwd.empty()) {
      std::filesystem::create_directories(work());
      options.cwd = work();
    }
    // Fixed zone: dates in the output carry the local offset.
    options.env.insert(options.env.begin(), "TZ=UTC");
    return runProgram(exe().string(), args, options);
  }

 private:
  ScopedTempDir dir_;
};

}  // namespace testutil

#endif  // TABULON_TESTS_CLIRUNNER_H_
