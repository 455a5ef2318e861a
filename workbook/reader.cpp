#include "workbook/reader.h"

#include <exception>
#include <filesystem>
#include <future>
#include <thread>

#include "textformats/paths.h"
#include "workbook/package.h"
#include "workbook/sharedstrings.h"
#include "workbook/styles.h"
#include "workbook/workbookpart.h"
#include "workbook/worksheet.h"
#include "workbook/xlsxerrors.h"

namespace tabulon {

namespace {

// What every read needs first: the part directory and the workbook part.
struct WorkbookParts {
  PartDirectory directory;
  std::string workbookPart;  // its part name, as in the directory
  WorkbookInfo info;
};

WorkbookParts readWorkbookParts(const PackageSession& package) {
  WorkbookParts parts;
  parts.directory = parseContentTypes(package.pathOf("[Content_Types].xml"));
  parts.workbookPart = directoryEntry(parts.directory, "workbook");
  parts.info = parseWorkbook(package.pathOf(parts.workbookPart));
  return parts;
}

bool isPartPresent(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(pathFromUtf8(path), ec);
}

// The worksheet part of one sheet: the target of its relationship when that
// part is in the package. Spreadsheet programs renumber worksheet parts when
// they save while sheetIds persist, so the sheetId rule is only the fallback.
std::string worksheetPath(const PackageSession& package, const WorkbookParts& parts,
                          const Relationships& rels, const SheetEntry& sheet) {
  auto rel = rels.find(sheet.relId);
  if (!sheet.relId.empty() && rel != rels.end()) {
    std::string path = package.pathOf(rel->second);
    if (isPartPresent(path)) return path;
  }
  return package.pathOf(directoryEntry(parts.directory, "sheet" + sheet.sheetId));
}

}  // namespace

std::vector<std::string> listSheetNames(const std::string& fileName) {
  PackageSession package(fileName);
  WorkbookParts parts = readWorkbookParts(package);
  std::vector<std::string> names;
  names.reserve(parts.info.sheets.size());
  for (const SheetEntry& sheet : parts.info.sheets) names.push_back(sheet.name);
  package.finish();
  return names;
}

std::unordered_map<std::string, SheetTable> parseExcel(const std::string& fileName,
                                                       const std::string& sheetName, bool header,
                                                       bool skipHeaders, bool quoteSharedStrings,
                                                       bool trimTrailing) {
  PackageSession package(fileName);
  WorkbookParts parts = readWorkbookParts(package);

  // The styles part is optional: without it every cell is General.
  std::vector<std::string> styles;
  auto stylesPart = parts.directory.find("styles");
  if (stylesPart != parts.directory.end()) styles = parseStyles(package.pathOf(stylesPart->second));

  std::vector<std::string> shared;
  auto sharedPart = parts.directory.find("sharedStrings");
  if (sharedPart != parts.directory.end()) {
    shared = parseSharedStrings(package.pathOf(sharedPart->second), quoteSharedStrings);
  }

  std::vector<const SheetEntry*> wanted;
  if (sheetName.empty()) {
    for (const SheetEntry& sheet : parts.info.sheets) wanted.push_back(&sheet);
  } else {
    const SheetEntry* sheet = parts.info.find(sheetName);
    if (sheet == nullptr) throw NotFoundSheetError("no such sheet name: " + sheetName);
    wanted.push_back(sheet);
  }

  const Relationships rels =
      wanted.empty() ? Relationships()
                     : parseRelationships(package.pathOf(relationshipsPartName(parts.workbookPart)),
                                          parts.workbookPart);
  std::unordered_map<std::string, SheetTable> result;
  for (const SheetEntry* sheet : wanted) {
    SheetCells cells = parseSheet(worksheetPath(package, parts, rels, *sheet), styles,
                                  parts.info.date1904, trimTrailing);
    result[sheet->name] =
        initSheetTable(cells.rows, cells.cols, cells.cells, shared, header, skipHeaders);
  }
  package.finish();
  return result;
}

void readAllSheets(const std::string& fileName, bool header, bool skipHeaders,
                   bool quoteSharedStrings, bool trimTrailing,
                   const std::function<void(const std::vector<std::string>& names)>& listed,
                   const std::function<void(int32_t index, SheetTable&& table)>& sheetRead) {
  PackageSession package(fileName);
  WorkbookParts parts = readWorkbookParts(package);
  std::vector<std::string> names;
  names.reserve(parts.info.sheets.size());
  for (const SheetEntry& sheet : parts.info.sheets) names.push_back(sheet.name);
  listed(names);
  if (names.empty()) {
    package.finish();
    return;
  }

  std::vector<std::string> styles;
  auto stylesPart = parts.directory.find("styles");
  if (stylesPart != parts.directory.end()) styles = parseStyles(package.pathOf(stylesPart->second));

  // Only the tables need the shared strings, so they are read beside the
  // first worksheet. Their error, if any, is the one reported: it comes
  // first when the parts are read one after the other.
  std::vector<std::string> shared;
  std::exception_ptr sharedError;
  std::thread sharedReader;
  auto sharedPart = parts.directory.find("sharedStrings");
  if (sharedPart != parts.directory.end()) {
    sharedReader = std::thread([&shared, &sharedError, quoteSharedStrings,
                                path = package.pathOf(sharedPart->second)] {
      try {
        shared = parseSharedStrings(path, quoteSharedStrings);
      } catch (...) {
        sharedError = std::current_exception();
      }
    });
  }
  auto awaitShared = [&] {
    if (!sharedReader.joinable()) return;
    sharedReader.join();
    if (sharedError) std::rethrow_exception(sharedError);
  };
  // Worksheets are parsed two at a time: sheet i here, sheet i + 1 on a
  // helper thread. The helper's result, or its error, is taken only once
  // sheet i is done, so the errors come in the order of a sequential read.
  // Whatever the helper uses lives outside the try block: on an error it is
  // still at work until the handler has waited for it.
  Relationships rels;
  std::future<SheetCells> ahead;
  try {
    rels = parseRelationships(package.pathOf(relationshipsPartName(parts.workbookPart)),
                              parts.workbookPart);
    auto parseAt = [&](size_t i) {
      return parseSheet(worksheetPath(package, parts, rels, parts.info.sheets[i]), styles,
                        parts.info.date1904, trimTrailing);
    };
    auto hand = [&](size_t i, SheetCells&& cells) {
      awaitShared();
      sheetRead(static_cast<int32_t>(i),
                initSheetTable(cells.rows, cells.cols, cells.cells, shared, header, skipHeaders));
    };
    const size_t count = parts.info.sheets.size();
    for (size_t i = 0; i < count; i += 2) {
      if (i + 1 < count) ahead = std::async(std::launch::async, parseAt, i + 1);
      hand(i, parseAt(i));
      if (ahead.valid()) hand(i + 1, ahead.get());
    }
  } catch (...) {
    if (ahead.valid()) ahead.wait();  // its result or error is dropped
    awaitShared();  // replaces the error in flight when the shared strings failed
    throw;
  }
  package.finish();
}

}  // namespace tabulon
