// POSIX: paths and the environment are byte strings already; Tabulon takes
// them to be UTF-8.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "textformats/paths.h"

namespace tabulon {

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
  return std::fopen(utf8Path.c_str(), mode);
}

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

EntryClass classifyEntry(const std::filesystem::path& p, std::error_code& ec) {
  namespace fs = std::filesystem;
  const fs::file_status st = fs::symlink_status(p, ec);
  if (ec) {
    if (ec == std::errc::no_such_file_or_directory) ec.clear();
    return EntryClass::missing;
  }
  switch (st.type()) {
    case fs::file_type::not_found: return EntryClass::missing;
    case fs::file_type::directory: return EntryClass::directory;
    case fs::file_type::symlink: return EntryClass::link;
    case fs::file_type::regular: return EntryClass::file;
    default: return EntryClass::other;
  }
}

bool removeEntry(const std::filesystem::path& p, EntryClass entryClass, std::error_code& ec) {
  // Deleting needs write access to the folder, not to the file: there is no
  // attribute to clear here. The class says which call deletes it; a class
  // that no longer holds falls back to trying both.
  ec.clear();
  const int rc = entryClass == EntryClass::directory ? ::rmdir(p.c_str()) : ::unlink(p.c_str());
  if (rc == 0 || errno == ENOENT) return true;
  if (errno != EISDIR && errno != ENOTDIR && errno != EPERM) {
    ec = std::error_code(errno, std::generic_category());
    return false;
  }
  if (std::filesystem::remove(p, ec) || !ec) return true;
  if (ec == std::errc::no_such_file_or_directory) {
    ec.clear();
    return true;
  }
  return false;
}

std::vector<FolderEntry> listFolderEntries(const std::filesystem::path& folder,
                                           std::error_code& ec) {
  namespace fs = std::filesystem;
  std::vector<FolderEntry> entries;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    // The listing's own type of each entry: no lstat unless the file system
    // leaves it unknown.
    std::error_code typeError;
    EntryClass type = EntryClass::other;
    if (it->is_symlink(typeError)) {
      type = EntryClass::link;
    } else if (it->is_directory(typeError)) {
      type = EntryClass::directory;
    } else if (it->is_regular_file(typeError)) {
      type = EntryClass::file;
    }
    if (typeError) type = EntryClass::missing;
    entries.push_back({it->path(), type});
  }
  return entries;
}

}  // namespace tabulon
