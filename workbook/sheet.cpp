#include "workbook/sheet.h"

#include <algorithm>
#include <limits>

#include "textformats/errors.h"
#include "textformats/memory.h"
#include "textformats/numbers.h"

namespace tabulon {

namespace {

constexpr size_t kMaxTextBytes = std::numeric_limits<int32_t>::max();

[[noreturn]] void tooMuchText() {
  throw RangeError("sheet too large: more than " + std::to_string(kMaxTextBytes) +
                   " bytes of cell text");
}

[[noreturn]] void tooManyCells(int32_t rows, int32_t cols) {
  throw RangeError("sheet too large: " + std::to_string(rows) + " rows x " +
                   std::to_string(cols) + " columns exceed " + std::to_string(kMaxTableCells) +
                   " cells");
}

// The field toCellText reads for a dense cell.
std::string_view shownField(const SheetData& cell) {
  return cell.kind == SheetDataKind::Error ? std::string_view() : std::string_view(cell.value);
}

// Indices of the cells of `cells` that lie inside rows x cols, ordered by
// position, keeping only the last cell (in document order) of each position.
// Empty when the list is already in that form and can be walked as it is.
std::vector<int32_t> placementOrder(const CellList& cells, int32_t rows, int32_t cols,
                                    bool& direct) {
  auto inside = [&](const CellList::Entry& e) {
    return e.row >= 0 && e.row < rows && e.col >= 0 && e.col < cols;
  };
  auto position = [&](const CellList::Entry& e) { return int64_t{e.row} * cols + e.col; };
  direct = true;
  int64_t previous = -1;
  for (int32_t i = 0; i < cells.size(); ++i) {
    if (!inside(cells[i]) || position(cells[i]) <= previous) {
      direct = false;
      break;
    }
    previous = position(cells[i]);
  }
  std::vector<int32_t> order;
  if (direct) return order;
  for (int32_t i = 0; i < cells.size(); ++i) {
    if (inside(cells[i])) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
    return position(cells[x]) < position(cells[y]);
  });
  // Of several cells at one position the one read last wins.
  size_t kept = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    if (k + 1 < order.size() && position(cells[order[k]]) == position(cells[order[k + 1]])) {
      continue;
    }
    order[kept++] = order[k];
  }
  order.resize(kept);
  return order;
}

}  // namespace

std::string_view toCellText(SheetDataKind kind, std::string_view field,
                            const std::vector<std::string>& shared) {
  switch (kind) {
    case SheetDataKind::Initial:
    case SheetDataKind::Error:
      return {};
    case SheetDataKind::Boolean:
      return parseBool(field) ? "true" : "false";
    case SheetDataKind::SharedString: {
      int32_t index = parseInt32(field);
      if (index < 0 || static_cast<size_t>(index) >= shared.size()) {
        throw indexOutOfRange(index, static_cast<long long>(shared.size()));
      }
      return shared[static_cast<size_t>(index)];
    }
    case SheetDataKind::Date:
    case SheetDataKind::Time:
    case SheetDataKind::InlineStr:
    case SheetDataKind::Num:
    case SheetDataKind::Formula:
      return field;
  }
  return {};
}

std::string_view toCellText(const SheetData& cell, const std::vector<std::string>& shared) {
  return toCellText(cell.kind, shownField(cell), shared);
}

void CellList::reserve(size_t cells, size_t textBytes) {
  entries_.reserve(cells);
  texts_.reserve(textBytes);
  preferLargePages(entries_.data(), entries_.capacity() * sizeof(Entry));
  preferLargePages(texts_.data(), texts_.capacity());
}

void CellTexts::reserve(size_t cells, size_t textBytes) {
  ends_.reserve(cells);
  bytes_.reserve(textBytes);
  preferLargePages(ends_.data(), ends_.capacity() * sizeof(uint32_t));
  preferLargePages(bytes_.data(), bytes_.capacity());
}

void CellList::add(int32_t row, int32_t col, SheetDataKind kind, std::string_view text) {
  if (entries_.size() >= static_cast<size_t>(kMaxSheetCells)) {
    throw RangeError("sheet too large: more than " + std::to_string(kMaxSheetCells) + " cells");
  }
  if (texts_.size() + text.size() > kMaxTextBytes) tooMuchText();
  texts_.append(text);
  entries_.push_back({row, col, static_cast<uint32_t>(texts_.size()), kind});
}

std::string_view CellList::text(int32_t i) const {
  uint32_t begin = i == 0 ? 0 : entries_[static_cast<size_t>(i) - 1].textEnd;
  return std::string_view(texts_).substr(begin, entries_[static_cast<size_t>(i)].textEnd - begin);
}

void CellList::shift(int32_t dRow, int32_t dCol) {
  for (Entry& e : entries_) {
    e.row += dRow;
    e.col += dCol;
  }
}

void CellList::truncate(int32_t n) {
  if (n < 0 || n >= size()) return;
  texts_.resize(n == 0 ? 0 : entries_[static_cast<size_t>(n) - 1].textEnd);
  entries_.resize(static_cast<size_t>(n));
}

void CellTexts::push_back(std::string_view text) {
  if (bytes_.size() + text.size() > kMaxTextBytes) tooMuchText();
  bytes_.append(text);
  ends_.push_back(static_cast<uint32_t>(bytes_.size()));
}

SheetTable initSheetTable(int32_t rows, int32_t cols, const CellList& cells,
                          const std::vector<std::string>& shared, bool header, bool skipHeaders) {
  if (rows < 0 || cols < 0) {
    throw RangeError("invalid sheet extent: " + std::to_string(rows) + " rows x " +
                     std::to_string(cols) + " columns");
  }
  if (checkedMul(rows, cols) > kMaxTableCells) tooManyCells(rows, cols);

  SheetTable table;
  const int32_t firstRow = skipHeaders && rows > 0 ? 1 : 0;
  table.shape = {rows - firstRow, cols};
  table.header = skipHeaders ? false : header;
  table.colType.assign(static_cast<size_t>(cols), SheetDataKind::Initial);
  // The column kinds come from the first data row: the row after the header.
  const int32_t typeRow = header || skipHeaders ? 1 : 0;

  bool direct = false;
  const std::vector<int32_t> order = placementOrder(cells, rows, cols, direct);
  const int32_t count = direct ? cells.size() : static_cast<int32_t>(order.size());
  const size_t total = static_cast<size_t>(rows - firstRow) * static_cast<size_t>(cols);
  // Sizing the text buffer once spares the copies and page faults of growing it.
  size_t textBytes = 0;
  for (int32_t k = 0; k < count; ++k) {
    const int32_t i = direct ? k : order[static_cast<size_t>(k)];
    if (int64_t{cells[i].row} >= firstRow) {
      textBytes += toCellText(cells[i].kind, cells.text(i), shared).size();
    }
  }
  table.data.reserve(total, std::min(textBytes, kMaxTextBytes));
  const int64_t start = int64_t{firstRow} * cols;
  int64_t next = start;  // the next position of data to fill
  for (int32_t k = 0; k < count; ++k) {
    const int32_t i = direct ? k : order[static_cast<size_t>(k)];
    const CellList::Entry& e = cells[i];
    const int64_t position = int64_t{e.row} * cols + e.col;
    if (position < start) continue;
    table.data.appendEmpty(static_cast<size_t>(position - next));
    table.data.push_back(toCellText(e.kind, cells.text(i), shared));
    next = position + 1;
    if (e.row == typeRow) table.colType[static_cast<size_t>(e.col)] = e.kind;
  }
  table.data.appendEmpty(static_cast<size_t>(start + static_cast<int64_t>(total) - next));
  return table;
}

SheetTable initSheetTable(int32_t rows, int32_t cols, const std::vector<SheetData>& cells,
                          const std::vector<std::string>& shared, bool header, bool skipHeaders) {
  CellList list;
  const int64_t positions = rows > 0 && cols > 0 ? int64_t{rows} * cols : 0;
  const int64_t used = std::min<int64_t>(positions, static_cast<int64_t>(cells.size()));
  for (int64_t i = 0; i < used; ++i) {
    const SheetData& cell = cells[static_cast<size_t>(i)];
    if (cell.kind == SheetDataKind::Initial) continue;
    list.add(static_cast<int32_t>(i / cols), static_cast<int32_t>(i % cols), cell.kind,
             shownField(cell));
  }
  return initSheetTable(rows, cols, list, shared, header, skipHeaders);
}

}  // namespace tabulon
