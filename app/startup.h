// Start-up and the one setting: the width of an output cell, kept in a small
// configuration file ("xlsx-to-txt-config.txt", key cell_width_characters in
// the unnamed section) beside the executable, or, when the executable's folder
// is not writable and holds no such file, in the user's configuration folder
// ($XDG_CONFIG_HOME/tabulon, default ~/.config/tabulon; %APPDATA%\tabulon on
// Windows).
#ifndef TABULON_APP_STARTUP_H_
#define TABULON_APP_STARTUP_H_

#include <string>

namespace tabulon {

inline constexpr char kConfigFileName[] = "xlsx-to-txt-config.txt";
inline constexpr char kDefaultConfig[] = "cell_width_characters=10";
inline constexpr char kCellWidthKey[] = "cell_width_characters";

// Makes sure the configuration file fileName exists (see configFilePath for
// where). It is (re)written with exactly the bytes of defaultContent when it
// is missing or does not hold every key of defaultContent in its section with
// a usable value (a valid 32-bit integer where the default is one); a valid
// setting of any other value is kept. Missing folders are created.
// Throws OSError "Failed to create directory: " + folder, IOError "cannot
// open: " + path (the file cannot be read or written), IOError "cannot
// write: " + path, OSError when the executable's own path cannot be found.
void ensureConfigFile(const std::string& defaultContent, const std::string& fileName);

// Re-reads cell_width_characters from the configuration file into cellWidth
// (convert/batch.h). A missing file, a missing or empty key, or a value that
// is not a 32-bit integer ("+" sign and "_" between digits allowed) leaves
// cellWidth as it was, silently; 0 and negative values are stored.
// Throws IOError "cannot open: " + path when the file exists but cannot be
// opened, and OSError when the executable's own path cannot be found.
void readCellWidth();

// The path of the configuration file: beside the executable when the file is
// there or that folder is writable; otherwise in the user's configuration
// folder. Throws OSError when the executable's own path cannot be found.
std::string configFilePath();

// The same operations with the places given, so that tests need no copy of
// the executable. configFilePathIn chooses between exeFolder / fileName and
// the user's configuration folder by the rule above.
std::string configFilePathIn(const std::string& exeFolder, const std::string& fileName);
void ensureConfigFileAt(const std::string& path, const std::string& defaultContent);
void readCellWidthFrom(const std::string& path);

}  // namespace tabulon

#endif  // TABULON_APP_STARTUP_H_
