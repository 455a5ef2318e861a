// tabulon [--help] [--version] [PATH...]: converts workbooks and folders
// without a window, or opens the window when no PATH is given.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/gui_entry.h"
#include "app/platform.h"
#include "app/startup.h"
#include "convert/batch.h"
#include "textformats/errors.h"
#include "textformats/paths.h"

namespace fs = std::filesystem;

namespace tabulon {
namespace {

constexpr char kVersionLine[] = "Tabulon 20.08.11\n";

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

void printLine(FILE* stream, const std::string& text) {
  std::fputs(text.c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

// One line on stderr per workbook while a batch runs, so that a long folder
// shows it is alive; only on a terminal, where nobody parses stderr.
BatchProgress terminalProgress() {
  BatchProgress progress;
  if (!stderrIsTerminal()) return progress;
  progress.sheetsListed = [](const std::string& path, int32_t sheets) {
    printLine(stderr, "converting " + path + ": " + std::to_string(sheets) +
                          (sheets == 1 ? " sheet" : " sheets"));
  };
  return progress;
}

// Handles one PATH like a path dropped onto the window, except that a file
// the driver skips is reported as skipped instead of done. Returns false when
// the PATH was skipped; errors propagate.
bool convertPath(const std::string& path, const BatchProgress& progress) {
  std::error_code ec;
  fs::file_status status = fs::status(pathFromUtf8(path), ec);
  if (status.type() == fs::file_type::regular) {
    std::string outFolder = outputFolderForFile(path);
    readCellWidth();
    switch (convertWorkbook(path, outFolder, progress)) {
      case WorkbookOutcome::converted:
        printLine(stdout, "Done! - " + outFolder);
        return true;
      case WorkbookOutcome::skippedEmpty:
        printLine(stderr, "Skipped: empty file: " + path);
        return false;
      case WorkbookOutcome::skippedNotXlsx:
        printLine(stderr, "Skipped: not an .xlsx workbook: " + path);
        return false;
    }
  }
  if (status.type() == fs::file_type::directory) {
    std::string outRoot = outputRootForFolder(path);
    readCellWidth();
    convertFolder(path, outRoot, progress);
    printLine(stdout, "Done! - " + outRoot);
    return true;
  }
  if (status.type() == fs::file_type::not_found || ec) {
    printLine(stderr, "Skipped: no such file or folder: " + path);
  } else {
    printLine(stderr, "Skipped: not a file or folder: " + path);
  }
  return false;
}

int usageError(const std::string& arg) {
  printLine(stderr, "tabulon: unknown option: " + arg);
  std::fputs(commandLineUsage(), stderr);
  return kExitUsage;
}

int run(int argc, char** argv) {
  // UTF-8 like every other text inside Tabulon, on Windows too.
  const std::vector<std::string> args = commandLineArguments(argc, argv);
  useUtf8Console();
  std::vector<std::string> paths;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      paths.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help") {
      std::fputs(commandLineUsage(), stdout);
      return kExitOk;
    } else if (arg == "--version") {
      std::fputs(kVersionLine, stdout);
      return kExitOk;
    } else {
      return usageError(std::string(arg));
    }
  }

  try {
    ensureConfigFile(kDefaultConfig, kConfigFileName);
  } catch (const Error& e) {
    printLine(stderr, "Error: " + describeError(e));
    return kExitFailed;
  }
  if (paths.empty()) return runGui(argc, argv);

  // Like the window: the first error ends the run, and what was written
  // before it stays.
  BatchProgress progress = terminalProgress();
  bool allConverted = true;
  try {
    for (const std::string& path : paths) {
      if (!convertPath(path, progress)) allConverted = false;
    }
  } catch (const Error& e) {
    printLine(stderr, "Error: " + describeError(e));
    return kExitFailed;
  }
  return allConverted ? kExitOk : kExitFailed;
}

}  // namespace
}  // namespace tabulon

int main(int argc, char** argv) {
  try {
    return tabulon::run(argc, argv);
  } catch (const std::exception& e) {
    // Not one of ours (out of memory, say): still a message and a status.
    std::fprintf(stderr, "Error: %s [%s]\n", e.what(), "SystemError");
    return 1;
  }
}
