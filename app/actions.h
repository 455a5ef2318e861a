// What the main window does for the user: the Select Folder and Select File
// buttons, dropping files and folders onto the instruction text, and the
// status line that reports each result.
//
// Each action runs synchronously inside its event handler and catches
// nothing: an error ends the action (what was converted before it stays), the
// toolkit's dispatch shows it, and the status bar keeps the text it had before
// the action's item started.
#ifndef TABULON_APP_ACTIONS_H_
#define TABULON_APP_ACTIONS_H_

#include <ctime>
#include <functional>
#include <string>

#include "convert/batch.h"
#include "gui/toolkit.h"

namespace tabulon {

// The batch operations an action runs; tests substitute recorders.
struct Conversions {
  std::function<void()> readCellWidth;
  std::function<WorkbookOutcome(const std::string& path, const std::string& outFolder,
                                const BatchProgress& progress)>
      convertWorkbook;
  std::function<void(const std::string& folder, const std::string& outRoot,
                     const BatchProgress& progress)>
      convertFolder;
};

// readCellWidth (app/startup.h), convertWorkbook and convertFolder (convert/batch.h).
Conversions batchConversions();

// The local date and time now.
std::tm localTimeNow();

// Everything an action needs. toolkit and frame must outlive it.
struct ActionContext {
  Toolkit* toolkit = nullptr;
  Frame* frame = nullptr;  // owns the dialogs, holds the status bar
  Conversions conversions = batchConversions();
  std::function<std::tm()> clock = localTimeNow;
};

// The status line for text at time: " " + text + " - " + "HH:MM:SS" (24-hour,
// two digits each).
std::string statusMessage(const std::string& text, const std::tm& time);

// Sets statusMessage(text, the context's clock now) as the status bar's text.
void showStatus(ActionContext& context, const std::string& text);

// Folder chooser "Select a directory"; Cancel or an empty path does nothing.
// Otherwise converts the folder into outputRootForFolder(folder) and shows
// "Done! - " + that root.
void onSelectFolder(ActionContext& context);

// File-open dialog "Select a file" (every file, single selection); Cancel or
// no path does nothing. Otherwise converts the first path into
// outputFolderForFile(path) and shows "Done! - " + that folder, or, when the
// driver skipped the file, "Skipped (empty file) - " + path or
// "Skipped (not an .xlsx workbook) - " + path.
void onSelectFile(ActionContext& context);

// A drag entering the instruction text: copy, whatever is dragged.
DropEffect onDragEnter(ActionContext& context);

// A drop: when it carries a file list, each path in order is converted like
// a chosen file (an existing regular file) or a chosen folder (an existing
// folder), each with its own status; other paths (vanished, special files)
// are skipped silently. Anything but a file list does nothing.
void onDrop(ActionContext& context, const DropData& data);

}  // namespace tabulon

#endif  // TABULON_APP_ACTIONS_H_
