// The batch driver: turns one workbook, or every workbook in a folder tree,
// into text files, one per sheet (see convert/render.h for their layout).
//
//   file  data/Book.xlsx  ->  data/zz_Book/<sheet>.txt
//   folder data/In        ->  data/zz_In/<workbook base name>/<sheet>.txt
//
// Everything runs on the caller's thread. Nothing is caught: the first error
// ends the batch, and the files written before it stay.
#ifndef TABULON_CONVERT_BATCH_H_
#define TABULON_CONVERT_BATCH_H_

#include <cstdint>
#include <functional>
#include <string>

namespace tabulon {

// The width of one output cell in bytes, for the whole process; initially 10.
// Written by readCellWidth (app/startup.h) before each batch, read once per
// sheet. Not range-checked when set: a negative width fails at rendering.
extern int32_t cellWidth;

// The base name of a workbook path: its file-name part (after the last "/" or
// "\"), without a leading ".", without its extension (from the last "." that
// is not the first character). "dir/a.b.xlsx" -> "a.b"; ".hidden.xlsx" -> "hidden".
std::string outputBaseName(const std::string& path);

// Where a chosen workbook file goes: its parent folder / ("zz_" + base name).
// "data/Book.xlsx" -> "data/zz_Book"; "Book.xlsx" -> "zz_Book".
std::string outputFolderForFile(const std::string& file);

// Where a chosen folder goes: its parent / ("zz_" + its last component); a
// trailing separator is ignored. A folder named by "." or ".." is first made
// absolute, so "." in /data/In gives /data/zz_In rather than "zz_.".
std::string outputRootForFolder(const std::string& folder);

enum class WorkbookOutcome {
  converted,       // the output folder exists and holds one .txt per sheet
  skippedEmpty,    // a 0-byte file: nothing was created
  skippedNotXlsx,  // the name does not end in ".xlsx" or ".XLSX": nothing was created
};

// Optional observers of a running batch, for a progress display. Each member
// may be empty. They are called on the batch's thread.
struct BatchProgress {
  // A workbook is about to be read (after the skip checks passed).
  std::function<void(const std::string& workbookPath)> workbookStarted;
  // Its sheet names were read: sheetCount sheets will be written.
  std::function<void(const std::string& workbookPath, int32_t sheetCount)> sheetsListed;
};

// Converts the workbook at path into outFolder: creates the folder (with its
// parents) and writes "<sheet name>.txt" for every sheet, in workbook order,
// rendered at cellWidth; existing files are replaced, the folder is reused.
// A workbook without sheets leaves the folder empty. A sheet name that is "."
// or "..", or holds "/", "\" or a NUL byte, has those characters replaced by
// "_" in its file name, so nothing is written outside outFolder.
// The workbook is read (extracted) once for its sheet names and all its
// sheets. Each sheet's text is written, as it is rendered, to a hidden
// temporary file in outFolder (".tabulon-sheet<index>.tmp"), and only once
// the whole read has succeeded are these renamed to their final names, in
// workbook order (of two sheets with the same file name the later wins). So
// a read error leaves no new file in outFolder, and whatever goes wrong the
// temporary files are removed. No sheet's text is held whole in memory.
// Errors come in the order of reading all first, then rendering and writing
// sheet by sheet: the sheets before the one that failed keep their files.
// Throws OSError (the file's size cannot be read, a folder cannot be created:
// the system's message and the path), IOError "Failed to create '" + folder +
// "'" (a file stands in the way), IOError "cannot open: " + file (an output
// file cannot be created or replaced), IOError "cannot write: " + file,
// RangeError "value out of range: " (a negative cellWidth), OverflowError (a
// sheet's text beyond 2 GiB), and whatever the reader raises
// (workbook/reader.h).
WorkbookOutcome convertWorkbook(const std::string& path, const std::string& outFolder,
                                const BatchProgress& progress = {});

// Converts every workbook below folder into outRoot / <base name>. outRoot is
// created first (made absolute against the working directory). The walk is
// depth first with a stack: a folder's own files in name order (byte order),
// then its sub-folders, the last by name first. Symbolic links are never
// followed, neither to files nor to folders. Files skipped by convertWorkbook
// are skipped silently, and so is a file directly inside outRoot and a folder
// that cannot be listed. Within one call no two workbooks share an output
// folder: a base name used by an earlier workbook gets "_2", "_3", ... (the
// first suffix not yet used in this call), so a re-run of the same tree
// writes the same names.
// Throws like convertWorkbook, and OSError when a listing breaks off part-way.
void convertFolder(const std::string& folder, const std::string& outRoot,
                   const BatchProgress& progress = {});

}  // namespace tabulon

#endif  // TABULON_CONVERT_BATCH_H_
