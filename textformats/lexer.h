// BufferedLexer: a byte stream read through a window that ends at a sentinel.
//
// The window `buf` is cut after the last byte in `refillChars` it holds (or
// holds the end marker 0 after the last input byte), and `sentinel` indexes
// that cut byte. A scanner can therefore test bytes without checking the end
// of the window: it only has to stop at refill characters and 0, and pass
// them with passCR / passLF / passRefillChar, which refill when the sentinel
// is passed. A 0 byte inside the input ends the input for every scanner.
//
// Rules for scanners built on it:
//  - never step over a refill character by pos + 1; use the pass functions;
//  - look ahead only by a chain of comparisons that stops at the first
//    mismatch, against texts holding no refill character and no 0.
#ifndef TABULON_TEXTFORMATS_LEXER_H_
#define TABULON_TEXTFORMATS_LEXER_H_

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

#include "textformats/stream.h"

namespace tabulon {

struct BufferedLexer {
  int32_t bufpos = 0;                   // current read position, index into buf
  std::string buf;                      // the window; its size is the buffer size, never shrinks
  std::unique_ptr<InputStream> input;   // the source; closed by closeLexer
  int32_t lineNumber = 1;               // 1-based current line
  int32_t sentinel = 0;                 // index of the cut byte (refill char or end marker 0)
  int32_t lineStart = 0;                // index in buf where the current line begins
  int32_t offsetBase = 0;               // bytes consumed by earlier windows (bookkeeping only)
  std::bitset<256> refillChars;         // bytes at which the window may be cut
};

// Opens the lexer on input with a window of bufferSize bytes (> 0), reads the
// first window and skips a UTF-8 byte-order mark. Takes ownership of input.
// Throws IOError when the first read fails (input is then closed).
void openLexer(BufferedLexer& lexer, std::unique_ptr<InputStream> input, int32_t bufferSize,
               const std::bitset<256>& refillChars);

// Closes the input stream. Idempotent.
void closeLexer(BufferedLexer& lexer);

// Refills the window when pos, the sentinel, is passed; returns 0, the new
// position. Used by advanceAt; scanners call advanceAt instead.
int32_t refillPast(BufferedLexer& lexer, int32_t pos);

// Steps past the byte at pos (REQUIRES: pos <= sentinel) and returns the new
// position; passing the sentinel refills the window and returns 0.
inline int32_t advanceAt(BufferedLexer& lexer, int32_t pos) {
  return pos < lexer.sentinel ? pos + 1 : refillPast(lexer, pos);
}

// REQUIRES: CR at pos. Counts one line; a LF right after is passed too.
int32_t passCR(BufferedLexer& lexer, int32_t pos);

// REQUIRES: LF at pos. Counts one line.
int32_t passLF(BufferedLexer& lexer, int32_t pos);

// REQUIRES: a refill character at pos. Passes it without counting a line.
inline int32_t passRefillChar(BufferedLexer& lexer, int32_t pos) { return advanceAt(lexer, pos); }

// The 0-based column (in bytes) of pos within the current line.
int32_t columnAt(const BufferedLexer& lexer, int32_t pos);

}  // namespace tabulon

#endif  // TABULON_TEXTFORMATS_LEXER_H_
