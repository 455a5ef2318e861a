#include "workbook/sharedstrings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace tabulon {
namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const std::string kSst =
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" ";

std::vector<std::string> read(const std::string& xml, bool quote = false) {
  testutil::ScopedTempDir dir;
  testutil::writeFile(dir / "sharedStrings.xml", xml);
  return parseSharedStrings((dir / "sharedStrings.xml").string(), quote);
}

using List = std::vector<std::string>;

TEST(SharedStrings, Items) {
  struct Case {
    const char* what;
    std::string xml;
    List list;
  } cases[] = {
      {"plain", kDecl + kSst + "count=\"3\" uniqueCount=\"3\"><si><t>Name</t></si><si><t>Age</t>"
                "</si><si><t/></si></sst>",
       {"Name", "Age", ""}},
      {"preserved blanks and line breaks",
       kDecl + kSst + "uniqueCount=\"1\"><si><t xml:space=\"preserve\">  x\r\n y </t></si></sst>",
       {"  x\n y "}},
      {"all runs joined",
       kDecl + kSst + "uniqueCount=\"1\"><si><r><rPr><b/><sz val=\"11\"/></rPr><t>Bold</t></r>"
                      "<r><t xml:space=\"preserve\"> normal</t></r></si></sst>",
       {"Bold normal"}},
      {"direct text then runs",
       kDecl + kSst + "uniqueCount=\"1\"><si><t>a</t><r><t>b</t></r></si></sst>", {"ab"}},
      {"phonetic runs left out",
       kDecl + kSst + "uniqueCount=\"2\"><si><t>\xE6\xBC\xA2</t><rPh sb=\"0\" eb=\"1\"><t>kan</t>"
                      "</rPh><phoneticPr fontId=\"1\"/></si><si><t>next</t></si></sst>",
       {"\xE6\xBC\xA2", "next"}},
      {"item without text keeps its place",
       kDecl + kSst + "uniqueCount=\"4\"><si><t>a</t></si><si/><si><r><rPr/></r></si>"
                      "<si><t>d</t></si></sst>",
       {"a", "", "", "d"}},
      {"more items than uniqueCount", kDecl + kSst +
           "uniqueCount=\"2\"><si><t>a</t></si><si><t>b</t></si><si><t>c</t></si></sst>",
       {"a", "b", "c"}},
      {"fewer items than uniqueCount",
       kDecl + kSst + "uniqueCount=\"5\"><si><t>a</t></si></sst>", {"a"}},
      {"bad uniqueCount is only a hint",
       kDecl + kSst + "uniqueCount=\"many\"><si><t>a</t></si></sst>", {"a"}},
      {"sst without attributes", kDecl + "<sst><si><t>a</t></si></sst>", {"a"}},
      {"references", kDecl + "<sst><si><t>a&amp;b &#65;&#x20AC;</t></si></sst>",
       {"a&b A\xE2\x82\xAC"}},
      {"unresolved reference loses nothing",
       kDecl + "<sst><si><t>a &nbsp; b</t></si><si><t>c</t></si></sst>", {"a &nbsp; b", "c"}},
      {"CDATA is text", kDecl + "<sst><si><t>x<![CDATA[<1>]]>y</t></si></sst>", {"x<1>y"}},
      {"prefixed part",
       kDecl + "<x:sst xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
               "uniqueCount=\"2\"><x:si><x:t>a</x:t></x:si><x:si><x:r><x:t>b</x:t></x:r>"
               "<x:r><x:t>c</x:t></x:r></x:si></x:sst>",
       {"a", "bc"}},
      {"empty sst", kDecl + kSst + "count=\"0\" uniqueCount=\"0\"/>", {}},
      {"document ends inside an item", kDecl + "<sst><si><t>a</t></si><si><r>", {"a", ""}},
      {"empty part", "", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.list, read(c.xml)) << c.what;
  }
}

TEST(SharedStrings, Quoted) {
  EXPECT_EQ((List{"\"a\\\"b\"", "\"\""}),
            read("<sst><si><t>a\"b</t></si><si><t></t></si></sst>", true));
}

TEST(SharedStrings, UnreadablePart) {
  testutil::ScopedTempDir dir;
  const std::string path = (dir / "missing.xml").string();
  EXPECT_ERROR(parseSharedStrings(path, false), "IOError", "Unable to read file: " + path);
}

TEST(EscapeText, Bytes) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"abc", "\"abc\""},
      {"", "\"\""},
      {"a\nb", "\"a\\x0Ab\""},
      {"\t\x1F\x7F", "\"\\x09\\x1F\\x7F\""},
      {"\xC3\xA9", "\"\\xC3\\xA9\""},
      {"\"'\\", "\"\\\"\\'\\\\\""},
      {" ~", "\" ~\""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, escapeText(c.in)) << c.in;
}

}  // namespace
}  // namespace tabulon
