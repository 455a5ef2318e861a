// The framed fixed-width text of one sheet: every cell is a field of exactly
// `width` bytes between "|" bars, rows are framed by "+---+" rules.
//
//   +---+---+
//   |Nam|Age|
//   +---+---+      (only after the first row, and only when header is true)
//   |Al |7  |
//   +---+---+
//
// Widths and lengths are bytes, not characters: a multi-byte UTF-8 character
// that straddles the width is cut inside its byte sequence. Lines end in a
// single "\n"; nothing is escaped, trimmed or aligned.
#ifndef TABULON_CONVERT_RENDER_H_
#define TABULON_CONVERT_RENDER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "workbook/sheet.h"

namespace tabulon {

// One rule line for cols columns of width bytes each: cols times ("+" and
// width "-"), then "+" and "\n". cols <= 0 gives "+\n".
// Throws RangeError "value out of range: " + width when width < 0 and cols >= 1.
std::string ruleLine(int32_t cols, int32_t width);

// The whole text of table at width bytes per cell: a rule, one line per row
// (with one more rule after the first row when table.header is true), and a
// closing rule; rows + 2 lines, or rows + 3 with a header and rows >= 1.
// Relies on table.data holding rows * cols texts, row-major.
// Throws RangeError "value out of range: " + width when width < 0 and the
// table has at least one column, before any text is built.
std::string renderSheet(const SheetTable& table, int32_t width);

// Receives rendered text piece by piece, in order. The view is valid only
// during the call.
using TextSink = std::function<void(std::string_view piece)>;

// The size renderSheetTo aims its pieces at: 1 MiB.
inline constexpr size_t kRenderPieceBytes = size_t{1} << 20;

// The text renderSheet(table, width) returns, handed to sink in pieces
// instead of built whole, so that a sheet of any size holds only about
// pieceBytes bytes of text at a time. A piece is made of whole lines and is
// cut at the first line end at or past pieceBytes bytes (so one long line is
// a piece of its own, and pieceBytes 0 gives one piece per line or rule);
// no piece is empty. Throws what renderSheet throws, before sink is first
// called, and whatever sink throws, which ends the rendering.
void renderSheetTo(const SheetTable& table, int32_t width, const TextSink& sink,
                   size_t pieceBytes = kRenderPieceBytes);

}  // namespace tabulon

#endif  // TABULON_CONVERT_RENDER_H_
