// The sheet model the workbook reader hands to the rest of Tabulon: the typed
// value of one cell (SheetData), the compact list of the cells a worksheet
// holds (CellList), and one worksheet turned into text (SheetTable).
#ifndef TABULON_WORKBOOK_SHEET_H_
#define TABULON_WORKBOOK_SHEET_H_

#include <cassert>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabulon {

// The kind of a cell. The codes (0 to 8) are part of the model.
enum class SheetDataKind : uint8_t {
  Initial,       // no value: an empty or absent cell
  Boolean,       // t="b"; the raw text of v ("1", "0")
  Date,          // a serial date already formatted, or the text of a t="d" cell
  Time,          // a time of day formatted as HH:mm:ss
  Error,         // t="e"; the error code itself is not kept
  InlineStr,     // t="inlineStr"; the text of the is element
  Num,           // a number, exactly as the file writes it
  SharedString,  // t="s"; the index into the shared-string list, as text
  Formula        // t="str"; the formula text and its cached string result
};

// One typed cell value. `value` holds the field of the kind (bvalue, dvalue,
// tValue, error, isvalue, nvalue, svalue or fnvalue) and `formula` the formula
// text of a Formula cell; the accessors name the fields and assert the kind.
struct SheetData {
  SheetDataKind kind = SheetDataKind::Initial;
  std::string value;
  std::string formula;

  // Back to Initial, keeping the buffers for the next cell.
  void reset(SheetDataKind k) {
    kind = k;
    value.clear();
    formula.clear();
  }

  const std::string& bvalue() const { return field(SheetDataKind::Boolean); }
  const std::string& dvalue() const { return field(SheetDataKind::Date); }
  const std::string& tValue() const { return field(SheetDataKind::Time); }
  const std::string& error() const { return field(SheetDataKind::Error); }
  const std::string& isvalue() const { return field(SheetDataKind::InlineStr); }
  const std::string& nvalue() const { return field(SheetDataKind::Num); }
  const std::string& svalue() const { return field(SheetDataKind::SharedString); }
  const std::string& fnvalue() const { return field(SheetDataKind::Formula); }
  const std::string& fvalue() const {
    assert(kind == SheetDataKind::Formula);
    return formula;
  }

 private:
  const std::string& field([[maybe_unused]] SheetDataKind k) const {
    assert(kind == k);
    return value;
  }
};

// The text a cell shows:
//   Initial, Error: ""; Boolean: "true"/"false" (ValueError "cannot interpret
//   as a bool: " + text); Date, Time, InlineStr, Num: the field unchanged;
//   SharedString: shared[svalue] (ValueError "invalid integer: " + text,
//   IndexError "index out of bounds: ..." outside the list); Formula: the
//   cached result fnvalue, never the formula.
// The view is valid while cell and shared live and are unchanged.
std::string_view toCellText(const SheetData& cell, const std::vector<std::string>& shared);

// The same rule for a kind and the text of its field (fnvalue for Formula).
std::string_view toCellText(SheetDataKind kind, std::string_view field,
                            const std::vector<std::string>& shared);

// The most cells one worksheet may hold (cells present, whatever its extent):
// 16 Mi cells, 256 MiB of entries. A part of a few hundred KB can repeat
// <c><v>1</v></c> tens of millions of times; reading stops with a RangeError
// instead of growing toward all the machine's memory.
inline constexpr int32_t kMaxSheetCells = int32_t{1} << 24;

// The cells one worksheet holds, in document order, each with its place
// relative to the top-left corner of the sheet's extent (row and col from 0)
// and the text toCellText reads (the formula text of a Formula cell is not
// kept: it is never shown). Memory follows the cells present: 16 bytes per
// cell plus its text bytes, all texts in one buffer. A later cell at the same
// place replaces an earlier one when the table is built.
class CellList {
 public:
  struct Entry {
    int32_t row;
    int32_t col;
    uint32_t textEnd;  // end of this cell's text in the buffer, in bytes
    SheetDataKind kind;
  };

  // Appends a cell. Throws RangeError "sheet too large: " when the texts
  // would pass 2 GiB - 1 bytes or the cells kMaxSheetCells.
  void add(int32_t row, int32_t col, SheetDataKind kind, std::string_view text);

  int32_t size() const { return static_cast<int32_t>(entries_.size()); }
  bool empty() const { return entries_.empty(); }
  const Entry& operator[](int32_t i) const { return entries_[static_cast<size_t>(i)]; }
  std::string_view text(int32_t i) const;

  // Moves every cell by (dRow, dCol); used once the extent is known.
  void shift(int32_t dRow, int32_t dCol);
  // Drops the cells from index n on.
  void truncate(int32_t n);
  // Room for that many cells and text bytes (a hint; the list grows beyond).
  void reserve(size_t cells, size_t textBytes);
  // Byte size of all texts together.
  size_t textBytes() const { return texts_.size(); }

 private:
  std::vector<Entry> entries_;
  std::string texts_;
};

// The cell texts of a table, row-major, packed into one buffer: 4 bytes per
// cell plus the text bytes. operator[] gives a view valid while the table lives.
class CellTexts {
 public:
  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](size_t i) const {
    uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
  }
  // Throws RangeError "sheet too large: " past 2 GiB - 1 bytes of text.
  void push_back(std::string_view text);
  // Appends count empty cells.
  void appendEmpty(size_t count) { ends_.insert(ends_.end(), count, textEnd()); }
  void reserve(size_t cells, size_t textBytes);
  // Byte size of all texts together.
  size_t textBytes() const { return bytes_.size(); }

 private:
  uint32_t textEnd() const { return ends_.empty() ? 0 : ends_.back(); }

  std::string bytes_;
  std::vector<uint32_t> ends_;
};

// One worksheet as text. data has shape.first * shape.second cells, row-major
// (row r, column c at r * cols + c); "" is an empty cell. colType holds, per
// column, the kind of that column's cell in the first data row (the row after
// the header when header is true).
struct SheetTable {
  std::pair<int32_t, int32_t> shape{0, 0};
  CellTexts data;
  bool header = false;
  std::vector<SheetDataKind> colType;
};

// The largest table built, in cells (rows * cols): 16 Mi cells (1,048,576
// rows of 16 columns), 64 MiB of cell offsets and some 190 MB of text at the
// default cell width. A sheet whose extent is larger is refused rather than
// letting a few cells far apart take all the machine's memory: three cells
// declaring A1:XFD4000 took 965 MB to render alone.
inline constexpr int32_t kMaxTableCells = int32_t{1} << 24;

// Builds the table of a sheet with the given extent from its cells (places
// relative to the extent's top-left corner; cells outside rows x cols are
// dropped). header is kept in the table; skipHeaders drops the first row
// (shape becomes rows - 1, header false). Throws OverflowError "over- or
// underflow" when rows * cols does not fit 32 bits, RangeError "sheet too
// large: " when it passes kMaxTableCells, RangeError for negative sizes, and
// whatever toCellText throws.
SheetTable initSheetTable(int32_t rows, int32_t cols, const CellList& cells,
                          const std::vector<std::string>& shared, bool header, bool skipHeaders);

// The same from a dense row-major list (cell i at position i); cells beyond
// rows * cols are dropped.
SheetTable initSheetTable(int32_t rows, int32_t cols, const std::vector<SheetData>& cells,
                          const std::vector<std::string>& shared, bool header, bool skipHeaders);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_SHEET_H_
