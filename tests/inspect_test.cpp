// End to end through the real tabulon-inspect binary: the event lines it
// prints for the reader's documented event sequences, and its error exit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

struct Outcome {
  int status;
  std::string out, err;
};

// Runs tabulon-inspect with args (each shell-quoted) on input, written to a
// temporary file passed as the last argument.
Outcome inspect(const std::vector<std::string>& args, const std::string& input, bool createInput = true) {
  testutil::ScopedTempDir dir;
  std::filesystem::path in = dir / "input.txt";
  if (createInput) testutil::writeFile(in, input);
  std::string cmd = "\"" + (testutil::binaryDir() / "tabulon-inspect").string() + "\"";
  for (const std::string& a : args) cmd += " " + a;
  cmd += " \"" + in.string() + "\" >\"" + (dir / "out").string() + "\" 2>\"" + (dir / "err").string() + "\"";
  Outcome r;
  r.status = std::system(cmd.c_str());
  r.out = testutil::readFile(dir / "out");
  r.err = testutil::readFile(dir / "err");
  // The input's path varies per run; tests compare messages without it.
  for (std::string* s : {&r.out, &r.err}) {
    for (size_t at; (at = s->find(in.string())) != std::string::npos;) s->replace(at, in.string().size(), "IN");
  }
  return r;
}

TEST(InspectXml, PrintsTheDocumentedEventSequences) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string expected;
  } cases[] = {
      {{}, R"(<a x="1">text</a>)",
       "xmlElementOpen\ta\nxmlAttribute\tx\t1\nxmlElementClose\nxmlCharData\ttext\nxmlElementEnd\ta\nxmlEof\n"},
      {{}, "<a/>", "xmlElementStart\ta\nxmlElementEnd\ta\nxmlEof\n"},
      {{}, R"(<a x="1"/>)", "xmlElementOpen\ta\nxmlAttribute\tx\t1\nxmlElementClose\nxmlElementEnd\ta\nxmlEof\n"},
      {{}, "<a></a>", "xmlElementStart\ta\nxmlElementEnd\ta\nxmlEof\n"},
      {{}, "<a> b</a>", "xmlElementStart\ta\nxmlCharData\tb\nxmlElementEnd\ta\nxmlEof\n"},
      {{"--whitespace"}, "<a> b</a>",
       "xmlElementStart\ta\nxmlWhitespace\t \nxmlCharData\tb\nxmlElementEnd\ta\nxmlEof\n"},
      {{}, "<a>b c</a>", "xmlElementStart\ta\nxmlCharData\tb c\nxmlElementEnd\ta\nxmlEof\n"},
      {{}, "<a>x &amp; y</a>",
       "xmlElementStart\ta\nxmlCharData\tx \nxmlCharData\t&\nxmlWhitespace\t \nxmlCharData\ty\n"
       "xmlElementEnd\ta\nxmlEof\n"},
      {{}, "<a><![CDATA[1<2]]></a>", "xmlElementStart\ta\nxmlCData\t1<2\nxmlElementEnd\ta\nxmlEof\n"},
      {{}, R"(<a x="p  q "/>)", "xmlElementOpen\ta\nxmlAttribute\tx\tp q\nxmlElementClose\nxmlElementEnd\ta\nxmlEof\n"},
      {{}, "<?xml version=\"1.0\"?>\n<a/>", "xmlElementStart\ta\nxmlElementEnd\ta\nxmlEof\n"},
      {{"--whitespace"}, "<?xml version=\"1.0\"?>\n<a/>",
       "xmlWhitespace\t\\n\nxmlElementStart\ta\nxmlElementEnd\ta\nxmlEof\n"},
      // The other options, escaped fields, and error events.
      {{"--comments"}, "<!--\tc\\d-->&e;<?p x?>", "xmlComment\t\\tc\\\\d\nxmlEntity\te\nxmlPI\tp\t x\nxmlEof\n"},
      {{"--unquoted", "--empty-attribs"}, "<a x=1 y>", "xmlElementOpen\ta\nxmlAttribute\tx\t1\n"
                                                        "xmlAttribute\ty\t\nxmlElementClose\nxmlEof\n"},
      {{}, "&#X41;<!DOCTYPE d>\x7F", "xmlCharData\t\\x00\nxmlCharData\tX41;\nxmlSpecial\tDOCTYPE d\n"
                                     "xmlCharData\t\\x7F\nxmlEof\n"},
      {{}, "a & b", "xmlCharData\ta \nxmlCharData\t&\nxmlError\terrSemicolonExpected\nxmlWhitespace\t \n"
                    "xmlCharData\tb\nxmlEof\n"},
      {{}, "<!-- open", "xmlEof\nxmlError\terrEndOfCommentExpected\nxmlEof\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    std::vector<std::string> args = {"xml"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Outcome r = inspect(args, c.input);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(c.expected, r.out);
    EXPECT_EQ("", r.err);
  }
}

TEST(InspectConfig, PrintsEventsAndTables) {
  const std::string text = "w=10\n[s]\n--v\nk: \"a\\tb\"\ndir=C:\\x\n";
  Outcome events = inspect({"config"}, text);
  EXPECT_EQ(0, events.status);
  EXPECT_EQ("cfgKeyValuePair\tw\t10\ncfgSectionStart\ts\ncfgOption\tv\t\ncfgKeyValuePair\tk\ta\\tb\n"
            "cfgKeyValuePair\tdir\tC\ncfgError\tIN(5, 6) Error: invalid token: :\n",
            events.out);
  Outcome table = inspect({"config", "--table"}, text);
  EXPECT_EQ(0, table.status);
  EXPECT_EQ("\tw\t10\ns\t--v\t\ns\tk\ta\\tb\ns\tdir\tC\n", table.out);
  EXPECT_EQ("cfgEof\n", inspect({"config"}, "# nothing\n").out);
}

TEST(Inspect, MissingFileIsAnIOError) {
  for (const char* sub : {"xml", "config"}) {
    Outcome r = inspect({sub}, "", false);
    EXPECT_NE(0, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("Error: cannot open: IN [IOError]\n", r.err);
  }
  Outcome table = inspect({"config", "--table"}, "", false);
  EXPECT_EQ("Error: cannot open: IN [IOError]\n", table.err);
}

}  // namespace
