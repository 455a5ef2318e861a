#include "textformats/lexer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "testutil.h"

namespace tabulon {
namespace {

std::bitset<256> refillSet(std::string_view bytes) {
  std::bitset<256> s;
  for (unsigned char c : bytes) s[c] = true;
  return s;
}

// Hands out at most `chunk` bytes per read, like a pipe or a slow file.
class ChunkedStream : public InputStream {
 public:
  ChunkedStream(std::string bytes, int32_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
  int32_t read(char* dst, int32_t n) override {
    size_t k = std::min({static_cast<size_t>(n), static_cast<size_t>(chunk_), bytes_.size() - pos_});
    std::memcpy(dst, bytes_.data() + pos_, k);
    pos_ += k;
    return static_cast<int32_t>(k);
  }

 private:
  std::string bytes_;
  size_t pos_ = 0;
  int32_t chunk_;
};

class FailingStream : public InputStream {
 public:
  int32_t read(char*, int32_t) override { throw IOError("cannot read: broken"); }
};

// Scans the whole input the way every reader must: refill characters only
// through the pass functions. Returns the bytes seen, line breaks as LF.
std::string drain(BufferedLexer& l) {
  std::string out;
  int32_t pos = l.bufpos;
  for (;;) {
    unsigned char c = static_cast<unsigned char>(l.buf[pos]);
    if (c == 0) break;
    if (c == '\r') {
      out += '\n';
      pos = passCR(l, pos);
    } else if (c == '\n') {
      out += '\n';
      pos = passLF(l, pos);
    } else if (l.refillChars[c]) {
      out += static_cast<char>(c);
      pos = passRefillChar(l, pos);
    } else {
      out += static_cast<char>(c);
      ++pos;
    }
  }
  return out;
}

TEST(BufferedLexer, EmptyStreamHoldsOnlyTheEndMarker) {
  BufferedLexer l;
  openLexer(l, openStringStream(""), 8192, refillSet("\r\n"));
  EXPECT_EQ(0, l.sentinel);
  EXPECT_EQ(0, l.bufpos);
  EXPECT_EQ('\0', l.buf[0]);
  EXPECT_EQ(8192u, l.buf.size());
  EXPECT_EQ(1, l.lineNumber);
}

TEST(BufferedLexer, WindowIsCutAtTheLastRefillCharacter) {
  BufferedLexer l;
  openLexer(l, openStringStream("ab\ncd/ef\ngh"), 8, refillSet("\r\n/"));
  EXPECT_EQ(5, l.sentinel);  // the '/'; "ef" stays unread behind it
  EXPECT_EQ(1, advanceAt(l, 0));
  EXPECT_EQ(0, advanceAt(l, 5));
  EXPECT_EQ(5, l.offsetBase);
  EXPECT_EQ(std::string("ef\ngh\0", 6), std::string(l.buf.data(), 6));
  EXPECT_EQ(5, l.sentinel);  // the end marker
}

TEST(BufferedLexer, ReadsEveryByteWithAnyWindowSizeAndChunking) {
  const std::string inputs[] = {
      "one\ntwo\r\nthree\rfour/five//six\r\n\r\n",
      "no refill characters in this rather long line at all",
      "\r\n\r\n\r\r\n\n",
      "x/",
  };
  for (const std::string& in : inputs) {
    std::string expected;
    for (size_t i = 0; i < in.size(); ++i) {
      if (in[i] == '\r') {
        expected += '\n';
        if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
      } else {
        expected += in[i];
      }
    }
    for (int32_t size = 1; size <= 12; ++size) {
      for (int32_t chunk : {1, 3, 1000}) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(in) << " size " << size << " chunk " << chunk);
        BufferedLexer l;
        openLexer(l, std::make_unique<ChunkedStream>(in, chunk), size, refillSet("\r\n/"));
        EXPECT_EQ(expected, drain(l));
      }
    }
  }
}

TEST(BufferedLexer, CountsCrLfCrAndLfAsOneLineEach) {
  struct Case {
    const char* input;
    int32_t lines;
  } cases[] = {
      {"a\r\nb", 2}, {"a\rb", 2}, {"a\nb", 2}, {"a\n\rb", 3}, {"a\r\r\nb", 3}, {"\r\n\r\n", 3}, {"ab", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.input)));
    for (int32_t size : {2, 8192}) {  // 2: the CR and its LF land in different windows
      BufferedLexer l;
      openLexer(l, openStringStream(c.input), size, refillSet("\r\n"));
      drain(l);
      EXPECT_EQ(c.lines, l.lineNumber);
    }
  }
}

TEST(BufferedLexer, ColumnsCountFromTheLineStart) {
  BufferedLexer l;
  openLexer(l, openStringStream("ab\r\ncde"), 8192, refillSet("\r\n"));
  EXPECT_EQ(1, columnAt(l, 1));
  int32_t pos = passCR(l, 2);
  EXPECT_EQ(4, pos);
  EXPECT_EQ(4, l.lineStart);
  EXPECT_EQ(2, columnAt(l, pos + 2));
  EXPECT_EQ(2, l.lineNumber);
}

TEST(BufferedLexer, SkipsAByteOrderMark) {
  BufferedLexer l;
  openLexer(l, openStringStream("\xEF\xBB\xBFkey"), 8192, refillSet("\r\n"));
  EXPECT_EQ(3, l.bufpos);
  EXPECT_EQ(3, l.lineStart);
  EXPECT_EQ(0, columnAt(l, l.bufpos));
  EXPECT_EQ("key", drain(l));

  BufferedLexer partial;  // only a mark's first two bytes: data, not a mark
  openLexer(partial, openStringStream("\xEF\xBBk"), 8192, refillSet("\r\n"));
  EXPECT_EQ(0, partial.bufpos);
}

TEST(BufferedLexer, AZeroByteEndsTheInput) {
  BufferedLexer l;
  openLexer(l, openStringStream(std::string("ab\ncd\0ef\ngh", 11)), 4, refillSet("\r\n"));
  EXPECT_EQ("ab\ncd", drain(l));
}

TEST(BufferedLexer, ALineLongerThanTheWindowIsReadWhole) {
  std::string line(100, 'x');
  BufferedLexer l;
  openLexer(l, openStringStream(line + "\nrest"), 8, refillSet("\r\n"));
  EXPECT_EQ(128u, l.buf.size());  // doubled from 8 until the input ran out
  EXPECT_EQ(105, l.sentinel);      // the end marker
  EXPECT_EQ(line + "\nrest", drain(l));
  EXPECT_EQ(128u, l.buf.size());  // it never shrinks

  BufferedLexer cut;  // the window fills up again after the line: cut at its LF
  openLexer(cut, openStringStream(line + "\n" + line), 8, refillSet("\r\n"));
  EXPECT_EQ(128u, cut.buf.size());
  EXPECT_EQ(100, cut.sentinel);
  EXPECT_EQ(line + "\n" + line, drain(cut));
}

TEST(BufferedLexer, ReadErrorsAreRaisedAndCloseClosesTheStream) {
  BufferedLexer l;
  EXPECT_ERROR(openLexer(l, std::make_unique<FailingStream>(), 16, refillSet("\n")), "IOError",
               "cannot read: broken");
  BufferedLexer ok;
  openLexer(ok, openStringStream("a"), 16, refillSet("\n"));
  closeLexer(ok);
  EXPECT_EQ(nullptr, ok.input);
  closeLexer(ok);
}

TEST(FileStream, ReadsTheFileAndReportsMissingFilesAsNull) {
  testutil::ScopedTempDir dir;
  EXPECT_EQ(nullptr, openFileStream((dir / "missing.txt").string()));
  std::string bytes("a\r\n\0b", 5);
  testutil::writeFile(dir / "f.bin", bytes);
  auto s = openFileStream((dir / "f.bin").string());
  ASSERT_NE(nullptr, s);
  char buf[16];
  EXPECT_EQ(5, s->read(buf, sizeof buf));
  EXPECT_EQ(bytes, std::string(buf, 5));
  EXPECT_EQ(0, s->read(buf, sizeof buf));
}

}  // namespace
}  // namespace tabulon
