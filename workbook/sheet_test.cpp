#include "workbook/sheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace tabulon {
namespace {

using Kind = SheetDataKind;

SheetData cell(Kind kind, std::string value, std::string formula = "") {
  SheetData d;
  d.kind = kind;
  d.value = std::move(value);
  d.formula = std::move(formula);
  return d;
}

std::vector<std::string> texts(const SheetTable& t) {
  std::vector<std::string> out;
  for (size_t i = 0; i < t.data.size(); ++i) out.emplace_back(t.data[i]);
  return out;
}

const std::vector<std::string> kShared = {"Name", "Age"};

TEST(CellText, ByKind) {
  struct Case {
    SheetData cell;
    std::string text;
  } cases[] = {
      {SheetData(), ""},
      {cell(Kind::Boolean, "1"), "true"},
      {cell(Kind::Boolean, "0"), "false"},
      {cell(Kind::Boolean, "Y_ES"), "true"},
      {cell(Kind::Date, "2023-07-16T00:00:00+00:00"), "2023-07-16T00:00:00+00:00"},
      {cell(Kind::Time, "12:00:00"), "12:00:00"},
      {cell(Kind::Error, "#DIV/0!"), ""},
      {cell(Kind::InlineStr, " a b "), " a b "},
      {cell(Kind::Num, "3.1415926535897931"), "3.1415926535897931"},
      {cell(Kind::Num, "1E-3"), "1E-3"},
      {cell(Kind::SharedString, "1"), "Age"},
      {cell(Kind::Formula, "xy", "A1&B1"), "xy"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.text, toCellText(c.cell, kShared)) << c.cell.value;
  }
  EXPECT_EQ("A1&B1", cell(Kind::Formula, "xy", "A1&B1").fvalue());
}

TEST(CellText, Errors) {
  EXPECT_ERROR(toCellText(cell(Kind::Boolean, ""), kShared), "ValueError",
               "cannot interpret as a bool: ");
  EXPECT_ERROR(toCellText(cell(Kind::Boolean, "2"), kShared), "ValueError",
               "cannot interpret as a bool: 2");
  EXPECT_ERROR(toCellText(cell(Kind::SharedString, "x"), kShared), "ValueError",
               "invalid integer: x");
  EXPECT_ERROR(toCellText(cell(Kind::SharedString, "2"), kShared), "IndexError",
               "index out of bounds: 2 notin 0 .. 1");
  EXPECT_ERROR(toCellText(cell(Kind::SharedString, "-1"), kShared), "IndexError",
               "index out of bounds: -1 notin 0 .. 1");
}

TEST(SheetTable, EmptySheet) {
  SheetTable t = initSheetTable(0, 0, std::vector<SheetData>{}, kShared, true, false);
  EXPECT_EQ(std::make_pair(0, 0), t.shape);
  EXPECT_EQ(0u, t.data.size());
  EXPECT_TRUE(t.colType.empty());
  // Dropping the header of an empty sheet leaves it empty, never negative.
  t = initSheetTable(0, 0, std::vector<SheetData>{}, kShared, true, true);
  EXPECT_EQ(std::make_pair(0, 0), t.shape);
}

TEST(SheetTable, HeaderKeepsFirstRowAndTypesFromSecond) {
  std::vector<SheetData> cells = {cell(Kind::SharedString, "0"), cell(Kind::SharedString, "1"),
                                  cell(Kind::InlineStr, "Ann"), cell(Kind::Num, "42"),
                                  cell(Kind::Date, "2023-07-16T00:00:00+00:00"), SheetData()};
  SheetTable t = initSheetTable(3, 2, cells, kShared, true, false);
  EXPECT_EQ(std::make_pair(3, 2), t.shape);
  EXPECT_TRUE(t.header);
  EXPECT_EQ((std::vector<std::string>{"Name", "Age", "Ann", "42", "2023-07-16T00:00:00+00:00", ""}),
            texts(t));
  EXPECT_EQ((std::vector<Kind>{Kind::InlineStr, Kind::Num}), t.colType);

  t = initSheetTable(3, 2, cells, kShared, false, false);
  EXPECT_FALSE(t.header);
  EXPECT_EQ((std::vector<Kind>{Kind::SharedString, Kind::SharedString}), t.colType);

  t = initSheetTable(3, 2, cells, kShared, true, true);
  EXPECT_EQ(std::make_pair(2, 2), t.shape);
  EXPECT_FALSE(t.header);
  EXPECT_EQ((std::vector<std::string>{"Ann", "42", "2023-07-16T00:00:00+00:00", ""}), texts(t));
  EXPECT_EQ((std::vector<Kind>{Kind::InlineStr, Kind::Num}), t.colType);
}

TEST(SheetTable, SingleRowWithHeaderHasNoColumnKinds) {
  SheetTable t = initSheetTable(1, 2, {cell(Kind::Num, "1"), cell(Kind::Num, "2")}, kShared,
                                true, false);
  EXPECT_EQ((std::vector<std::string>{"1", "2"}), texts(t));
  EXPECT_EQ((std::vector<Kind>{Kind::Initial, Kind::Initial}), t.colType);
}

TEST(SheetTable, CellListInAnyOrderLastCellWins) {
  CellList cells;
  cells.add(1, 1, Kind::Num, "d");
  cells.add(0, 0, Kind::Num, "a");
  cells.add(1, 1, Kind::Num, "D");      // same place again: replaces "d"
  cells.add(5, 0, Kind::Num, "far");    // outside the extent: dropped
  cells.add(0, -1, Kind::Num, "left");  // outside the extent: dropped
  cells.add(0, 1, Kind::SharedString, "0");
  SheetTable t = initSheetTable(2, 2, cells, kShared, false, false);
  EXPECT_EQ((std::vector<std::string>{"a", "Name", "", "D"}), texts(t));
}

TEST(SheetTable, ErrorsOfCellTextsPropagate) {
  EXPECT_ERROR(initSheetTable(1, 1, {cell(Kind::SharedString, "2")}, kShared, false, false),
               "IndexError", "index out of bounds: 2 notin 0 .. 1");
}

TEST(SheetTable, SizeLimits) {
  CellList three;
  three.add(0, 0, Kind::Num, "1");
  three.add(50000, 8000, Kind::Num, "2");
  three.add(99999, 16383, Kind::Num, "3");
  // A1:XFD100000 holding three cells: refused instead of taking gigabytes.
  EXPECT_ERROR(initSheetTable(100000, 16384, three, kShared, true, false), "RangeError",
               "sheet too large: 100000 rows x 16384 columns exceed 16777216 cells");
  // A1:XFD1048576 does not fit 32 bits at all.
  EXPECT_ERROR(initSheetTable(1048576, 16384, three, kShared, true, false), "OverflowError",
               "over- or underflow");
  EXPECT_ERROR(initSheetTable(-1, 2, three, kShared, true, false), "RangeError",
               "invalid sheet extent: -1 rows x 2 columns");
  // Just past the limit.
  EXPECT_ERROR(initSheetTable(1025, 16384, three, kShared, true, false), "RangeError",
               "sheet too large: 1025 rows x 16384 columns exceed 16777216 cells");
}

TEST(CellList, CellCountLimit) {
  // A part repeating <c><v>1</v></c> needs 16 bytes per cell on the list:
  // the count is capped so that a small package cannot take gigabytes.
  CellList cells;
  cells.reserve(static_cast<size_t>(kMaxSheetCells), static_cast<size_t>(kMaxSheetCells));
  for (int32_t i = 0; i < kMaxSheetCells; ++i) cells.add(0, i, Kind::Num, "1");
  EXPECT_EQ(cells.size(), kMaxSheetCells);
  EXPECT_ERROR(cells.add(0, 0, Kind::Num, "1"), "RangeError",
               "sheet too large: more than 16777216 cells");
}

}  // namespace
}  // namespace tabulon
