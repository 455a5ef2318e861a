// The workbook reader's entry points. Each call is one complete read: it
// waits for the extraction lock, extracts the package into the extraction
// folder, reads the parts it needs and removes the folder again, on every
// path, errors included.
#ifndef TABULON_WORKBOOK_READER_H_
#define TABULON_WORKBOOK_READER_H_

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "workbook/sheet.h"

namespace tabulon {

// The sheet names of the workbook at fileName, in workbook (tab) order.
// Throws what the extraction throws (NotExistsXlsxFileError,
// InvalidXlsxFileError, IOError, OSError) and what reading the content-types
// and workbook parts throws (IOError "Unable to read file: " + path,
// ValueError, InvalidXlsxFileError "[ZIP] unsafe part name in ...").
std::vector<std::string> listSheetNames(const std::string& fileName);

// Reads the workbook at fileName into one table per sheet: every sheet when
// sheetName is empty, else only that one (NotFoundSheetError "no such sheet
// name: " + sheetName when it has no such sheet). header and skipHeaders go
// to initSheetTable, quoteSharedStrings to parseSharedStrings, trimTrailing
// to parseSheet. A sheet's worksheet part is the target of its relationship
// id in the workbook part's relationships; when that names no part present
// in the package, the part whose short name is "sheet" + sheetId (KeyError
// "key not found: sheet" + sheetId when there is none). A workbook without a
// styles part reads every cell as General. Besides the errors of
// listSheetNames, throws whatever the part readers and the table builder
// throw; the caller gets the whole map or an error, never a partial map.
std::unordered_map<std::string, SheetTable> parseExcel(const std::string& fileName,
                                                       const std::string& sheetName, bool header,
                                                       bool skipHeaders, bool quoteSharedStrings,
                                                       bool trimTrailing);

// Every sheet of the workbook at fileName from one read, for callers that
// want them all: the same tables, the same errors in the same order as
// listSheetNames followed (when it lists any sheet) by parseExcel with an
// empty sheetName. listed gets the sheet names in workbook order once the
// workbook part is read; a workbook without sheets is read no further (its
// styles and shared strings are not looked at). Then sheetRead gets each
// table with its index in that list, in workbook order, as soon as it is
// built; the read goes on while the caller works on it. Large worksheets and
// shared strings are parsed on a second thread while the package is being
// extracted (or, when the archive leaves doubt, after it: the shared strings
// beside the first worksheet, the worksheets two at a time); the errors still
// come in the order of a sequential read (the extraction's first, then the
// shared strings', then sheet by sheet). listed is called once the whole
// package is extracted. Either callback may throw, which ends the read (the
// folder is removed). The callbacks are called on the calling thread.
void readAllSheets(const std::string& fileName, bool header, bool skipHeaders,
                   bool quoteSharedStrings, bool trimTrailing,
                   const std::function<void(const std::vector<std::string>& names)>& listed,
                   const std::function<void(int32_t index, SheetTable&& table)>& sheetRead);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_READER_H_
