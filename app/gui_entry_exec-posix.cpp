// The window's entry point of the command-line tabulon on a POSIX build with a
// window. The window lives in a program of its own, tabulon-window, beside
// this one, so that a conversion from the command line does not load the
// toolkit's libraries (some ninety) at every start. runGui replaces this process
// with it: the window keeps the pid, the environment, the terminal and the
// arguments.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/gui_entry.h"
#include "app/platform.h"
#include "textformats/errors.h"

namespace fs = std::filesystem;

namespace tabulon {
namespace {

constexpr char kWindowProgram[] = "tabulon-window";

int cannotStartWindow(const std::string& program, const std::string& reason) {
  std::fprintf(stderr,
               "tabulon: cannot start the window program %s: %s; to convert without a window, "
               "name the workbooks or folders:\n",
               program.c_str(), reason.c_str());
  std::fputs(commandLineUsage(), stderr);
  return 2;
}

}  // namespace

int runGui(int /*argc*/, char** argv) {
  std::string program;
  try {
    program = (fs::path(executableFolder()) / kWindowProgram).string();
  } catch (const Error& e) {
    return cannotStartWindow(kWindowProgram, e.what());
  }
  // What stdio still holds would be lost with this process image.
  std::fflush(nullptr);
  execv(program.c_str(), argv);
  const int error = errno;
  return cannotStartWindow(program, std::strerror(error));
}

}  // namespace tabulon
