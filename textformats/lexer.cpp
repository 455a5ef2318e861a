#include "textformats/lexer.h"

#include <cassert>
#include <cstring>
#include <limits>

#include "textformats/errors.h"

namespace tabulon {

namespace {

// Reads until n bytes arrived or the stream ends, so that a stream handing
// out short blocks is not mistaken for an exhausted one.
int32_t readFully(InputStream& in, char* dst, int32_t n) {
  int32_t total = 0;
  while (total < n) {
    int32_t got = in.read(dst + total, n - total);
    if (got <= 0) break;
    total += got;
  }
  return total;
}

// Fills the window: carries the unread tail behind the old sentinel to the
// front, reads behind it and cuts the window at its last refill character.
// A window without any refill character doubles until one arrives or the
// input ends.
void fillWindow(BufferedLexer& l) {
  int32_t size = static_cast<int32_t>(l.buf.size());
  int32_t toCopy = size - (l.sentinel + 1);
  if (toCopy > 0) std::memmove(&l.buf[0], &l.buf[l.sentinel + 1], static_cast<size_t>(toCopy));
  int32_t want = l.sentinel + 1;
  int32_t n = l.input ? readFully(*l.input, &l.buf[toCopy], want) : 0;
  int32_t s = toCopy + n;
  if (n < want) {
    l.buf[s] = '\0';
    l.sentinel = s;
    return;
  }
  for (;;) {
    for (int32_t i = static_cast<int32_t>(l.buf.size()) - 1; i >= 0; --i) {
      if (l.refillChars[static_cast<unsigned char>(l.buf[i])]) {
        l.sentinel = i;
        return;
      }
    }
    int32_t old = static_cast<int32_t>(l.buf.size());
    if (old > std::numeric_limits<int32_t>::max() / 2) throw OverflowError("over- or underflow");
    l.buf.resize(static_cast<size_t>(old) * 2);
    n = readFully(*l.input, &l.buf[old], old);
    if (n < old) {
      l.buf[old + n] = '\0';
      l.sentinel = old + n;
      return;
    }
  }
}

// Line numbers stop at the largest int32 rather than overflowing.
void countLine(BufferedLexer& l) {
  if (l.lineNumber < std::numeric_limits<int32_t>::max()) ++l.lineNumber;
}

}  // namespace

void openLexer(BufferedLexer& lexer, std::unique_ptr<InputStream> input, int32_t bufferSize,
               const std::bitset<256>& refillChars) {
  assert(bufferSize > 0 && input != nullptr);
  lexer.input = std::move(input);
  lexer.refillChars = refillChars;
  lexer.bufpos = 0;
  lexer.offsetBase = 0;
  lexer.lineNumber = 1;
  lexer.lineStart = 0;
  lexer.sentinel = bufferSize - 1;
  lexer.buf.assign(static_cast<size_t>(bufferSize), '\0');
  fillWindow(lexer);
  if (lexer.buf.size() >= 3 && static_cast<unsigned char>(lexer.buf[0]) == 0xEF && static_cast<unsigned char>(lexer.buf[1]) == 0xBB &&
      static_cast<unsigned char>(lexer.buf[2]) == 0xBF) {
    lexer.bufpos = 3;
    lexer.lineStart = 3;
  }
}

void closeLexer(BufferedLexer& lexer) { lexer.input.reset(); }

int32_t refillPast(BufferedLexer& lexer, int32_t pos) {
  assert(pos == lexer.sentinel);
  // The end marker is never passed: nothing valid lies behind it.
  if (lexer.buf[pos] == '\0' && !lexer.refillChars[0]) return pos;
  fillWindow(lexer);
  // Bookkeeping only; it saturates instead of overflowing on inputs past 2 GB.
  lexer.offsetBase = pos > std::numeric_limits<int32_t>::max() - lexer.offsetBase
                         ? std::numeric_limits<int32_t>::max()
                         : lexer.offsetBase + pos;
  lexer.bufpos = 0;
  return 0;
}

int32_t passCR(BufferedLexer& lexer, int32_t pos) {
  assert(lexer.buf[pos] == '\r');
  countLine(lexer);
  int32_t p = advanceAt(lexer, pos);
  if (lexer.buf[p] == '\n') p = advanceAt(lexer, p);
  lexer.lineStart = p;
  return p;
}

int32_t passLF(BufferedLexer& lexer, int32_t pos) {
  assert(lexer.buf[pos] == '\n');
  countLine(lexer);
  int32_t p = advanceAt(lexer, pos);
  lexer.lineStart = p;
  return p;
}

int32_t columnAt(const BufferedLexer& lexer, int32_t pos) {
  int32_t d = pos - lexer.lineStart;
  return d < 0 ? -d : d;
}

}  // namespace tabulon
