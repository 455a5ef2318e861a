#include "app/platform.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "textformats/errors.h"

namespace fs = std::filesystem;

namespace tabulon {

std::string executableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) throw OSError(ec.message() + ": /proc/self/exe");
  return exe.parent_path().string();
}

bool folderIsWritable(const std::string& folder) {
  return access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string userConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return (fs::path(xdg) / "tabulon").string();
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return (fs::path(home) / ".config" / "tabulon").string();
  return "";
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void useUtf8Console() {}

bool stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace tabulon
