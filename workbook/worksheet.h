// Worksheet parts: the extent of a sheet and its cells, each typed by its
// type attribute or by the number format of its style, with serial dates and
// times already turned into text.
#ifndef TABULON_WORKBOOK_WORKSHEET_H_
#define TABULON_WORKBOOK_WORKSHEET_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/partreader.h"
#include "workbook/sheet.h"

namespace tabulon {

// The result of reading one worksheet. The extent is the bounding box of the
// declared dimension and the cells read (without a dimension, of the cells;
// a single-reference dimension such as A1 counts only when a cell is read).
// cells holds only the cells present, placed relative to startRef.
struct SheetCells {
  int32_t rows = 0;
  int32_t cols = 0;
  std::string startRef;  // top-left cell of the extent, "B2"; "" for an empty sheet
  bool date1904 = false;
  CellList cells;
};

// Reads the worksheet part at path. styles is the style list of the workbook
// (parseStyles); an empty list makes every styled number General. With
// trimTrailing, rows is cut to the whole rows up to the cell read last (an
// empty sheet stays 0 x 0).
// Throws IOError "Unable to read file: " + path when the part cannot be
// opened; UnKnownSheetDataKindError "unsupport sheet data kind" for an unknown
// t; ValueError "invalid integer: " for a bad style index, row number or date
// serial, "invalid float: " for a bad time value, "invalid cell reference: "
// for a malformed r; IndexError for a style index outside a non-empty style
// list; RangeError for a negative time or an extent whose end lies before its
// start; OverflowError when rows * cols does not fit 32 bits.
SheetCells parseSheet(const std::string& path, const std::vector<std::string>& styles,
                      bool date1904, bool trimTrailing);
// The same from input; its sizeHint only sizes the first reservation.
SheetCells parseSheet(PartInput input, const std::vector<std::string>& styles, bool date1904,
                      bool trimTrailing);

// The kind of a cell's t attribute: "b" Boolean, "d" Date, "e" Error,
// "inlineStr" InlineStr, "n" Num, "s" SharedString, "str" Formula (exact
// case). Throws UnKnownSheetDataKindError "unsupport sheet data kind" otherwise.
SheetDataKind parseDataKind(std::string_view t);

// A cell's place, both counted from 1.
struct CellRef {
  int32_t row = 0;
  int32_t col = 0;
};

// The column number of a run of letters A-Z, bijective base 26: A 1, Z 26,
// AA 27, XFD 16384; "" 0. Throws OverflowError past 32 bits.
int32_t columnNumber(std::string_view letters);

// The letters of a column number from 1 ("A"); "" for 0.
std::string columnLetters(int32_t col);

// Reads a reference such as B3 (upper-case letters, then a row from 1).
// Throws ValueError "invalid cell reference: " + text otherwise,
// OverflowError for a column past 32 bits.
CellRef parseCellRef(std::string_view text);

// The text of a serial date, "yyyy-MM-ddTHH:mm:ss+hh:mm": the day count from
// 1899-12-30 (1904-01-01 with date1904) by calendar arithmetic, the fraction
// of a day rounded to the nearest second, then the local zone's offset at
// that wall time. Throws ValueError "invalid integer: " + the text before the
// first "." when the serial is not a number.
std::string serialDateText(std::string_view serial, bool date1904);

// The time of day of a serial time, "HH:mm:ss", rounded to the nearest second;
// whole days are dropped. Throws ValueError "invalid float: " + text, and
// RangeError "value out of range: " + text for a negative or infinite value.
std::string serialTimeText(std::string_view value);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_WORKSHEET_H_
