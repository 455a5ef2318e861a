#include "app/platform.h"

#include <windows.h>
#include <io.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "textformats/errors.h"

namespace fs = std::filesystem;

namespace tabulon {

std::string executableFolder() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) throw OSError("cannot find the executable's path");
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    buf.resize(buf.size() * 2);
  }
  return fs::path(buf).parent_path().string();
}

bool folderIsWritable(const std::string& folder) {
  // The only sure test on Windows is to try: create and delete a probe file.
  fs::path probe = fs::path(folder) / ".tabulon-write-probe";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::string userConfigFolder() {
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (appData == nullptr || appData[0] == L'\0') return "";
  return (fs::path(appData) / "tabulon").string();
}

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace tabulon
