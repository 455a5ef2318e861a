#!/usr/bin/python3
"""Writes the conversion benchmark's workloads into a folder (default
build/bench-workloads). Deterministic: the same bytes on every run.

    big.xlsx        one sheet, 100,000 rows x 10 columns = 1,000,000 cells
    sheets20.xlsx   20 sheets of 5,000 rows x 10 columns each
    folder200/      200 small workbooks (50 x 6 cells), spread over 10 sub-folders

Cells mix integers, decimals, repeated and unique shared strings, dates and
booleans, the way exported reports do.
"""
import datetime
import os
import sys

import xlsxwriter

FIXED_TIME = datetime.datetime(2020, 8, 11, 9, 0, 0)
WORDS = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
         "india", "juliett", "kilo", "lima", "mike", "november", "oscar", "papa"]


def workbook(path):
    wb = xlsxwriter.Workbook(path, {"constant_memory": True})
    wb.set_properties({"created": FIXED_TIME})
    return wb


def fill(wb, ws, rows, cols, seed):
    day = wb.add_format({"num_format": "yyyy-mm-dd"})
    ws.write_row(0, 0, ["col%d" % c for c in range(cols)])
    base = datetime.datetime(2000, 1, 1)
    for r in range(1, rows):
        x = (r * 7919 + seed * 104729) % 1000003
        for c in range(cols):
            kind = c % 5
            if kind == 0:
                ws.write_number(r, c, x + c)
            elif kind == 1:
                ws.write_number(r, c, (x % 100000) / 100.0)
            elif kind == 2:
                ws.write_string(r, c, WORDS[(x + c) % len(WORDS)])
            elif kind == 3:
                ws.write_datetime(r, c, base + datetime.timedelta(days=x % 9000), day)
            else:
                ws.write_string(r, c, "item %d-%d" % (r, c))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join("build", "bench-workloads")
    os.makedirs(out, exist_ok=True)

    wb = workbook(os.path.join(out, "big.xlsx"))
    fill(wb, wb.add_worksheet("Data"), 100000, 10, 1)
    wb.close()

    wb = workbook(os.path.join(out, "sheets20.xlsx"))
    for s in range(20):
        fill(wb, wb.add_worksheet("Sheet%02d" % (s + 1)), 5000, 10, s)
    wb.close()

    for i in range(200):
        folder = os.path.join(out, "folder200", "part%02d" % (i % 10))
        os.makedirs(folder, exist_ok=True)
        wb = workbook(os.path.join(folder, "book%03d.xlsx" % i))
        fill(wb, wb.add_worksheet("Data"), 50, 6, i)
        wb.close()


if __name__ == "__main__":
    main()
