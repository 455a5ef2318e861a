#include "convert/render.h"

#include <algorithm>
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
// OverflowError instead of an attempt to allocate gigabytes.
int32_t renderedSize(int32_t rows, int32_t cols, int32_t width, bool header) {
  int32_t lineBytes = checkedAdd(checkedMul(cols, checkedAdd(width, 1)), 2);  // rule or row line
  int32_t lines = checkedAdd(rows, header && rows >= 1 ? 3 : 2);
  return checkedMul(lines, lineBytes);
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
  const int32_t rows = table.shape.first;
  const int32_t cols = table.shape.second;
  if (cols >= 1) checkWidth(width);
  const size_t w = cols >= 1 ? static_cast<size_t>(width) : 0;

  std::string out;
  out.reserve(static_cast<size_t>(renderedSize(rows, cols, static_cast<int32_t>(w), table.header)));
  appendRule(out, cols, static_cast<int32_t>(w));
  const size_t ruleBytes = out.size();
  for (int32_t i = 0; i < rows; ++i) {
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
    if (i == 0 && table.header) out.append(out, 0, ruleBytes);
  }
  out.append(out, 0, ruleBytes);
  return out;
}

}  // namespace tabulon
