// The errors the workbook reader raises besides the common kinds of
// textformats/errors.h. kind() is the class name; what() is the message.
#ifndef TABULON_WORKBOOK_XLSXERRORS_H_
#define TABULON_WORKBOOK_XLSXERRORS_H_

#include <string>

#include "textformats/errors.h"

namespace tabulon {

// Common base of the reader's own errors; never raised by itself.
class XlsxError : public Error {
 protected:
  XlsxError(std::string kind, const std::string& message) : Error(std::move(kind), message) {}
};

#define TABULON_XLSX_ERROR_KIND(Name)                                    \
  class Name : public XlsxError {                                        \
   public:                                                               \
    explicit Name(const std::string& message) : XlsxError(#Name, message) {} \
  };

// "No such xlsx file: " + path: the workbook file is absent or a directory.
TABULON_XLSX_ERROR_KIND(NotExistsXlsxFileError)
// "[ZIP] Can't open xlsx file: " + path, and the package's other faults
// ("[ZIP] unsafe entry name in ", "[ZIP] unsafe part name in ", unreadable
// or oversized entries), each naming the file and the entry or part.
TABULON_XLSX_ERROR_KIND(InvalidXlsxFileError)
// "no such sheet name: " + name.
TABULON_XLSX_ERROR_KIND(NotFoundSheetError)
// "unsupport sheet data kind": a cell's type attribute has an unknown value.
TABULON_XLSX_ERROR_KIND(UnKnownSheetDataKindError)

#undef TABULON_XLSX_ERROR_KIND

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_XLSXERRORS_H_
