// The Windows side of the package layer: where the extraction folder lives and
// the inter-process lock.
#include <windows.h>

#include <string>
#include <system_error>

#include "textformats/errors.h"
#include "workbook/package.h"

namespace tabulon {

namespace {

// Paths are UTF-8 inside Tabulon and UTF-16 at the Windows boundary.
std::wstring widen(const std::string& text) {
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), n);
  return wide;
}

std::string lastErrorText(DWORD err) {
  return std::system_category().message(static_cast<int>(err));
}

}  // namespace

std::string extractionFolderFor(const char* temp, const char* /*tmpdir*/) {
  if (temp == nullptr || *temp == '\0') return "xlsx_varno_tmp";  // below the working folder
  std::string base = temp;
  while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
  return base + "\\xlsx_varno_tmp";
}

ExtractionLock::ExtractionLock() : handle_(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {
  const std::string path = extractionLockPath();
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw OSError(lastErrorText(GetLastError()) + ": " + path);
  OVERLAPPED whole = {};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    const DWORD err = GetLastError();
    CloseHandle(h);
    throw OSError(lastErrorText(err) + ": " + path);
  }
  handle_ = reinterpret_cast<intptr_t>(h);
}

ExtractionLock::~ExtractionLock() {
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);  // releases the lock
}

}  // namespace tabulon
