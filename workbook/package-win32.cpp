// The Windows side of the package layer: where the extraction folder lives and
// the inter-process lock.
#include <windows.h>

#include <filesystem>

#include "textformats/errors.h"
#include "workbook/package.h"

namespace tabulon {

std::string extractionFolderFor(const char* temp, const char* /*tmpdir*/) {
  if (temp == nullptr || *temp == '\0') return "xlsx_varno_tmp";  // below the working folder
  std::string base = temp;
  while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
  return base + "\\xlsx_varno_tmp";
}

ExtractionLock::ExtractionLock() : handle_(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {
  const std::filesystem::path path = std::filesystem::u8path(extractionLockPath());
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                         FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    throw OSError(std::system_category().message(static_cast<int>(GetLastError())) + ": " +
                  path.string());
  }
  OVERLAPPED whole = {};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    const DWORD err = GetLastError();
    CloseHandle(h);
    throw OSError(std::system_category().message(static_cast<int>(err)) + ": " + path.string());
  }
  handle_ = reinterpret_cast<intptr_t>(h);
}

ExtractionLock::~ExtractionLock() {
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);  // releases the lock
}

}  // namespace tabulon
