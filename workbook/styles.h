// The styles part and the two fixed number-format tables: the built-in
// formats by id, and the classification of a format code into a value class
// that decides whether a cell's number becomes a date, a time or stays a number.
#ifndef TABULON_WORKBOOK_STYLES_H_
#define TABULON_WORKBOOK_STYLES_H_

#include <string>
#include <string_view>
#include <vector>

#include "workbook/partreader.h"
#include "workbook/sheet.h"

namespace tabulon {

// Reads the styles part at path into the style list: for each xf of cellXfs,
// in document order, its number-format code in lower case (ASCII letters),
// taken from the part's numFmts, else from the built-in table, else a stand-in
// code of the right class for the built-in ids the table lacks, else "none".
// An xf without numFmtId stands for id 0 ("general"). Sections and xf
// elements count with or without attributes; cellXfs' count is only a hint.
// Element names carry the root element's namespace prefix, if any.
// Throws IOError "Unable to read file: " + path when the part cannot be opened.
std::vector<std::string> parseStyles(const std::string& path);
std::vector<std::string> parseStyles(PartInput input);

// The code of a built-in format id ("14" gives "mm-dd-yy"); "" when the id is
// not in the built-in table.
std::string_view builtinFormatCode(std::string_view id);

// The value class of a lower-case format code: "float", "date", "time" or
// "percentage". Codes in the classification table keep its class; "none"
// (an unknown format id) is "float"; any other code is classed by its
// content: ignoring quoted text, backslash escapes, _x and *x fillers and
// bracketed sections ([red], [$-409]; but [h], [m], [s] and their doubled
// forms are elapsed-time tokens), a y, d, e or g (not the exponent e+/e-, nor
// the word general), or an m that is not a minute (a minute is an m right
// after an h or right before an s) makes it "date"; otherwise an h, an s, an
// elapsed token or am/pm (a/p) makes it "time"; otherwise it is "float".
std::string_view formatClass(std::string_view code);

// The cell kind of a value class: "float" Num, "date" Date, "time" Time,
// anything else ("percentage") Initial (read as a number).
SheetDataKind kindOfFormatClass(std::string_view formatClass);

// kindOfFormatClass(formatClass(code)).
SheetDataKind cellKindOfFormat(std::string_view code);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_STYLES_H_
