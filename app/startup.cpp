#include "app/startup.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/platform.h"
#include "convert/batch.h"
#include "textformats/config.h"
#include "textformats/errors.h"
#include "textformats/numbers.h"
#include "textformats/paths.h"
#include "textformats/stream.h"

namespace fs = std::filesystem;

namespace tabulon {

namespace {

// True when the file at path holds every key of the default content, in the
// same section, with a value of the same sort: a valid 32-bit integer where
// the default has one, anything non-empty otherwise. Only such a file is left
// alone at start-up, so that a setting the user chose survives a restart.
bool holdsUsableSettings(const std::string& path, const std::string& defaultContent) {
  ConfigTable defaults = loadConfigStream(openStringStream(defaultContent), "default settings");
  ConfigTable current = loadConfigFile(path);
  for (const auto& [section, entries] : defaults) {
    for (const auto& [key, defaultValue] : entries) {
      std::string value = sectionValue(current, section, key);
      if (value.empty()) return false;
      int32_t ignored;
      if (tryParseInt32(defaultValue, ignored) && !tryParseInt32(value, ignored)) return false;
    }
  }
  return true;
}

void writeExactly(const std::string& path, const std::string& bytes) {
  std::ofstream out(pathFromUtf8(path), std::ios::binary | std::ios::trunc);
  if (!out.is_open()) throw IOError("cannot open: " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (out.fail()) throw IOError("cannot write: " + path);
}

}  // namespace

std::string configFilePathIn(const std::string& exeFolder, const std::string& fileName) {
  fs::path beside = pathFromUtf8(exeFolder) / pathFromUtf8(fileName);
  std::error_code ec;
  if (fs::is_regular_file(beside, ec) || folderIsWritable(exeFolder)) return utf8FromPath(beside);
  std::string userFolder = userConfigFolder();
  if (userFolder.empty()) return utf8FromPath(beside);
  return utf8FromPath(pathFromUtf8(userFolder) / pathFromUtf8(fileName));
}

void ensureConfigFileAt(const std::string& path, const std::string& defaultContent) {
  const fs::path folder = pathFromUtf8(path).parent_path();
  std::error_code ec;
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) throw OSError("Failed to create directory: " + utf8FromPath(folder));
  }
  if (fs::is_regular_file(pathFromUtf8(path), ec) && holdsUsableSettings(path, defaultContent)) return;
  writeExactly(path, defaultContent);
}

void readCellWidthFrom(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(pathFromUtf8(path), ec)) return;
  ConfigTable table = loadConfigFile(path);
  std::string value = sectionValue(table, "", kCellWidthKey);
  int32_t width;
  if (!value.empty() && tryParseInt32(value, width)) cellWidth = width;
}

std::string configFilePath() { return configFilePathIn(executableFolder(), kConfigFileName); }

void ensureConfigFile(const std::string& defaultContent, const std::string& fileName) {
  ensureConfigFileAt(configFilePathIn(executableFolder(), fileName), defaultContent);
}

void readCellWidth() { readCellWidthFrom(configFilePath()); }

}  // namespace tabulon
