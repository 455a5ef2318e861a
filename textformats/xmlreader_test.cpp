#include "textformats/xmlreader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "testutil.h"

namespace tabulon {
namespace {

using Events = std::vector<std::string>;

// One compact line per event: "Open a", "Attr x=1", "Text b c", "Error errGtExpected".
std::string describe(const XmlReader& r) {
  switch (r.kind) {
    case xmlError: return std::string("Error ") + errorCodeName(r.err);
    case xmlEof: return "Eof";
    case xmlCharData: return "Text " + r.a;
    case xmlWhitespace: return "Ws " + r.a;
    case xmlComment: return "Comment " + r.a;
    case xmlPI: return "PI " + r.a + "|" + r.b;
    case xmlElementStart: return "Start " + r.a;
    case xmlElementEnd: return "End " + r.a;
    case xmlElementOpen: return "Open " + r.a;
    case xmlAttribute: return "Attr " + r.a + "=" + r.b;
    case xmlElementClose: return "Close";
    case xmlCData: return "CData " + r.a;
    case xmlEntity: return "Entity " + r.a;
    case xmlSpecial: return "Special " + r.a;
  }
  return "?";
}

// Every event up to the first xmlEof that follows an xmlEof (not included).
Events events(const std::string& input, XmlReaderOptions options = 0) {
  XmlReader r;
  openXmlReader(r, openStringStream(input), "test.xml", options);
  Events out;
  bool previousWasEof = false;
  for (int guard = 0; guard < 100000; ++guard) {
    nextXmlEvent(r);
    if (r.kind == xmlEof && previousWasEof) return out;
    out.push_back(describe(r));
    previousWasEof = r.kind == xmlEof;
  }
  ADD_FAILURE() << "no end of input";
  return out;
}

struct Case {
  const char* name;
  std::string input;
  XmlReaderOptions options;
  Events expected;
};

const std::string kZero(1, '\0');

const Case kCases[] = {
    // The sequences the workbook readers rely on.
    {"attributes", R"(<a x="1">text</a>)", 0, {"Open a", "Attr x=1", "Close", "Text text", "End a", "Eof"}},
    {"empty element", "<a/>", 0, {"Start a", "End a", "Eof"}},
    {"empty element with attributes", R"(<a x="1"/>)", 0, {"Open a", "Attr x=1", "Close", "End a", "Eof"}},
    {"no empty text", "<a></a>", 0, {"Start a", "End a", "Eof"}},
    {"leading space dropped", "<a> b</a>", 0, {"Start a", "Text b", "End a", "Eof"}},
    {"leading space reported", "<a> b</a>", reportWhitespace, {"Start a", "Ws  ", "Text b", "End a", "Eof"}},
    {"inner space kept", "<a>b c</a>", 0, {"Start a", "Text b c", "End a", "Eof"}},
    {"reference splits text", "<a>x &amp; y</a>", 0,
     {"Start a", "Text x ", "Text &", "Ws  ", "Text y", "End a", "Eof"}},
    {"cdata", "<a><![CDATA[1<2]]></a>", 0, {"Start a", "CData 1<2", "End a", "Eof"}},
    {"attribute whitespace", R"(<a x="p  q "/>)", 0, {"Open a", "Attr x=p q", "Close", "End a", "Eof"}},
    {"declaration dropped", "<?xml version=\"1.0\"?>\n<a/>", 0, {"Start a", "End a", "Eof"}},
    {"declaration then whitespace", "<?xml version=\"1.0\"?>\n<a/>", reportWhitespace,
     {"Ws \n", "Start a", "End a", "Eof"}},
    // Input edges.
    {"empty input", "", 0, {"Eof"}},
    {"byte-order mark", "\xEF\xBB\xBF<a/>", 0, {"Start a", "End a", "Eof"}},
    {"line breaks become LF", "<a>x\r\ny\rz\n</a>", 0, {"Start a", "Text x\ny\nz\n", "End a", "Eof"}},
    {"whitespace line breaks", "<a>\r\n\t\r</a>", reportWhitespace, {"Start a", "Ws \n\t\n", "End a", "Eof"}},
    {"zero byte ends input", "<a>x" + kZero + "y</a>", 0, {"Start a", "Text x", "Eof"}},
    {"slashes in text", "<a>1/2//3</a>", 0, {"Start a", "Text 1/2//3", "End a", "Eof"}},
    {"whitespace inside tags", "<a\r\n x\n=\t'1' ></a\n>", 0, {"Open a", "Attr x=1", "Close", "End a", "Eof"}},
    {"prefixed names", "<x:a x:b='1'/>", 0, {"Open x:a", "Attr x:b=1", "Close", "End x:a", "Eof"}},
    {"two attributes without space", R"(<a x="1"y='2'/>)", 0,
     {"Open a", "Attr x=1", "Attr y=2", "Close", "End a", "Eof"}},
    {"quote characters in values", R"(<a x="it's" y='"q"'/>)", 0,
     {"Open a", "Attr x=it's", "Attr y=\"q\"", "Close", "End a", "Eof"}},
    {"value whitespace", "<a x=\" p\r\n\tq\n\"/>", 0, {"Open a", "Attr x= p q", "Close", "End a", "Eof"}},
    {"slash in value", R"(<a x="1/2"/>)", 0, {"Open a", "Attr x=1/2", "Close", "End a", "Eof"}},
    {"references in values", R"(<a x="&lt;&#65;&q; &gt;&quot;&apos;&amp;"/>)", 0,
     {"Open a", "Attr x=<Aq >\"'&", "Close", "End a", "Eof"}},
    {"unclosed reference in value", R"(<a x="a&b c"/>)", 0, {"Open a", "Attr x=a&b c", "Close", "End a", "Eof"}},
    {"comment skipped", "a<!-- c -->  b", 0, {"Text a", "Ws   ", "Text b", "Eof"}},
    {"comment reported", "a<!-- c\r\n/ -->b", reportComments, {"Text a", "Comment  c\n/ ", "Text b", "Eof"}},
    {"whitespace after tag dropped", "<a>\n<b/></a>", 0, {"Start a", "Start b", "End b", "End a", "Eof"}},
    {"whitespace after entity kept", "&e; x", 0, {"Entity e", "Ws  ", "Text x", "Eof"}},
    {"whitespace after cdata dropped", "<![CDATA[c]]> x", 0, {"CData c", "Text x", "Eof"}},
    {"cdata brackets", "<![CDATA[a]b]]]>", 0, {"CData a]b]", "Eof"}},
    {"processing instruction", "<a/><?xml-stylesheet a/b?c ?>", 0,
     {"Start a", "End a", "PI xml-stylesheet| a/b?c ", "Eof"}},
    {"late xml declaration", " <?xml v?>", reportWhitespace, {"Ws  ", "PI xml| v", "Eof"}},
    {"markup declaration", "<!DOCTYPE a [<!ENTITY b \"c/d\">]><a/>", 0,
     {"Special DOCTYPE a [<!ENTITY b \"c/d\">]", "Start a", "End a", "Eof"}},
    {"non-comment dash declaration", "<!-x>", 0, {"Special -x", "Eof"}},
    // References in content.
    {"entity reference", "<a>&nbsp;</a>", 0, {"Start a", "Entity nbsp", "End a", "Eof"}},
    {"predefined need semicolons", "&lt &ltx;", 0, {"Text &lt", "Ws  ", "Entity ltx", "Eof"}},
    {"decimal and hex", "&#65;&#x41;&#x20AC;", 0, {"Text A", "Text A", "Text \xE2\x82\xAC", "Eof"}},
    {"capital X", "&#X41;", 0, {"Text " + kZero, "Text X41;", "Eof"}},
    {"two-byte and four-byte", "&#233;&#x1F600;", 0, {"Text \xC3\xA9", "Text \xF0\x9F\x98\x80", "Eof"}},
    {"five-byte forms", "&#x200000;&#x3FFFFFF;", 0,
     {"Text \xF8\x88\x80\x80\x80", "Text \xFB\xBF\xBF\xBF\xBF", "Eof"}},
    {"six-byte forms", "&#x4000000;&#2147483647;", 0,
     {"Text \xFC\x84\x80\x80\x80\x80", "Text \xFD\xBF\xBF\xBF\xBF\xBF", "Eof"}},
    {"negative or too large adds nothing", "&#x80000000;&#2147483648;&#99999999999;", 0,
     {"Text ", "Text ", "Text ", "Eof"}},
    {"hex wraps at 32 bits", "&#x100000041;", 0, {"Text A", "Eof"}},
    {"no digits", "&#;&#x;", 0, {"Text " + kZero, "Text " + kZero, "Eof"}},
    // Errors and recovery.
    {"bare ampersand", "a & b", 0, {"Text a ", "Text &", "Error errSemicolonExpected", "Ws  ", "Text b", "Eof"}},
    {"ampersand semicolon", "&;x", 0, {"Text &", "Error errNameExpected", "Text x", "Eof"}},
    {"missing semicolon is silent", "&#65 x", 0, {"Text A", "Ws  ", "Text x", "Eof"}},
    {"less-than digit", "<1>", 0, {"Text <", "Error errNameExpected", "Text 1>", "Eof"}},
    {"end tag without name", "</>x", 0, {"End ", "Error errNameExpected", "Text x", "Eof"}},
    {"end tag without gt", "</a", 0, {"End a", "Error errGtExpected", "Eof"}},
    {"start tag without gt", "<a !>", 0, {"Start a", "Error errGtExpected", "Text !>", "Eof"}},
    {"slash without gt", "<a/ >", 0, {"Start a", "Error errGtExpected", "Text >", "Eof"}},
    // The event of the call that finds the error is left as it was.
    {"slash without gt after attribute", R"(<a x="1"/ >)", 0,
     {"Open a", "Attr x=1", "Attr x=1", "Error errGtExpected", "Text >", "Eof"}},
    {"no attribute name", R"(<a x="1" !>)", 0, {"Open a", "Attr x=1", "Attr =", "Error errGtExpected", "Text !>", "Eof"}},
    {"attribute without value", R"(<a x y="1">)", 0,
     {"Open a", "Attr x=", "Error errEqExpected", "Text y=\"1\">", "Eof"}},
    {"empty attributes allowed", R"(<a x y="1" z>)", allowEmptyAttribs,
     {"Open a", "Attr x=", "Attr y=1", "Attr z=", "Close", "Eof"}},
    {"empty attribute needs gt or space", "<a x/>", allowEmptyAttribs,
     {"Open a", "Attr x=", "Error errEqExpected", "Text />", "Eof"}},
    {"empty attribute before a space and a line break", "<a x \r\n y>", allowEmptyAttribs,
     {"Open a", "Attr x=", "Attr y=", "Close", "Eof"}},
    {"whitespace runs inside a tag", "<a \n x = \"1\"  y=\"2\"\t/>", 0,
     {"Open a", "Attr x=1", "Attr y=2", "Close", "End a", "Eof"}},
    {"unquoted value refused", R"(<a x=1/2 y="2">)", 0,
     {"Open a", "Attr x=1/2", "Error errQuoteExpected", "Text y=\"2\">", "Eof"}},
    {"unquoted values allowed", "<a x=1/2 y=&amp;z\tw=v>", allowUnquotedAttribs,
     {"Open a", "Attr x=1/2", "Attr y=&z", "Attr w=v", "Close", "Eof"}},
    {"unquoted value empty", "<a x=>", allowUnquotedAttribs,
     {"Open a", "Attr x=", "Error errAttributeValueExpected", "Text >", "Eof"}},
    {"end inside cdata", "<![CDATA[ab", 0, {"CData ab", "Error errEndOfCDataExpected", "Eof"}},
    {"end inside processing instruction", "<?p ab", 0, {"PI p| ab", "Error errQmGtExpected", "Eof"}},
    {"processing instruction without target", "<? x?>", 0, {"PI | x", "Error errNameExpected", "Eof"}},
    {"end inside attribute value", R"(<a x="ab)", 0, {"Open a", "Attr x=ab", "Error errQuoteExpected", "Eof"}},
    {"end inside comment", "<!-- ab", 0, {"Eof", "Error errEndOfCommentExpected", "Eof"}},
    {"end inside reported comment", "<!-- ab", reportComments,
     {"Comment  ab", "Error errEndOfCommentExpected", "Eof"}},
    {"end inside declaration", "<!DOCTYPE <a>", 0, {"Special DOCTYPE <a>", "Error errGtExpected", "Eof"}},
    {"end inside start tag", "<a x='1'", 0, {"Open a", "Attr x=1", "Attr =", "Error errGtExpected", "Eof"}},
};

TEST(XmlReader, EventSequences) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, events(c.input, c.options));
  }
}

TEST(XmlReader, AccessorsAndIsElement) {
  XmlReader r;
  openXmlReader(r, openStringStream(R"(<x:row r="1">v</x:row>)"), "sheet.xml");
  nextXmlEvent(r);
  EXPECT_TRUE(isElement(r, xmlElementOpen, "x:row"));
  EXPECT_FALSE(isElement(r, xmlElementOpen, "x:Row"));
  EXPECT_FALSE(isElement(r, xmlElementStart, "x:row"));
  EXPECT_EQ("x:row", tagName(r));
  nextXmlEvent(r);
  EXPECT_EQ("r", attributeName(r));
  EXPECT_EQ("1", attributeValue(r));
  nextXmlEvent(r);
  EXPECT_EQ(xmlElementClose, r.kind);
  nextXmlEvent(r);
  EXPECT_EQ("v", text(r));
  nextXmlEvent(r);
  EXPECT_TRUE(isElement(r, xmlElementEnd, "x:row"));
  EXPECT_EQ("sheet.xml", r.filename);
  closeXmlReader(r);
  closeXmlReader(r);  // idempotent
  EXPECT_EQ(nullptr, r.input);
}

TEST(XmlReader, LineNumbersFollowTheInput) {
  XmlReader r;
  openXmlReader(r, openStringStream("<a>\r\n<b\nx='1'\r/>\n</a>"), "t.xml");
  std::vector<int32_t> lines;
  do {
    nextXmlEvent(r);
    lines.push_back(r.lineNumber);
  } while (r.kind != xmlEof);
  EXPECT_EQ((std::vector<int32_t>{1, 3, 4, 4, 4, 5, 5}), lines);
}

// The window is 8192 bytes and is cut at its last CR, LF or '/'. Each case
// puts a '/' at, just before or just after the end of the first window, with
// or without an earlier cut point, in text, in an attribute value, in "</"
// and in "/>".
TEST(XmlReader, SlashAtTheWindowEdge) {
  for (int32_t slashAt = 8188; slashAt <= 8194; ++slashAt) {
    for (bool earlyBreak : {false, true}) {
      const std::string open = earlyBreak ? "<r\n>" : "<r>";
      const std::string tagGap = earlyBreak ? "\n" : " ";
      struct Shape {
        const char* name;
        std::string head, tail;  // the fill run goes between them
        int32_t slashInTail;
        char fill;
        Events expected;  // "*" stands for the fill run
      } shapes[] = {
          {"text", open, "/y</r>", 0, 'x', {"Start r", "Text */y", "End r", "Eof"}},
          {"end tag", open, "</r>", 1, 'x', {"Start r", "Text *", "End r", "Eof"}},
          {"attribute value", "<r" + tagGap + "v=\"", "/y\"/>", 0, 'x',
           {"Open r", "Attr v=*/y", "Close", "End r", "Eof"}},
          {"empty tag", "<r" + tagGap + "v=\"1\"", "/>", 0, ' ', {"Open r", "Attr v=1", "Close", "End r", "Eof"}},
          {"empty tag without attributes", "<r", "/>", 0, ' ', {"Start r", "End r", "Eof"}},
      };
      for (const Shape& s : shapes) {
        int32_t fillLength = slashAt - static_cast<int32_t>(s.head.size()) - s.slashInTail;
        std::string fill(static_cast<size_t>(fillLength), s.fill);
        std::string doc = s.head + fill + s.tail;
        ASSERT_EQ('/', doc[slashAt]);
        Events expected;
        for (std::string e : s.expected) {
          if (auto star = e.find('*'); star != std::string::npos) e.replace(star, 1, fill);
          expected.push_back(e);
        }
        SCOPED_TRACE(testing::Message() << s.name << " slash at " << slashAt << (earlyBreak ? " after a LF" : ""));
        EXPECT_EQ(expected, events(doc));
      }
    }
  }
}

// A snippet repeated over several windows meets every window cut at a
// different place; each copy must still give the same events.
TEST(XmlReader, RepeatedSnippetAcrossWindows) {
  const std::string snippet = "<c r=\"A1\" s=\"2\"><v>1/2</v></c>\r\n<c t='s'/>&amp;x\n";
  const Events one = {"Open c", "Attr r=A1", "Attr s=2", "Close", "Start v", "Text 1/2", "End v", "End c",
                      "Ws \n", "Open c", "Attr t=s", "Close", "End c", "Text &", "Text x\n"};
  for (int pad = 0; pad < 4; ++pad) {
    std::string doc = std::string(static_cast<size_t>(pad), ' ');
    Events expected;
    if (pad > 0) expected.push_back("Ws " + doc);
    for (int i = 0; i < 1500; ++i) {
      doc += snippet;
      expected.insert(expected.end(), one.begin(), one.end());
    }
    expected.push_back("Eof");
    SCOPED_TRACE(pad);
    EXPECT_EQ(expected, events(doc, reportWhitespace));
  }
}

TEST(XmlReader, RunsLongerThanTheWindow) {
  std::string big(20000, 'z');
  EXPECT_EQ((Events{"Start a", "Text " + big, "End a", "Eof"}), events("<a>" + big + "</a>"));
  EXPECT_EQ((Events{"Open a", "Attr v=" + big, "Close", "End a", "Eof"}), events("<a v='" + big + "'/>"));
  EXPECT_EQ((Events{"Start " + big, "End " + big, "Eof"}), events("<" + big + "/>"));
  EXPECT_EQ((Events{"CData " + big, "Eof"}), events("<![CDATA[" + big + "]]>"));
}

// Random markup, shifted against the window cuts by an empty element of
// varying length in front, must give the same events wherever the window
// happens to be cut, with every option.
TEST(XmlReader, RandomMarkupReadsTheSameAtAnyWindowPosition) {
  static const char kAlphabet[] = "<<<>>//&&;#x=\"' \r\n\tab1![]-?:CDATA";
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  for (int round = 0; round < 6; ++round) {
    std::string doc;
    for (int i = 0; i < 30000; ++i) doc += kAlphabet[pick(rng)];
    for (XmlReaderOptions options : {0, 15}) {
      Events reference;
      for (size_t shift : {0, 1, 2, 3, 5, 8, 13, 700, 4099}) {
        Events all = events("<p" + std::string(shift, ' ') + "/>" + doc, options);
        ASSERT_GE(all.size(), 2u);
        ASSERT_EQ("Start p", all[0]);
        Events rest(all.begin() + 2, all.end());
        if (shift == 0) {
          reference = rest;
        } else {
          SCOPED_TRACE(testing::Message() << "round " << round << " shift " << shift);
          EXPECT_EQ(reference, rest);
        }
      }
    }
  }
}

TEST(XmlReader, ClosesTheStreamWhenDestroyed) {
  bool closed = false;
  class Probe : public InputStream {
   public:
    explicit Probe(bool& closed) : closed_(closed) {}
    ~Probe() override { closed_ = true; }
    int32_t read(char*, int32_t) override { return 0; }

   private:
    bool& closed_;
  };
  {
    XmlReader r;
    openXmlReader(r, std::make_unique<Probe>(closed), "p.xml");
    nextXmlEvent(r);
    EXPECT_EQ(xmlEof, r.kind);
  }
  EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace tabulon
