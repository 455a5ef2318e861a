#include "workbook/styles.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "textformats/numbers.h"
#include "textformats/xmlreader.h"
#include "workbook/partreader.h"

namespace tabulon {

namespace {

using TextPair = std::pair<std::string_view, std::string_view>;

constexpr TextPair kBuiltinFormats[] = {
    {"0", "general"},      {"1", "0"},
    {"2", "0.00"},         {"3", "#,##0"},
    {"4", "#,##0.00"},     {"9", "0%"},
    {"10", "0.00%"},       {"11", "0.00e+00"},
    {"12", "# ?/?"},       {"13", "# ?\?/?\?"},
    {"14", "mm-dd-yy"},    {"15", "d-mmm-yy"},
    {"16", "d-mmm"},       {"17", "mmm-yy"},
    {"18", "h:mm am/pm"},  {"19", "h:mm:ss am/pm"},
    {"20", "h:mm"},        {"21", "h:mm:ss"},
    {"22", "m/d/yy h:mm"}, {"37", "#,##0 ;(#,##0)"},
    {"38", "#,##0 ;[red](#,##0)"}, {"39", "#,##0.00;(#,##0.00)"},
    {"40", "#,##0.00;[red](#,##0.00)"}, {"45", "mm:ss"},
    {"46", "[h]:mm:ss"},   {"47", "mmss.0"},
    {"48", "##0.0e+0"},    {"49", "@"},
};

constexpr TextPair kFormatClasses[] = {
    {"general", "float"},
    {"0", "float"},
    {"0.00", "float"},
    {"#,##0", "float"},
    {"#,##0.00", "float"},
    {"#,##0;(#,##0)", "float"},
    {"#,##0 ;(#,##0)", "float"},
    {"#,##0 ;[red](#,##0)", "float"},
    {"#,##0.00;(#,##0.00)", "float"},
    {"#,##0.00;[red](#,##0.00)", "float"},
    {"0.00e+00", "float"},
    {"##0.0e+0", "float"},
    {"@", "float"},
    {"_(* #,##0_);_(* (#,##0);_(* \"-\"??_);_(@_)", "float"},
    {"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)", "float"},
    {"mm-dd-yy", "date"},
    {"m/d/yy", "date"},
    {"m/d/yyyy", "date"},
    {"dd/mm/yy", "date"},
    {"dd/mm/yyyy", "date"},
    {"yy-mm-dd", "date"},
    {"yyyy\\-mm\\-dd", "date"},
    {"d-mmm", "date"},
    {"d-mmm-yy", "date"},
    {"d-mmm-yyyy", "date"},
    {"dd-mmm-yyyy", "date"},
    {"mmm-yy", "date"},
    {"m/d/yy h:mm", "date"},
    {"mm/dd/yy hh:mm", "date"},
    {"mm/dd/yy h:mm am/pm", "date"},
    {"mm/dd/yyyy h:mm am/pm", "date"},
    {"mm/dd/yyyy hh:mm:ss", "date"},
    {"dd/mm/yy\\ hh:mm", "date"},
    {"dd/mm/yyyy hh:mm:ss", "date"},
    {"yyyy-mm-dd hh:mm:ss", "date"},
    {"h:mm am/pm", "date"},
    {"h:mm:ss am/pm", "date"},
    {"h:mm", "time"},
    {"hh:mm:ss", "time"},
    {"h:mm:ss", "time"},
    {"mm:ss", "time"},
    {"[h]:mm:ss", "time"},
    {"mmss.0", "time"},
    {"0%", "percentage"},
    {"0.00%", "percentage"},
};

std::string_view lookup(const TextPair* begin, const TextPair* end, std::string_view key) {
  const TextPair* found =
      std::find_if(begin, end, [&](const TextPair& p) { return p.first == key; });
  return found == end ? std::string_view() : found->second;
}

// Built-in ids that the built-in table lacks: the currency and accounting
// formats, and the East-Asian dates and times, whose codes depend on the
// language. The style list gets a code of the same class for them, so that
// their cells are read the way the id means.
std::string_view standInCode(std::string_view id) {
  int32_t n = 0;
  if (!tryParseInt32(id, n)) return "none";
  switch (n) {
    case 5: return "\"$\"#,##0_);(\"$\"#,##0)";
    case 6: return "\"$\"#,##0_);[red](\"$\"#,##0)";
    case 7: return "\"$\"#,##0.00_);(\"$\"#,##0.00)";
    case 8: return "\"$\"#,##0.00_);[red](\"$\"#,##0.00)";
    case 41: return "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)";
    case 42: return "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)";
    case 43: return "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)";
    case 44: return "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)";
    case 27: case 28: case 29: case 30: case 31: case 36:
    case 50: case 51: case 54: case 57: case 58:
      return "yyyy/m/d";
    case 32: case 33: case 34: case 35: case 52: case 53: case 55: case 56:
      return "h:mm:ss";
    default:
      return "none";
  }
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// One date or time token of a format code, for the content classification.
enum class Token : uint8_t { date, hour, minuteOrMonth, second, elapsedHour,
                             elapsedMinute, elapsedSecond, amPm };

bool allOf(std::string_view text, char c) {
  return !text.empty() && text.find_first_not_of(c) == std::string_view::npos;
}

std::vector<Token> dateTimeTokens(std::string_view code) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < code.size()) {
    const char c = code[i];
    if (c == '"') {
      size_t close = code.find('"', i + 1);
      i = close == std::string_view::npos ? code.size() : close + 1;
    } else if (c == '\\' || c == '_' || c == '*') {
      i += 2;  // an escaped character, or the filler character after _ or *
    } else if (c == '[') {
      size_t close = code.find(']', i + 1);
      std::string_view inside =
          code.substr(i + 1, close == std::string_view::npos ? std::string_view::npos
                                                               : close - i - 1);
      if (allOf(inside, 'h')) tokens.push_back(Token::elapsedHour);
      if (allOf(inside, 'm')) tokens.push_back(Token::elapsedMinute);
      if (allOf(inside, 's')) tokens.push_back(Token::elapsedSecond);
      i = close == std::string_view::npos ? code.size() : close + 1;
    } else if (code.substr(i, 7) == "general") {
      i += 7;
    } else if (code.substr(i, 5) == "am/pm") {
      tokens.push_back(Token::amPm);
      i += 5;
    } else if (code.substr(i, 3) == "a/p") {
      tokens.push_back(Token::amPm);
      i += 3;
    } else if (c == 'e' && i + 1 < code.size() && (code[i + 1] == '+' || code[i + 1] == '-')) {
      i += 2;  // the exponent of scientific notation
    } else if (c == 'y' || c == 'd' || c == 'e' || c == 'g' || c == 'm' || c == 'h' || c == 's') {
      size_t end = code.find_first_not_of(c, i);
      if (end == std::string_view::npos) end = code.size();
      tokens.push_back(c == 'm' ? Token::minuteOrMonth
                       : c == 'h' ? Token::hour
                       : c == 's' ? Token::second
                                  : Token::date);
      i = end;
    } else {
      ++i;
    }
  }
  return tokens;
}

std::string_view classifyByContent(std::string_view code) {
  const std::vector<Token> tokens = dateTimeTokens(code);
  bool date = false, time = false;
  for (size_t k = 0; k < tokens.size(); ++k) {
    switch (tokens[k]) {
      case Token::date:
        date = true;
        break;
      case Token::minuteOrMonth: {
        const bool afterHour = k > 0 && (tokens[k - 1] == Token::hour ||
                                         tokens[k - 1] == Token::elapsedHour);
        const bool beforeSecond = k + 1 < tokens.size() && (tokens[k + 1] == Token::second ||
                                                            tokens[k + 1] == Token::elapsedSecond);
        (afterHour || beforeSecond ? time : date) = true;
        break;
      }
      default:
        time = true;
        break;
    }
  }
  return date ? "date" : time ? "time" : "float";
}

void readNumFmt(XmlReader& r, std::unordered_map<std::string, std::string>& customs) {
  std::string id, code;
  if (r.kind == xmlElementOpen) {
    for (nextXmlEvent(r); r.kind == xmlAttribute; nextXmlEvent(r)) {
      if (attributeName(r) == "numFmtId") id = attributeValue(r);
      if (attributeName(r) == "formatCode") code = lowerAscii(attributeValue(r));
    }
  }
  customs[id] = std::move(code);
}

std::string xfFormatId(XmlReader& r) {
  std::string id = "0";
  if (r.kind != xmlElementOpen) return id;
  for (nextXmlEvent(r); r.kind == xmlAttribute; nextXmlEvent(r)) {
    if (attributeName(r) == "numFmtId") id = attributeValue(r);
  }
  return id;
}

std::string formatCodeOf(const std::string& id,
                         const std::unordered_map<std::string, std::string>& customs) {
  if (auto it = customs.find(id); it != customs.end()) return it->second;
  std::string_view builtin = builtinFormatCode(id);
  return std::string(builtin.empty() ? standInCode(id) : builtin);
}

}  // namespace

std::string_view builtinFormatCode(std::string_view id) {
  return lookup(std::begin(kBuiltinFormats), std::end(kBuiltinFormats), id);
}

std::string_view formatClass(std::string_view code) {
  std::string_view cls = lookup(std::begin(kFormatClasses), std::end(kFormatClasses), code);
  if (!cls.empty()) return cls;
  if (code == "none") return "float";
  return classifyByContent(code);
}

SheetDataKind kindOfFormatClass(std::string_view cls) {
  if (cls == "float") return SheetDataKind::Num;
  if (cls == "date") return SheetDataKind::Date;
  if (cls == "time") return SheetDataKind::Time;
  return SheetDataKind::Initial;
}

SheetDataKind cellKindOfFormat(std::string_view code) {
  return kindOfFormatClass(formatClass(code));
}

std::vector<std::string> parseStyles(const std::string& path) { return parseStyles(PartInput{path}); }

std::vector<std::string> parseStyles(PartInput input) {
  XmlReader r;
  openPart(r, std::move(input), reportWhitespace);
  const std::string prefix = rootPrefix(r);
  const std::string numFmts = prefix + "numFmts", numFmt = prefix + "numFmt",
                    cellXfs = prefix + "cellXfs", xf = prefix + "xf";
  std::unordered_map<std::string, std::string> customs;
  std::vector<std::string> styles;
  while (r.kind != xmlEof) {
    if (isStartTag(r, numFmts)) {
      customs.clear();
      for (skipAttributes(r); r.kind != xmlEof && !isEndTag(r, numFmts); nextXmlEvent(r)) {
        if (isStartTag(r, numFmt)) readNumFmt(r, customs);
      }
    } else if (isStartTag(r, cellXfs)) {
      for (skipAttributes(r); r.kind != xmlEof && !isEndTag(r, cellXfs); nextXmlEvent(r)) {
        if (isStartTag(r, xf)) styles.push_back(formatCodeOf(xfFormatId(r), customs));
      }
    }
    nextXmlEvent(r);
  }
  closeXmlReader(r);
  return styles;
}

}  // namespace tabulon
