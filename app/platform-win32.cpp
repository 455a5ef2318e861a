#include "app/platform.h"

#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "textformats/errors.h"
#include "textformats/paths.h"

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
  return utf8FromPath(fs::path(buf).parent_path());
}

bool folderIsWritable(const std::string& folder) {
  // The only sure test on Windows is to try: create and delete a probe file.
  fs::path probe = pathFromUtf8(folder) / ".tabulon-write-probe";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::string userConfigFolder() {
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (appData == nullptr || appData[0] == L'\0') return "";
  return utf8FromPath(fs::path(appData) / "tabulon");
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  args.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) args.push_back(utf8FromPath(fs::path(wide[i])));
  LocalFree(wide);
  return args;
}

void useUtf8Console() { SetConsoleOutputCP(CP_UTF8); }

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace tabulon
