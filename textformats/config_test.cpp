#include "textformats/config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace tabulon {
namespace {

using Lines = std::vector<std::string>;

// "section|key|value" per entry, in table order.
Lines dump(const ConfigTable& t) {
  Lines out;
  for (const auto& [section, entries] : t) {
    for (const auto& [key, value] : entries) out.push_back(section + "|" + key + "|" + value);
  }
  return out;
}

Lines load(const std::string& text) { return dump(loadConfigStream(openStringStream(text), "t.ini")); }

// The parser's events up to the first cfgEof or cfgError.
Lines parse(const std::string& text, int32_t lineOffset = 0) {
  ConfigParser p;
  openConfigParser(p, openStringStream(text), "t.ini", lineOffset);
  Lines out;
  for (;;) {
    CfgEvent e = nextConfigEvent(p);
    switch (e.kind) {
      case cfgEof: out.push_back("eof"); return out;
      case cfgSectionStart: out.push_back("[" + e.section + "]"); break;
      case cfgKeyValuePair: out.push_back(e.key + "=" + e.value); break;
      case cfgOption: out.push_back("--" + e.key + "=" + e.value); break;
      case cfgError: out.push_back(e.msg); return out;
    }
  }
}

TEST(ConfigLoad, Tables) {
  const std::string longValue(10000, 'v');
  struct Case {
    const char* name;
    std::string input;
    Lines expected;
  } cases[] = {
      {"empty", "", {}},
      {"comments and blank lines", "# c\n; d\r\n\n   \t\n", {}},
      {"the cell width", "cell_width_characters=10", {"|cell_width_characters|10"}},
      {"spaces", "cell_width_characters = 10\n", {"|cell_width_characters|10"}},
      {"colon", "cell_width_characters: 10\n", {"|cell_width_characters|10"}},
      {"trailing comments", "a=1 # one\nb=2;two\n", {"|a|1", "|b|2"}},
      {"key alone", "key\nk2=1", {"|key|", "|k2|1"}},
      {"two words", "k=a b\n", {"|k|a", "|b|"}},
      {"quoted words", "k=\"a b\"\n", {"|k|a b"}},
      {"windows path stops loading", "dir=C:\\data\nafter=1\n", {"|dir|C"}},
      {"section", "a=0\n[sec]\nk=1\n", {"|a|0", "sec|k|1"}},
      {"header alone adds nothing", "[empty]\n", {}},
      {"sections gather entries", "[s]\na=1\n[t]\nb=2\n[s]\nc=3\n", {"s|a|1", "s|c|3", "t|b|2"}},
      {"case-sensitive keys", "Key=1\nkey=2\n", {"|Key|1", "|key|2"}},
      {"last value wins, first position stays", "a=1\nb=2\na=3\n", {"|a|3", "|b|2"}},
      {"byte-order mark", "\xEF\xBB\xBFk=v", {"|k|v"}},
      {"options", "--verbose\n--width:5\n[s]\n--x=y", {"|--verbose|", "|--width|5", "s|--x|y"}},
      {"symbol bytes", "k=-a.b/c\\d_\xC3\xA9", {"|k|-a.b/c\\d_\xC3\xA9"}},
      {"any byte starts a symbol", "k=)x", {"|k|)x"}},
      {"escapes", "k=\"a\\tb\\65\\x41\\x4g\\xZ\\q\"", {}},
      {"escape table",
       "k=\"\\n\\N\\r\\R\\c\\C\\l\\L\\f\\F\\e\\E\\a\\A\\b\\B\\v\\V\\t\\T\\'\\\"\\\\\\x41\\x4g\\x\\7\\255\"",
       {std::string("|k|\n\n\r\r\r\r\n\n\f\f\x1B\x1B\a\a\b\b\v\v\t\t'\"\\A\x04g") + '\0' + "\x07\xFF"}},
      {"tab, then A", "k=\"a\\tb\\65\"", {"|k|a\tbA"}},
      {"escaped byte too large", "a=1\nk=\"\\300\"\nb=2", {"|a|1"}},
      {"raw string", "k=r\"C:\\dir\"\nj=R\"\\t\"", {"|k|C:\\dir", "|j|\\t"}},
      {"long string", "k=\"\"\"\r\nx\ry\r\nz\"q\"\"\"\"\n", {"|k|x\ny\nz\"q"}},
      {"unterminated long string", "a=1\nk=\"\"\"abc", {"|a|1"}},
      {"unterminated string", "a=1\nk=\"abc\nb=2", {"|a|1"}},
      {"zero byte ends input", std::string("a=1\nb=2\0c=3", 11), {"|a|1", "|b|2"}},
      {"line longer than the window", "k=" + longValue + "\nj=1", {"|k|" + longValue, "|j|1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, load(c.input));
  }
}

TEST(ConfigParse, EventsAndPositionedErrors) {
  struct Case {
    std::string input;
    Lines expected;
  } cases[] = {
      {"a=1\n[s]\n--o\nk", {"a=1", "[s]", "--o=", "k=", "eof"}},
      {"dir=C:\\data", {"dir=C", "t.ini(1, 6) Error: invalid token: :"}},
      {"[sec", {"t.ini(1, 4) Error: ']' expected, but found: [EOF]"}},
      {"[sec x]", {"t.ini(1, 6) Error: ']' expected, but found: x"}},
      {"[=]", {"t.ini(1, 2) Error: symbol expected, but found: ="}},
      {"--\n", {"t.ini(2, 0) Error: symbol expected, but found: [EOF]"}},
      {"k=\n", {"t.ini(2, 0) Error: symbol expected, but found: [EOF]"}},
      {"k=\"abc\nx", {"t.ini(1, 6) Error: symbol expected, but found: abc"}},
      {"]", {"t.ini(1, 1) Error: invalid token: ]"}},
      {"a=1\r\nb=2\rc=3\n=", {"a=1", "b=2", "c=3", "t.ini(4, 1) Error: invalid token: ="}},
      {"\xEF\xBB\xBF=", {"t.ini(1, 1) Error: invalid token: ="}},
      {"k=\"\"\"a\nb\n", {"t.ini(3, 0) Error: symbol expected, but found: a\nb\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    EXPECT_EQ(c.expected, parse(c.input));
  }
  EXPECT_EQ((Lines{"t.ini(12, 1) Error: invalid token: ="}), parse("\n=", 10));
}

TEST(ConfigParse, EofRepeats) {
  ConfigParser p;
  openConfigParser(p, openStringStream("k=v"), "t.ini", 0);
  EXPECT_EQ(cfgKeyValuePair, nextConfigEvent(p).kind);
  EXPECT_EQ(cfgEof, nextConfigEvent(p).kind);
  EXPECT_EQ(cfgEof, nextConfigEvent(p).kind);
  closeConfigParser(p);
  closeConfigParser(p);
}

TEST(ConfigLoad, FilesAndLookups) {
  testutil::ScopedTempDir dir;
  std::string missing = (dir / "none.txt").string();
  EXPECT_ERROR(loadConfigFile(missing), "IOError", "cannot open: " + missing);

  testutil::writeFile(dir / "c.txt", "cell_width_characters=12\r\n[s]\r\nk=v\r\n");
  ConfigTable t = loadConfigFile((dir / "c.txt").string());
  EXPECT_EQ("12", sectionValue(t, "", "cell_width_characters"));
  EXPECT_EQ("v", sectionValue(t, "s", "k"));
  EXPECT_EQ("", sectionValue(t, "", "k"));
  EXPECT_EQ("", sectionValue(t, "nope", "k"));
  EXPECT_EQ("", sectionValue(t, "s", "K"));
  EXPECT_EQ("v", t.at("s").at("k"));
  EXPECT_ERROR(t.at("nope"), "KeyError", "key not found: nope");
}

}  // namespace
}  // namespace tabulon
