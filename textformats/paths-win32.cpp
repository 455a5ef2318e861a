// Windows: the system's file and environment calls take UTF-16; the narrow
// ones would read a legacy code page and lose every character outside it.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "textformats/paths.h"

namespace tabulon {

namespace {

std::wstring widen(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), n);
  return wide;
}

std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
  return text;
}

}  // namespace

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
  return _wfopen(widen(utf8Path).c_str(), widen(mode).c_str());
}

std::optional<std::string> environmentValue(const char* name) {
  const wchar_t* value = _wgetenv(widen(name).c_str());
  if (value == nullptr) return std::nullopt;
  return narrow(value);
}

namespace {

bool isGone(DWORD err) { return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND; }

std::error_code systemError(DWORD err) {
  return std::error_code(static_cast<int>(err), std::system_category());
}

// One attempt: a folder (or a link to one, a junction) is removed as a
// folder, which removes the link and never what it points at.
bool deleteOnce(const std::filesystem::path& p, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return RemoveDirectoryW(p.c_str()) != 0;
  return DeleteFileW(p.c_str()) != 0;
}

}  // namespace

EntryClass classifyEntry(const std::filesystem::path& p, std::error_code& ec) {
  ec.clear();
  const DWORD attributes = GetFileAttributesW(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = GetLastError();
    if (!isGone(err)) ec = systemError(err);
    return EntryClass::missing;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryClass::link;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryClass::directory;
  return EntryClass::file;
}

std::vector<FolderEntry> listFolderEntries(const std::filesystem::path& folder,
                                           std::error_code& ec) {
  // Reparse points are told apart by their attributes, which the listing
  // does not keep: each entry is looked at.
  std::vector<FolderEntry> entries;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code typeError;
    EntryClass type = classifyEntry(it->path(), typeError);
    if (typeError) type = EntryClass::missing;
    entries.push_back({it->path(), type});
  }
  return entries;
}

bool removeEntry(const std::filesystem::path& p, EntryClass /*entryClass*/, std::error_code& ec) {
  ec.clear();
  const DWORD attributes = GetFileAttributesW(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = GetLastError();
    if (isGone(err)) return true;
    ec = systemError(err);
    return false;
  }
  if (deleteOnce(p, attributes)) return true;
  DWORD err = GetLastError();
  if (err == ERROR_ACCESS_DENIED && SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    if (deleteOnce(p, attributes)) return true;
    err = GetLastError();
  }
  if (isGone(err)) return true;
  ec = systemError(err);
  return false;
}

}  // namespace tabulon
