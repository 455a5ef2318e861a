#include "convert/render.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "textformats/errors.h"
#include "textformats/numbers.h"

namespace tabulon {

namespace {

void checkWidth(int32_t width) {
  if (width < 0) throw RangeError("value out of range: " + std::to_string(width));
}

void appendRule(std::string& out, int32_t cols, int32_t width) {
  for (int32_t j = 0; j < cols; ++j) {
    out += '+';
    out.append(static_cast<size_t>(width), '-');
  }
  out += "+\n";
}

// The exact byte size of the rendered text, so that it is built in one
// allocation. Sizes are int32 like every other size here: a text that would
// exceed that (an absurd width in the configuration file, say) is an
// OverflowError instead of an attempt to allocate gigabytes, or to write them.
int32_t renderedSize(int32_t rows, int32_t cols, int32_t width, bool header) {
  int32_t lineBytes = checkedAdd(checkedMul(cols, checkedAdd(width, 1)), 2);  // rule or row line
  int32_t lines = checkedAdd(rows, header && rows >= 1 ? 3 : 2);
  return checkedMul(lines, lineBytes);
}

// The bytes of one rule or row line (after renderedSize accepted the table).
size_t lineBytes(int32_t cols, size_t width) {
  return static_cast<size_t>(std::max(cols, 0)) * (width + 1) + 2;
}

// The width of each field of table: width, checked, or 0 for a table without
// columns (where a negative width is no error).
size_t fieldWidth(const SheetTable& table, int32_t width) {
  if (table.shape.second < 1) return 0;
  checkWidth(width);
  return static_cast<size_t>(width);
}

// Appends the text of table, line by line, to out, and calls flush(out)
// whenever out holds pieceBytes bytes or more at the end of a line except
// the last; flush may empty out.
template <typename Flush>
void renderLines(const SheetTable& table, size_t w, std::string& out, size_t pieceBytes,
                 Flush&& flush) {
  const int32_t rows = table.shape.first;
  const int32_t cols = table.shape.second;
  std::string rule;
  appendRule(rule, cols, static_cast<int32_t>(w));
  out += rule;
  for (int32_t i = 0; i < rows; ++i) {
    if (out.size() >= pieceBytes) flush(out);
    out += '|';
    const size_t rowStart = static_cast<size_t>(i) * static_cast<size_t>(cols);
    for (int32_t j = 0; j < cols; ++j) {
      std::string_view cell = table.data[rowStart + static_cast<size_t>(j)];
      size_t n = std::min(cell.size(), w);
      out.append(cell.data(), n);
      out.append(w - n, ' ');
      out += '|';
    }
    out += '\n';
    if (i == 0 && table.header) {
      if (out.size() >= pieceBytes) flush(out);
      out += rule;
    }
  }
  if (out.size() >= pieceBytes) flush(out);
  out += rule;
}

}  // namespace

std::string ruleLine(int32_t cols, int32_t width) {
  if (cols >= 1) checkWidth(width);
  std::string out;
  out.reserve(static_cast<size_t>(renderedSize(0, std::max(cols, 0), std::max(width, 0), false) / 2));
  appendRule(out, cols, width);
  return out;
}

std::string renderSheet(const SheetTable& table, int32_t width) {
  const size_t w = fieldWidth(table, width);
  std::string out;
  out.reserve(static_cast<size_t>(
      renderedSize(table.shape.first, table.shape.second, static_cast<int32_t>(w), table.header)));
  renderLines(table, w, out, SIZE_MAX, [](std::string&) {});
  return out;
}

void renderSheetTo(const SheetTable& table, int32_t width, const TextSink& sink,
                   size_t pieceBytes) {
  const size_t w = fieldWidth(table, width);
  const size_t total = static_cast<size_t>(
      renderedSize(table.shape.first, table.shape.second, static_cast<int32_t>(w), table.header));
  std::string piece;
  piece.reserve(pieceBytes < total ? pieceBytes + lineBytes(table.shape.second, w) : total);
  renderLines(table, w, piece, pieceBytes, [&sink](std::string& full) {
    sink(full);
    full.clear();
  });
  sink(piece);
}

}  // namespace tabulon
