#include "convert/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "testutil.h"

namespace tabulon {
namespace {

SheetTable makeTable(int32_t rows, int32_t cols, const std::vector<std::string>& cells, bool header) {
  SheetTable t;
  t.shape = {rows, cols};
  t.header = header;
  for (const std::string& c : cells) t.data.push_back(c);
  return t;
}

struct RenderCase {
  const char* label;
  int32_t rows, cols;
  std::vector<std::string> cells;
  bool header;
  int32_t width;
  std::string expected;
};

TEST(RenderSheet, Layouts) {
  const std::string rule3x2 = "+---+---+\n";
  const RenderCase cases[] = {
      {"header row gets its own rule", 2, 2, {"Name", "Age", "Al", "7"}, true, 3,
       rule3x2 + "|Nam|Age|\n" + rule3x2 + "|Al |7  |\n" + rule3x2},
      {"no header, no inner rule", 2, 2, {"Name", "Age", "Al", "7"}, false, 3,
       rule3x2 + "|Nam|Age|\n|Al |7  |\n" + rule3x2},
      {"0 rows: two rules even with a header", 0, 2, {}, true, 3, rule3x2 + rule3x2},
      {"0 columns", 2, 0, {}, true, 3, "+\n|\n+\n|\n+\n"},
      {"0 columns, negative width is no error", 1, 0, {}, false, -4, "+\n|\n+\n"},
      {"width 0 ignores the cells", 1, 3, {"a", "", "ccc"}, false, 0, "++++\n||||\n++++\n"},
      {"empty cell is all blanks, exact fit not padded", 1, 2, {"", "abcd"}, false, 4,
       "+----+----+\n|    |abcd|\n+----+----+\n"},
      {"bytes, not characters: a straddling character is cut", 1, 2,
       {"\xc3\xa9t\xc3\xa9", "\xe2\x82\xac"}, false, 2,
       "+--+--+\n|\xc3\xa9|\xe2\x82|\n+--+--+\n"},
      {"frame characters and line feeds are copied as they are", 1, 2, {"a|b\nc", " +x "}, false, 5,
       "+-----+-----+\n|a|b\nc| +x  |\n+-----+-----+\n"},
      {"header with a single row", 1, 1, {"x"}, true, 1, "+-+\n|x|\n+-+\n+-+\n"},
  };
  for (const RenderCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.expected, renderSheet(makeTable(c.rows, c.cols, c.cells, c.header), c.width));
  }
}

// Pieces of whole lines that add up to exactly renderSheet's text, whatever
// their size; with size 0 every line is a piece of its own.
TEST(RenderSheetTo, PiecesAddUpToTheWholeText) {
  const std::string people[] = {"Name", "Age", "Al", "7", "Bea", "12", "Cy", "", "Di", "40"};
  const SheetTable tables[] = {
      makeTable(5, 2, std::vector<std::string>(std::begin(people), std::end(people)), true),
      makeTable(1, 1, {"x"}, true),
      makeTable(0, 3, {}, false),
      makeTable(2, 0, {}, true),
  };
  for (const SheetTable& table : tables) {
    const std::string whole = renderSheet(table, 3);
    const auto lines = static_cast<size_t>(std::count(whole.begin(), whole.end(), '\n'));
    for (size_t pieceBytes : {size_t{0}, size_t{1}, size_t{13}, size_t{40}, kRenderPieceBytes}) {
      SCOPED_TRACE(testing::Message() << table.shape.first << "x" << table.shape.second
                                      << ", pieces of " << pieceBytes);
      std::vector<std::string> pieces;
      renderSheetTo(table, 3, [&](std::string_view p) { pieces.emplace_back(p); }, pieceBytes);
      std::string joined;
      for (const std::string& p : pieces) {
        EXPECT_TRUE(!p.empty() && p.back() == '\n') << p;
        joined += p;
      }
      EXPECT_EQ(whole, joined);
      if (pieceBytes == 0) {
        EXPECT_EQ(lines, pieces.size());
      } else if (pieceBytes >= whole.size()) {
        EXPECT_EQ(1u, pieces.size());
      }
    }
  }
}

TEST(RenderSheetTo, ErrorsComeBeforeAnyPiece) {
  int calls = 0;
  const TextSink count = [&](std::string_view) { ++calls; };
  EXPECT_ERROR(renderSheetTo(makeTable(1, 1, {"x"}, false), -2, count), "RangeError",
               "value out of range: -2");
  EXPECT_ERROR(renderSheetTo(makeTable(1, 2, {"a", "b"}, false), 2'000'000'000, count),
               "OverflowError", "over- or underflow");
  EXPECT_EQ(0, calls);
}

TEST(RuleLine, Shapes) {
  EXPECT_EQ("+---+---+\n", ruleLine(2, 3));
  EXPECT_EQ("+\n", ruleLine(0, 3));
  EXPECT_EQ("++\n", ruleLine(1, 0));
  EXPECT_EQ("+\n", ruleLine(0, -1));
}

TEST(RenderSheet, NegativeWidthIsARangeError) {
  EXPECT_ERROR(ruleLine(1, -1), "RangeError", "value out of range: -1");
  EXPECT_ERROR(renderSheet(makeTable(1, 1, {"x"}, false), -2), "RangeError",
               "value out of range: -2");
  EXPECT_ERROR(renderSheet(makeTable(0, 1, {}, false), -1), "RangeError", "value out of range: -1");
}

// A width that would make a text beyond 2 GiB fails cleanly instead of
// trying to allocate it.
TEST(RenderSheet, HugeTextIsAnOverflowError) {
  EXPECT_ERROR(renderSheet(makeTable(1, 2, {"a", "b"}, false), 2'000'000'000), "OverflowError",
               "over- or underflow");
}

}  // namespace
}  // namespace tabulon
