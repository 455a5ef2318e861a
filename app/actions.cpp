#include "app/actions.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/startup.h"
#include "textformats/paths.h"

namespace tabulon {

namespace {

namespace fs = std::filesystem;

constexpr char kDone[] = "Done! - ";
constexpr char kSkippedEmpty[] = "Skipped (empty file) - ";
constexpr char kSkippedNotXlsx[] = "Skipped (not an .xlsx workbook) - ";

// While a batch runs the status bar names the workbook being read, so a long
// folder does not look frozen. An error puts the previous text back: a failed
// item leaves the status bar as it was.
class ProgressDisplay {
 public:
  explicit ProgressDisplay(Frame& frame)
      : frame_(frame), previous_(frame.statusText()), unwinding_(std::uncaught_exceptions()) {}
  ~ProgressDisplay() {
    if (shown_ && std::uncaught_exceptions() > unwinding_) frame_.setStatusText(previous_);
  }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  BatchProgress observer() {
    BatchProgress progress;
    progress.workbookStarted = [this](const std::string& path) {
      shown_ = true;
      frame_.setStatusText(" Converting " + path + " ...");
      frame_.repaintNow();
    };
    return progress;
  }

 private:
  Frame& frame_;
  std::string previous_;
  int unwinding_;
  bool shown_ = false;
};

std::string fileStatusText(WorkbookOutcome outcome, const std::string& path,
                           const std::string& outFolder) {
  switch (outcome) {
    case WorkbookOutcome::skippedEmpty:
      return kSkippedEmpty + path;
    case WorkbookOutcome::skippedNotXlsx:
      return kSkippedNotXlsx + path;
    case WorkbookOutcome::converted:
      break;
  }
  return kDone + outFolder;
}

void convertChosenFile(ActionContext& context, const std::string& path) {
  std::string outFolder = outputFolderForFile(path);
  WorkbookOutcome outcome;
  {
    ProgressDisplay progress(*context.frame);
    context.conversions.readCellWidth();
    outcome = context.conversions.convertWorkbook(path, outFolder, progress.observer());
  }
  showStatus(context, fileStatusText(outcome, path, outFolder));
}

void convertChosenFolder(ActionContext& context, const std::string& folder) {
  std::string outRoot = outputRootForFolder(folder);
  {
    ProgressDisplay progress(*context.frame);
    context.conversions.readCellWidth();
    context.conversions.convertFolder(folder, outRoot, progress.observer());
  }
  showStatus(context, kDone + outRoot);
}

}  // namespace

Conversions batchConversions() {
  Conversions conversions;
  conversions.readCellWidth = [] { readCellWidth(); };
  conversions.convertWorkbook = [](const std::string& path, const std::string& outFolder,
                                   const BatchProgress& progress) {
    return convertWorkbook(path, outFolder, progress);
  };
  conversions.convertFolder = [](const std::string& folder, const std::string& outRoot,
                                 const BatchProgress& progress) {
    convertFolder(folder, outRoot, progress);
  };
  return conversions;
}

std::tm localTimeNow() {
  std::time_t now = std::time(nullptr);
  // Only the window's thread asks for the time.
  return *std::localtime(&now);
}

std::string statusMessage(const std::string& text, const std::tm& time) {
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", time.tm_hour, time.tm_min, time.tm_sec);
  return " " + text + " - " + clock;
}

void showStatus(ActionContext& context, const std::string& text) {
  context.frame->setStatusText(statusMessage(text, context.clock()));
}

void onSelectFolder(ActionContext& context) {
  std::optional<std::string> folder =
      context.toolkit->chooseFolder(*context.frame, "Select a directory");
  if (!folder || folder->empty()) return;
  convertChosenFolder(context, *folder);
}

void onSelectFile(ActionContext& context) {
  std::optional<std::vector<std::string>> paths =
      context.toolkit->chooseFile(*context.frame, "Select a file", "*.*");
  if (!paths || paths->empty()) return;
  convertChosenFile(context, paths->front());
}

DropEffect onDragEnter(ActionContext&) { return DropEffect::copy; }

void onDrop(ActionContext& context, const DropData& data) {
  if (!data.hasFileList) return;
  for (const std::string& path : data.files) {
    std::error_code ec;
    fs::file_type type = fs::status(pathFromUtf8(path), ec).type();
    if (type == fs::file_type::regular) {
      convertChosenFile(context, path);
    } else if (type == fs::file_type::directory) {
      convertChosenFolder(context, path);
    }
  }
}

}  // namespace tabulon
