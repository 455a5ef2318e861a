// What the application shell asks of the operating system
// (platform-posix.cpp, platform-win32.cpp).
#ifndef TABULON_APP_PLATFORM_H_
#define TABULON_APP_PLATFORM_H_

#include <string>
#include <vector>

namespace tabulon {

// The folder that holds the running executable (not the working directory).
// Throws OSError when the system cannot tell.
std::string executableFolder();

// True when the current user may create files in folder.
bool folderIsWritable(const std::string& folder);

// The per-user folder for Tabulon's configuration when the executable's
// folder cannot hold it: $XDG_CONFIG_HOME/tabulon (an absolute
// XDG_CONFIG_HOME only), else $HOME/.config/tabulon; "" when neither is set.
std::string userConfigFolder();

// The command line's arguments as UTF-8, the program name first. POSIX: argv
// as given. Windows: read from the process's UTF-16 command line, because the
// narrow argv holds the legacy code page and loses what it cannot show.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Makes a console show the UTF-8 bytes Tabulon prints as the characters they
// are (Windows: the console's output code page becomes UTF-8; elsewhere
// nothing to do). Redirected output gets the same bytes either way.
void useUtf8Console();

// True when the standard error stream is a terminal.
bool stderrIsTerminal();

}  // namespace tabulon

#endif  // TABULON_APP_PLATFORM_H_
