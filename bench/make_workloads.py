#!/usr/bin/python3
"""Writes the conversion benchmark's workloads into a folder (default
build/bench-workloads). Deterministic: the same bytes on every run (fixed
entry times, fixed compression level, no randomness).

    big.xlsx        one sheet, 100,000 rows x 10 columns = 1,000,000 cells
    sheets20.xlsx   20 sheets of 5,000 rows x 10 columns each ("wide")
    folder200/      200 small workbooks of 2 sheets (50 x 10 each), spread
                    over 10 sub-folders ("many")
    huge.xlsx       one sheet, 1,000,000 rows x 10 columns = 10,000,000 cells

    make_workloads.py [FOLDER] [NAME...]   NAME: big, wide, many, huge (default all)

Every sheet starts with a text header row; then the columns mix integers,
floats with many digits, short repeated strings, unique strings, dates with a
date format and booleans, the way exported reports do. Strings are shared
strings, as the common writers store them. Only the standard library is used,
so that the 10,000,000-cell workbook takes seconds rather than minutes.
"""
import os
import sys
import zipfile

FIXED_TIME = (2020, 8, 11, 9, 0, 0)
WORDS = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
         "india", "juliett", "kilo", "lima", "mike", "november", "oscar", "papa"]
# Column kinds, A to J.
KINDS = ["int", "float", "word", "date", "unique", "bool", "float", "int", "word", "date"]
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"

CONTENT_TYPES_HEAD = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
    '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>'
    '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
    '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
    '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>')
SHEET_TYPE = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
RNS = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
STYLES = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
    '<styleSheet ' + NS + '><numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy-mm-dd"/></numFmts>'
    '<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>'
    '<fills count="1"><fill><patternFill patternType="none"/></fill></fills>'
    '<borders count="1"><border/></borders>'
    '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
    '<cellXfs count="2"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
    '<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>'
    '</styleSheet>')


class SharedStrings:
    def __init__(self):
        self.index = {}
        self.items = []

    def get(self, s):
        i = self.index.get(s)
        if i is None:
            i = len(self.items)
            self.index[s] = i
            self.items.append(s)
        return i

    def add_unique(self, s):
        """A string known to be new: no lookup table entry (saves memory)."""
        self.items.append(s)
        return len(self.items) - 1


def sheet_rows(rows, cols, seed, sst):
    """Yields the worksheet XML in chunks of rows."""
    last = LETTERS[cols - 1]
    yield ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<worksheet ' + NS + ' ' + RNS +
           '><dimension ref="A1:%s%d"/><sheetData>' % (last, rows))
    head = ['<row r="1">']
    for c in range(cols):
        head.append('<c r="%s1" t="s"><v>%d</v></c>' % (LETTERS[c], sst.get("col%d" % c)))
    head.append('</row>')
    yield "".join(head)
    words = [sst.get(w) for w in WORDS]
    kinds = KINDS[:cols]
    chunk = []
    for r in range(2, rows + 1):
        x = (r * 7919 + seed * 104729) % 1000003
        rs = str(r)
        chunk.append('<row r="' + rs + '">')
        for c, kind in enumerate(kinds):
            ref = LETTERS[c] + rs
            if kind == "int":
                chunk.append('<c r="%s"><v>%d</v></c>' % (ref, x * 37 + c))
            elif kind == "float":
                chunk.append('<c r="%s"><v>%r</v></c>' % (ref, (x + c) / 7.0))
            elif kind == "word":
                chunk.append('<c r="%s" t="s"><v>%d</v></c>' % (ref, words[(x + c) % len(words)]))
            elif kind == "date":
                chunk.append('<c r="%s" s="1"><v>%d</v></c>' % (ref, 36526 + (x + c) % 9000))
            elif kind == "unique":
                chunk.append('<c r="%s" t="s"><v>%d</v></c>' % (ref, sst.add_unique("item %d-%d-%d" % (seed, r, c))))
            else:
                chunk.append('<c r="%s" t="b"><v>%d</v></c>' % (ref, (x >> 3) & 1))
        chunk.append('</row>')
        if len(chunk) > 20000:
            yield "".join(chunk)
            chunk = []
    chunk.append('</sheetData></worksheet>')
    yield "".join(chunk)


def write_entry(z, name, chunks):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    with z.open(info, "w") as f:
        for chunk in chunks:
            f.write(chunk.encode("utf-8"))


def escape(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def write_workbook(path, sheets, cols, seed0):
    """sheets: list of (name, rows)."""
    sst = SharedStrings()
    tmp = path + ".part"
    with zipfile.ZipFile(tmp, "w", compresslevel=6) as z:
        types = [CONTENT_TYPES_HEAD]
        for i in range(len(sheets)):
            types.append('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="%s"/>' % (i + 1, SHEET_TYPE))
        types.append('</Types>')
        write_entry(z, "[Content_Types].xml", types)
        write_entry(z, "_rels/.rels", [
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="' + REL + '/officeDocument" Target="xl/workbook.xml"/></Relationships>'])
        wb = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<workbook ' + NS + ' ' + RNS + '><sheets>']
        rels = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">']
        for i, (name, _) in enumerate(sheets):
            wb.append('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (escape(name), i + 1, i + 1))
            rels.append('<Relationship Id="rId%d" Type="%s/worksheet" Target="worksheets/sheet%d.xml"/>' % (i + 1, REL, i + 1))
        n = len(sheets)
        rels.append('<Relationship Id="rId%d" Type="%s/styles" Target="styles.xml"/>' % (n + 1, REL))
        rels.append('<Relationship Id="rId%d" Type="%s/sharedStrings" Target="sharedStrings.xml"/>' % (n + 2, REL))
        rels.append('</Relationships>')
        wb.append('</sheets></workbook>')
        write_entry(z, "xl/workbook.xml", wb)
        write_entry(z, "xl/_rels/workbook.xml.rels", rels)
        write_entry(z, "xl/styles.xml", [STYLES])
        for i, (_, rows) in enumerate(sheets):
            write_entry(z, "xl/worksheets/sheet%d.xml" % (i + 1), sheet_rows(rows, cols, seed0 + i, sst))

        def sst_chunks():
            yield ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<sst ' + NS +
                   ' count="%d" uniqueCount="%d">' % (len(sst.items), len(sst.items)))
            for k in range(0, len(sst.items), 50000):
                yield "".join("<si><t>%s</t></si>" % escape(s) for s in sst.items[k:k + 50000])
            yield '</sst>'
        write_entry(z, "xl/sharedStrings.xml", sst_chunks())
    os.replace(tmp, path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join("build", "bench-workloads")
    names = sys.argv[2:] or ["big", "wide", "many", "huge"]
    os.makedirs(out, exist_ok=True)
    if "big" in names:
        write_workbook(os.path.join(out, "big.xlsx"), [("Data", 100000)], 10, 1)
    if "wide" in names:
        write_workbook(os.path.join(out, "sheets20.xlsx"),
                       [("Sheet%02d" % (s + 1), 5000) for s in range(20)], 10, 0)
    if "many" in names:
        for i in range(200):
            folder = os.path.join(out, "folder200", "part%02d" % (i % 10))
            os.makedirs(folder, exist_ok=True)
            write_workbook(os.path.join(folder, "book%03d.xlsx" % i),
                           [("Data", 50), ("Summary", 50)], 10, i * 2)
    if "huge" in names:
        write_workbook(os.path.join(out, "huge.xlsx"), [("Data", 1000000)], 10, 7)


if __name__ == "__main__":
    main()
