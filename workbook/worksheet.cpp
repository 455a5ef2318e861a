#include "workbook/worksheet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "textformats/errors.h"
#include "textformats/paths.h"
#include "textformats/numbers.h"
#include "textformats/xmlreader.h"
#include "workbook/localtime.h"
#include "workbook/partreader.h"
#include "workbook/styles.h"
#include "workbook/xlsxerrors.h"

namespace tabulon {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct CivilDate {
  int64_t year;
  int32_t month, day;
};

CivilDate civilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const auto day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }

std::string_view trimBlanks(std::string_view text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A whole text as a finite double, without exceptions.
bool tryParseDouble(std::string_view text, double& out) {
  if (text.empty()) return false;
  const char* begin = text.data();
  if (*begin == '+') ++begin;  // from_chars takes no plus sign
  auto [end, ec] = std::from_chars(begin, text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

bool allDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The seconds of a serial relative to its epoch, rounded to the nearest second.
int64_t serialSeconds(std::string_view serial) {
  const size_t dot = serial.find('.');
  const std::string_view dayPart = serial.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : serial.substr(dot + 1);
  int32_t days = 0;
  if (tryParseInt32(dayPart, days) && allDigits(fraction)) {
    if (fraction.empty()) return int64_t{days} * kSecondsPerDay;  // a plain date, the usual case
    // Only the first 17 digits of the fraction carry any precision.
    char buffer[24] = "0.";
    const size_t digits = std::min<size_t>(fraction.size(), 17);
    if (digits > 0) std::memcpy(buffer + 2, fraction.data(), digits);
    double dayFraction = 0;
    std::from_chars(buffer, buffer + 2 + digits, dayFraction);
    return int64_t{days} * kSecondsPerDay + std::llround(dayFraction * kSecondsPerDay);
  }
  // Scientific notation ("4.5123E4") and the like: read the whole serial.
  double value = 0;
  if (tryParseDouble(serial, value) && std::fabs(value) < 1e9) {
    return std::llround(value * kSecondsPerDay);
  }
  if (!tryParseInt32(dayPart, days)) throw ValueError("invalid integer: " + std::string(dayPart));
  throw ValueError("invalid float: " + std::string(serial));
}

// Offsets of the local zone already looked up within one sheet. A day the
// zone keeps one offset through has it all day; only the days near a change
// are asked second by second.
class OffsetCache {
 public:
  int32_t offsetAt(int64_t wallSeconds) {
    const int64_t day = floorDiv(wallSeconds, kSecondsPerDay);
    if (slots_.empty()) {
      loadLocalZone();
      slots_.resize(kSlots);
    }
    Slot& slot = slots_[static_cast<size_t>(day & (kSlots - 1))];
    if (!slot.used || slot.day != day) {
      const int64_t start = day * kSecondsPerDay;
      slot.day = day;
      slot.used = true;
      slot.steady = localUtcOffsetSteady(start, start + kSecondsPerDay - 1, slot.offset);
    }
    return slot.steady ? slot.offset : localUtcOffsetAt(wallSeconds);
  }

 private:
  static constexpr int64_t kSlots = 16384;
  struct Slot {
    int64_t day = 0;
    int32_t offset = 0;
    bool steady = false;
    bool used = false;
  };
  std::vector<Slot> slots_;
};

// Writes value in exactly width decimal digits (value >= 0).
char* putDigits(char* p, int64_t value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) p[i] = static_cast<char>('0' + value % 10);
  return p + width;
}

void formatSerialDate(std::string_view serial, bool date1904, OffsetCache& offsets,
                      std::string& out) {
  const int64_t epochDays = date1904 ? daysFromCivil(1904, 1, 1) : daysFromCivil(1899, 12, 30);
  const int64_t wall = epochDays * kSecondsPerDay + serialSeconds(trimBlanks(serial));
  const int64_t days = floorDiv(wall, kSecondsPerDay);
  const int64_t secondOfDay = wall - days * kSecondsPerDay;
  const CivilDate date = civilFromDays(days);
  const int32_t offset = offsets.offsetAt(wall);
  const int32_t offsetMinutes = std::abs(offset) / 60;
  char buffer[64];
  char* p = buffer;
  if (date.year < 0 || date.year > 9999) {
    p += std::snprintf(buffer, 32, "%04lld", static_cast<long long>(date.year));
  } else {
    p = putDigits(p, date.year, 4);
  }
  *p++ = '-';
  p = putDigits(p, date.month, 2);
  *p++ = '-';
  p = putDigits(p, date.day, 2);
  *p++ = 'T';
  p = putDigits(p, secondOfDay / 3600, 2);
  *p++ = ':';
  p = putDigits(p, secondOfDay / 60 % 60, 2);
  *p++ = ':';
  p = putDigits(p, secondOfDay % 60, 2);
  *p++ = offset < 0 ? '-' : '+';
  p = putDigits(p, offsetMinutes / 60, 2);
  *p++ = ':';
  p = putDigits(p, offsetMinutes % 60, 2);
  out.assign(buffer, static_cast<size_t>(p - buffer));
}

void formatSerialTime(std::string_view text, std::string& out) {
  const std::string_view value = trimBlanks(text);
  const double serial = parseFloat(value);
  if (!(serial >= 0) || !std::isfinite(serial)) {
    throw RangeError("value out of range: " + std::string(value));
  }
  const double seconds = std::fmod(std::round(serial * kSecondsPerDay), double(kSecondsPerDay));
  const auto s = static_cast<int32_t>(seconds);
  char buffer[8];
  char* p = putDigits(buffer, s / 3600, 2);
  *p++ = ':';
  p = putDigits(p, s / 60 % 60, 2);
  *p++ = ':';
  p = putDigits(p, s % 60, 2);
  out.assign(buffer, static_cast<size_t>(p - buffer));
}

// Element names of one worksheet part, with its namespace prefix.
struct SheetNames {
  explicit SheetNames(const std::string& p)
      : dimension(p + "dimension"), sheetData(p + "sheetData"), row(p + "row"), c(p + "c"),
        v(p + "v"), f(p + "f"), is(p + "is"), t(p + "t"), rPh(p + "rPh") {}
  std::string dimension, sheetData, row, c, v, f, is, t, rPh;
};

// What one c element holds, gathered before its kind is applied.
struct CellParts {
  std::string v, f, is, type;
  bool hasV = false, hasF = false, hasIs = false;
};

}  // namespace

SheetDataKind parseDataKind(std::string_view t) {
  if (t == "b") return SheetDataKind::Boolean;
  if (t == "d") return SheetDataKind::Date;
  if (t == "e") return SheetDataKind::Error;
  if (t == "inlineStr") return SheetDataKind::InlineStr;
  if (t == "n") return SheetDataKind::Num;
  if (t == "s") return SheetDataKind::SharedString;
  if (t == "str") return SheetDataKind::Formula;
  throw UnKnownSheetDataKindError("unsupport sheet data kind");
}

int32_t columnNumber(std::string_view letters) {
  int32_t n = 0;
  for (char c : letters) n = checkedAdd(checkedMul(n, 26), c - 'A' + 1);
  return n;
}

std::string columnLetters(int32_t col) {
  std::string letters;
  while (col > 0) {
    --col;
    letters.insert(letters.begin(), static_cast<char>('A' + col % 26));
    col /= 26;
  }
  return letters;
}

namespace {

bool tryParseCellRef(std::string_view text, CellRef& out) {
  size_t i = 0;
  while (i < text.size() && text[i] >= 'A' && text[i] <= 'Z') ++i;
  const std::string_view letters = text.substr(0, i), digits = text.substr(i);
  int32_t row = 0;
  if (letters.empty() || digits.empty() || !allDigits(digits) || !tryParseInt32(digits, row) ||
      row < 1) {
    return false;
  }
  out = {row, columnNumber(letters)};
  return true;
}

}  // namespace

CellRef parseCellRef(std::string_view text) {
  CellRef ref;
  if (!tryParseCellRef(text, ref)) throw ValueError("invalid cell reference: " + std::string(text));
  return ref;
}

std::string serialDateText(std::string_view serial, bool date1904) {
  OffsetCache offsets;
  std::string out;
  formatSerialDate(serial, date1904, offsets, out);
  return out;
}

std::string serialTimeText(std::string_view value) {
  std::string out;
  formatSerialTime(value, out);
  return out;
}

namespace {

// Reads the cells of one worksheet part, keeping only the cells present.
class SheetReader {
 public:
  SheetReader(XmlReader& r, const std::string& prefix, const std::vector<std::string>& styles,
              bool date1904)
      : r_(r), names_(prefix), date1904_(date1904) {
    styleKinds_.reserve(styles.size());
    for (const std::string& code : styles) styleKinds_.push_back(cellKindOfFormat(code));
  }

  SheetCells read(bool trimTrailing);

  // Room for the cells a part of that size can hold: a stored cell takes at
  // least 16 bytes of XML (<c><v>1</v></c>). Only reserved, so untouched room
  // costs no memory; capped for huge parts, which then grow as needed.
  void reserveFor(uintmax_t partBytes) {
    constexpr uintmax_t kCap = uintmax_t{1} << 28;
    cells_.reserve(static_cast<size_t>(std::min(partBytes / 16, kCap / 16)),
                   static_cast<size_t>(std::min(partBytes / 2, kCap)));
  }

 private:
  void readDimension();
  void readSheetData();
  void readRow();
  void readCell();
  CellRef readCellAttributes(SheetDataKind& kind, bool& isoDate);
  SheetDataKind styleKind(std::string_view index) const;
  void readCellContent(SheetDataKind kind);
  void storeCell(CellRef at, SheetDataKind kind, bool isoDate);

  XmlReader& r_;
  const SheetNames names_;
  std::vector<SheetDataKind> styleKinds_;
  const bool date1904_;
  OffsetCache offsets_;

  bool hasDimension_ = false, singleDimension_ = false;
  CellRef dimFirst_, dimLast_;
  int32_t currentRow_ = 0;
  CellRef previous_;  // the cell before the next one in its row (col 0 at a row's start)
  CellRef lastCell_;  // the cell read last
  bool anyCell_ = false;
  CellRef boxFirst_, boxLast_;  // bounding box of the cells read
  CellParts parts_;
  std::string text_;
  CellList cells_;
};

void SheetReader::readDimension() {
  if (r_.kind != xmlElementOpen) return;
  for (nextXmlEvent(r_); r_.kind == xmlAttribute; nextXmlEvent(r_)) {
    if (attributeName(r_) != "ref") continue;
    const std::string& ref = attributeValue(r_);
    const size_t colon = ref.find(':');
    CellRef first, last;
    // A dimension that cannot be read is left out: the cells give the extent.
    if (!tryParseCellRef(std::string_view(ref).substr(0, colon), first)) continue;
    if (colon != std::string::npos &&
        !tryParseCellRef(std::string_view(ref).substr(colon + 1), last)) {
      continue;
    }
    hasDimension_ = true;
    singleDimension_ = colon == std::string::npos;
    dimFirst_ = first;
    dimLast_ = singleDimension_ ? first : last;
    if (dimLast_.row < dimFirst_.row || dimLast_.col < dimFirst_.col) {
      throw RangeError("invalid sheet extent: " + ref);
    }
  }
}

void SheetReader::readSheetData() {
  for (skipAttributes(r_); r_.kind != xmlEof && !isEndTag(r_, names_.sheetData);
       nextXmlEvent(r_)) {
    if (isStartTag(r_, names_.row)) {
      readRow();
    } else if (isStartTag(r_, names_.c)) {
      readCell();
    }
  }
}

// A row without r is the one after the previous row.
void SheetReader::readRow() {
  int32_t row = 0;
  if (r_.kind == xmlElementOpen) {
    for (nextXmlEvent(r_); r_.kind == xmlAttribute; nextXmlEvent(r_)) {
      if (isTagName(attributeName(r_), "r") && !attributeValue(r_).empty()) {
        row = parseInt32(attributeValue(r_));
      }
    }
  }
  currentRow_ = row > 0 ? row : checkedAdd(currentRow_, 1);
  previous_ = {currentRow_, 0};
}

SheetDataKind SheetReader::styleKind(std::string_view index) const {
  // Some writers write s="" for the default style.
  const int32_t i = index.empty() ? 0 : parseInt32(index);
  // A workbook without a styles part: every cell has the General format.
  if (styleKinds_.empty()) return SheetDataKind::Num;
  if (i < 0 || static_cast<size_t>(i) >= styleKinds_.size()) {
    throw indexOutOfRange(i, static_cast<long long>(styleKinds_.size()));
  }
  return styleKinds_[static_cast<size_t>(i)];
}

// The kind comes from t unless t is absent or "n"; then from the style.
CellRef SheetReader::readCellAttributes(SheetDataKind& kind, bool& isoDate) {
  CellRef at{currentRow_ > 0 ? currentRow_ : 1, checkedAdd(previous_.col, 1)};
  SheetDataKind fromStyle = SheetDataKind::Initial;
  bool typed = false;
  if (r_.kind == xmlElementOpen) {
    for (nextXmlEvent(r_); r_.kind == xmlAttribute; nextXmlEvent(r_)) {
      const std::string& name = attributeName(r_);
      if (isTagName(name, "r")) {
        at = parseCellRef(attributeValue(r_));
      } else if (isTagName(name, "s")) {
        fromStyle = styleKind(attributeValue(r_));
      } else if (isTagName(name, "t") && !isTagName(attributeValue(r_), "n")) {
        parts_.type = attributeValue(r_);
        typed = true;
      }
    }
  }
  kind = typed ? parseDataKind(parts_.type) : fromStyle;
  isoDate = typed && kind == SheetDataKind::Date;
  return at;
}

void SheetReader::readCellContent(SheetDataKind kind) {
  parts_.v.clear();
  parts_.f.clear();
  parts_.is.clear();
  parts_.hasV = parts_.hasF = parts_.hasIs = false;
  // A c written empty (<c .../>) gets its end event next.
  for (nextXmlEvent(r_); r_.kind != xmlEof && !isEndTag(r_, names_.c); nextXmlEvent(r_)) {
    if (isStartTag(r_, names_.v)) {
      skipAttributes(r_);
      parts_.hasV = true;
      appendElementText(r_, names_.v, parts_.v);
    } else if (isStartTag(r_, names_.f)) {
      skipAttributes(r_);
      parts_.hasF = true;
      if (kind == SheetDataKind::Formula) {
        appendElementText(r_, names_.f, parts_.f);
      } else {
        skipElement(r_, names_.f);
      }
    } else if (isStartTag(r_, names_.is)) {
      skipAttributes(r_);
      parts_.hasIs = true;
      appendItemText(r_, names_.is, names_.t, names_.rPh, parts_.is);
    }
  }
}

void SheetReader::readCell() {
  SheetDataKind kind = SheetDataKind::Initial;
  bool isoDate = false;
  const CellRef at = readCellAttributes(kind, isoDate);
  readCellContent(kind);
  storeCell(at, kind, isoDate);

  previous_ = lastCell_ = at;
  currentRow_ = at.row;
  if (!anyCell_) {
    boxFirst_ = boxLast_ = at;
    anyCell_ = true;
  }
  boxFirst_ = {std::min(boxFirst_.row, at.row), std::min(boxFirst_.col, at.col)};
  boxLast_ = {std::max(boxLast_.row, at.row), std::max(boxLast_.col, at.col)};
}

void SheetReader::storeCell(CellRef at, SheetDataKind kind, bool isoDate) {
  switch (kind) {
    case SheetDataKind::Error:
      cells_.add(at.row, at.col, kind, {});
      return;
    case SheetDataKind::InlineStr:
      if (parts_.hasIs) cells_.add(at.row, at.col, kind, parts_.is);
      else if (parts_.hasV) cells_.add(at.row, at.col, kind, parts_.v);
      return;
    case SheetDataKind::Formula:
      // The cached result is the value, whatever form the formula takes.
      if (parts_.hasV || parts_.hasF) cells_.add(at.row, at.col, kind, parts_.v);
      return;
    default:
      break;
  }
  if (!parts_.hasV) return;
  switch (kind) {
    case SheetDataKind::Date:
      if (isoDate) {
        cells_.add(at.row, at.col, kind, parts_.v);
      } else {
        formatSerialDate(parts_.v, date1904_, offsets_, text_);
        cells_.add(at.row, at.col, kind, text_);
      }
      return;
    case SheetDataKind::Time:
      formatSerialTime(parts_.v, text_);
      cells_.add(at.row, at.col, kind, text_);
      return;
    case SheetDataKind::Boolean:
    case SheetDataKind::SharedString:
      cells_.add(at.row, at.col, kind, parts_.v);
      return;
    default:  // Num, and Initial (no type, or a percentage style), read as a number
      cells_.add(at.row, at.col, SheetDataKind::Num, parts_.v);
      return;
  }
}

SheetCells SheetReader::read(bool trimTrailing) {
  while (r_.kind != xmlEof) {
    if (isStartTag(r_, names_.dimension)) {
      readDimension();
    } else if (isStartTag(r_, names_.sheetData)) {
      readSheetData();
      break;  // nothing after the cells matters
    }
    nextXmlEvent(r_);
  }

  SheetCells result;
  result.date1904 = date1904_;
  CellRef first = boxFirst_, last = boxLast_;
  if (hasDimension_ && (anyCell_ || !singleDimension_)) {
    if (!anyCell_) first = dimFirst_, last = dimLast_;
    first = {std::min(first.row, dimFirst_.row), std::min(first.col, dimFirst_.col)};
    last = {std::max(last.row, dimLast_.row), std::max(last.col, dimLast_.col)};
  } else if (!anyCell_) {
    return result;  // an empty sheet: 0 x 0
  }
  result.rows = checkedAdd(checkedSub(last.row, first.row), 1);
  result.cols = checkedAdd(checkedSub(last.col, first.col), 1);
  checkedMul(result.rows, result.cols);
  result.startRef = columnLetters(first.col) + std::to_string(first.row);
  cells_.shift(-first.row, -first.col);
  if (trimTrailing) {
    // cols is at least 1 here: an empty sheet returned 0 x 0 above.
    const int64_t length = anyCell_ ? int64_t{lastCell_.row - first.row} * result.cols +
                                          (lastCell_.col - first.col) + 1
                                    : 1;
    result.rows = static_cast<int32_t>(length / result.cols);
  }
  result.cells = std::move(cells_);
  return result;
}

}  // namespace

SheetCells parseSheet(const std::string& path, const std::vector<std::string>& styles,
                      bool date1904, bool trimTrailing) {
  PartInput input{path};
  std::error_code error;
  const uintmax_t partBytes = std::filesystem::file_size(pathFromUtf8(path), error);
  if (!error) input.sizeHint = static_cast<int64_t>(partBytes);
  return parseSheet(std::move(input), styles, date1904, trimTrailing);
}

SheetCells parseSheet(PartInput input, const std::vector<std::string>& styles, bool date1904,
                      bool trimTrailing) {
  const int64_t sizeHint = input.sizeHint;
  XmlReader r;
  openPart(r, std::move(input), reportWhitespace);
  const std::string prefix = rootPrefix(r);
  SheetReader reader(r, prefix, styles, date1904);
  if (sizeHint >= 0) reader.reserveFor(static_cast<uintmax_t>(sizeHint));
  SheetCells cells = reader.read(trimTrailing);
  closeXmlReader(r);
  return cells;
}

}  // namespace tabulon
