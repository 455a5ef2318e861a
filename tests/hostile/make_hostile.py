#!/usr/bin/env python3
"""Writes the hostile workbooks of the tests/hostile suite (standard library only).

Every workbook is made at test time, into the case's own folder; none is
committed. Large ones are written as streams, so that a 3 GiB entry costs a
few MB of disk and memory.

    make_hostile.py CASE OUTDIR        writes the files of one case
    make_hostile.py --list             lists the cases

As a module: build(case, folder) writes them; the driver, run_hostile.py,
knows what each case must give.
"""
import struct
import sys
import zipfile
import zlib
from pathlib import Path

NS = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
RNS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PNS = "http://schemas.openxmlformats.org/package/2006/relationships"
WS_TYPE = RNS + "/worksheet"


# ---- Parts of an ordinary workbook ------------------------------------------

def content_types(sheet_count, shared=False, styles=False):
    over = ['<Override PartName="/xl/workbook.xml" ContentType="application/'
            'vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>']
    for i in range(1, sheet_count + 1):
        over.append(f'<Override PartName="/xl/worksheets/sheet{i}.xml" ContentType="application/'
                    'vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>')
    if shared:
        over.append('<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
                    'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>')
    if styles:
        over.append('<Override PartName="/xl/styles.xml" ContentType="application/'
                    'vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>')
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="xml" ContentType="application/xml"/>' + "".join(over) + "</Types>")


def workbook_xml(names):
    sheets = "".join(f'<sheet name="{escape(n)}" sheetId="{i}" r:id="rId{i}"/>'
                     for i, n in enumerate(names, 1))
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n<workbook xmlns="{NS}" xmlns:r="{RNS}">'
            f"<sheets>{sheets}</sheets></workbook>")


def workbook_rels(count):
    rels = "".join(f'<Relationship Id="rId{i}" Type="{WS_TYPE}" Target="worksheets/sheet{i}.xml"/>'
                   for i in range(1, count + 1))
    return f'<?xml version="1.0" encoding="UTF-8"?>\n<Relationships xmlns="{PNS}">{rels}</Relationships>'


def sheet_xml(ref, rows):
    dim = f'<dimension ref="{ref}"/>' if ref else ""
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n<worksheet xmlns="{NS}" xmlns:r="{RNS}">'
            f"{dim}<sheetData>{rows}</sheetData></worksheet>")


STYLES = ('<?xml version="1.0" encoding="UTF-8"?>\n'
          f'<styleSheet xmlns="{NS}"><cellXfs count="3"><xf numFmtId="0"/>'
          '<xf numFmtId="14"/><xf numFmtId="20"/></cellXfs></styleSheet>')


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace('"', "&quot;")


def workbook_parts(sheets, shared=None, styles=False):
    """The entries of a workbook: sheets is a list of (name, worksheet xml)."""
    parts = [("[Content_Types].xml", content_types(len(sheets), shared is not None, styles)),
             ("xl/workbook.xml", workbook_xml([n for n, _ in sheets])),
             ("xl/_rels/workbook.xml.rels", workbook_rels(len(sheets)))]
    for i, (_, xml) in enumerate(sheets, 1):
        parts.append((f"xl/worksheets/sheet{i}.xml", xml))
    if shared is not None:
        items = "".join(f"<si><t>{escape(s)}</t></si>" for s in shared)
        parts.append(("xl/sharedStrings.xml", f'<sst xmlns="{NS}">{items}</sst>'))
    if styles:
        parts.append(("xl/styles.xml", STYLES))
    return parts


def one_cell_sheet(value="1"):
    return sheet_xml("A1:A1", f'<row r="1"><c r="A1"><v>{value}</v></c></row>')


def write_zip(path, parts, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", method) as z:
        for name, data in parts:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = method
            z.writestr(info, data.encode() if isinstance(data, str) else data)


def patch_entry(path, entry, flags_or=0, method=None):
    """Sets flag bits and/or the compression method of one entry, in both its
    local and its central-directory header."""
    data = bytearray(Path(path).read_bytes())
    with zipfile.ZipFile(path) as z:
        info = z.getinfo(entry)
    local = info.header_offset
    assert data[local:local + 4] == b"PK\x03\x04"
    offsets = [local + 6]
    pos = data.find(b"PK\x01\x02")
    while pos >= 0:
        name_len = struct.unpack_from("<H", data, pos + 28)[0]
        if data[pos + 46:pos + 46 + name_len].decode() == entry:
            offsets.append(pos + 8)
        pos = data.find(b"PK\x01\x02", pos + 46)
    for off in offsets:  # general-purpose flags at off, method at off + 2
        flags = struct.unpack_from("<H", data, off)[0] | flags_or
        struct.pack_into("<H", data, off, flags)
        if method is not None:
            struct.pack_into("<H", data, off + 2, method)
    Path(path).write_bytes(bytes(data))


# ---- A streamed deflate bomb --------------------------------------------------

def write_bomb(path, inflated_mib, head_parts, entry, declared_size=None, aliases=()):
    """A package whose entry `entry` inflates to inflated_mib MiB of zeros, written
    as one stream of a few MB: every MiB deflates, after a full flush, to the
    same bytes. declared_size, when given, is the uncompressed size the headers
    claim instead of the true one. Each name in aliases gets a central-directory
    record of its own pointing at the same data (overlapping entries)."""
    comp = zlib.compressobj(9, zlib.DEFLATED, -15)
    mib = bytes(1 << 20)
    block = comp.compress(mib) + comp.flush(zlib.Z_FULL_FLUSH)
    tail = comp.flush(zlib.Z_FINISH)
    crc = 0
    for _ in range(inflated_mib):
        crc = zlib.crc32(mib, crc)
    csize = len(block) * inflated_mib + len(tail)
    usize = (inflated_mib << 20) if declared_size is None else declared_size
    assert usize < 1 << 32 and csize < 1 << 32
    central = []
    with open(path, "wb") as out:
        def add(name, method, crc32, comp_bytes_len, size, writer):
            offset = out.tell()
            raw = name.encode()
            out.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x5821,
                                  crc32, comp_bytes_len, size, len(raw), 0) + raw)
            writer()
            central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0,
                                       0x5821, crc32, comp_bytes_len, size, len(raw), 0, 0, 0,
                                       0, 0, offset) + raw)
        for name, text in head_parts:
            body = text.encode()
            add(name, 0, zlib.crc32(body), len(body), len(body), lambda b=body: out.write(b))

        def stream():
            for _ in range(inflated_mib):
                out.write(block)
            out.write(tail)
        add(entry, 8, crc, csize, usize, stream)
        bomb = central[-1]
        for alias in aliases:
            raw = alias.encode()
            central.append(bomb[:28] + struct.pack("<H", len(raw)) + bomb[30:46] + raw)
        start = out.tell()
        for record in central:
            out.write(record)
        out.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(central), len(central),
                              out.tell() - start, start, 0))


# ---- The cases ----------------------------------------------------------------

def case_not_zip(d):
    (d / "book.xlsx").write_text("This is a text file, not a workbook.\n")


def case_truncated_zip(d):
    write_zip(d / "whole.xlsx", workbook_parts([("Data", one_cell_sheet())]))
    data = (d / "whole.xlsx").read_bytes()
    (d / "whole.xlsx").unlink()
    (d / "book.xlsx").write_bytes(data[:len(data) * 2 // 3])


def case_traversal_relative(d):
    parts = workbook_parts([("Data", one_cell_sheet())])
    write_zip(d / "book.xlsx", parts + [("xl/../../../escaped.txt", "pwned")])


def case_traversal_backslash(d):
    parts = workbook_parts([("Data", one_cell_sheet())])
    write_zip(d / "book.xlsx", parts + [("xl\\..\\..\\escaped.txt", "pwned")])


def case_traversal_absolute(d):
    parts = workbook_parts([("Data", one_cell_sheet())])
    target = (d / "absolute-escape.txt").resolve()
    write_zip(d / "book.xlsx", [(str(target), "pwned")] + parts)


def case_bomb_3gib(d):
    head = workbook_parts([("Data", one_cell_sheet())])[:3]
    write_bomb(d / "book.xlsx", 3072, head, "xl/worksheets/sheet1.xml")


def case_bomb_lying_size(d):
    # The headers claim 1 KiB; the stream holds 300 MiB.
    head = workbook_parts([("Data", one_cell_sheet())])[:3]
    write_bomb(d / "book.xlsx", 300, head, "xl/worksheets/sheet1.xml", declared_size=1024)


def case_bomb_overlapping(d):
    # One 90 MiB stream (under the per-entry floor) named by 40 entries: 3.6 GB
    # from a 95 KB file unless the package as a whole is limited.
    head = workbook_parts([("Data", one_cell_sheet())])
    write_bomb(d / "book.xlsx", 90, head, "xl/media/image0.bin",
               aliases=[f"xl/media/image{i}.bin" for i in range(1, 40)])


def case_corrupt_deflate(d):
    rows = "".join(f'<row r="{r}"><c r="A{r}"><v>{r * 7919 % 1000}</v></c></row>'
                   for r in range(1, 2001))
    write_zip(d / "book.xlsx", workbook_parts([("Data", sheet_xml("A1:A2000", rows))]))
    data = bytearray((d / "book.xlsx").read_bytes())
    with zipfile.ZipFile(d / "book.xlsx") as z:
        info = z.getinfo("xl/worksheets/sheet1.xml")
    start = info.header_offset + 30 + len(info.filename) + len(info.extra)
    for i in range(start + info.compress_size // 3, start + info.compress_size // 3 + 64):
        data[i] ^= 0x5A
    (d / "book.xlsx").write_bytes(bytes(data))


def case_encrypted_entry(d):
    write_zip(d / "book.xlsx", workbook_parts([("Data", one_cell_sheet())]))
    patch_entry(d / "book.xlsx", "xl/worksheets/sheet1.xml", flags_or=1)


def case_unsupported_method(d):
    write_zip(d / "book.xlsx", workbook_parts([("Data", one_cell_sheet())]))
    patch_entry(d / "book.xlsx", "xl/worksheets/sheet1.xml", method=0x61)


def missing(d, drop):
    parts = workbook_parts([("Data", one_cell_sheet())])
    write_zip(d / "book.xlsx", [p for p in parts if p[0] not in drop])


def case_missing_content_types(d):
    missing(d, {"[Content_Types].xml"})


def case_missing_workbook(d):
    missing(d, {"xl/workbook.xml"})


def case_missing_worksheet(d):
    missing(d, {"xl/worksheets/sheet1.xml"})


def case_missing_relationships(d):
    # Without relationships the sheetId rule finds the worksheet: converts.
    missing(d, {"xl/_rels/workbook.xml.rels"})


# Cells of the wrong type or value: name -> row of cells. The driver knows the outcome.
BAD_CELLS = {
    "unknown_type": '<c r="A1" t="x"><v>1</v></c>',
    "style_not_integer": '<c r="A1" s="abc"><v>1</v></c>',
    "style_out_of_range": '<c r="A1" s="99"><v>1</v></c>',
    "shared_index_out_of_range": '<c r="A1" t="s"><v>7</v></c>',
    "shared_index_not_integer": '<c r="A1" t="s"><v>seven</v></c>',
    "date_not_number": '<c r="A1" s="1"><v>yesterday</v></c>',
    "time_negative": '<c r="A1" s="2"><v>-0.5</v></c>',
    "time_not_number": '<c r="A1" s="2"><v>noon</v></c>',
    "reference_past_xfd": '<c r="XFE1"><v>1</v></c>',
    "reference_huge_column": '<c r="AAAAAAAAAAAAAAAA1"><v>1</v></c>',
    "reference_huge_row": '<c r="A99999999999"><v>1</v></c>',
    "reference_row_zero": '<c r="A0"><v>1</v></c>',
}


def case_bad_cell(d, which):
    sheet = sheet_xml("A1:A1", f'<row r="1">{BAD_CELLS[which]}</row>')
    write_zip(d / "book.xlsx", workbook_parts([("Data", sheet)], shared=["only"], styles=True))


def case_dimension_full(d):
    sheet = sheet_xml("A1:XFD1048576", '<row r="1"><c r="A1"><v>1</v></c></row>')
    write_zip(d / "book.xlsx", workbook_parts([("Data", sheet)]))


def case_dimension_wide(d):
    rows = ('<row r="1"><c r="A1"><v>1</v></c></row><row r="50000"><c r="XFD50000"><v>2</v></c>'
            '</row><row r="100000"><c r="B100000"><v>3</v></c></row>')
    write_zip(d / "book.xlsx", workbook_parts([("Data", sheet_xml("A1:XFD100000", rows))]))


def case_dimension_many_sheets(d):
    # Four sheets of three cells, each declaring the largest extent a table
    # may have: 185 MB of text each, far more than the workbook is worth.
    rows = ('<row r="1"><c r="A1"><v>1</v></c></row><row r="500"><c r="XFD500"><v>2</v></c>'
            '</row><row r="1024"><c r="B1024"><v>3</v></c></row>')
    write_zip(d / "book.xlsx",
              workbook_parts([(f"S{i}", sheet_xml("A1:XFD1024", rows)) for i in range(4)]))


def case_many_cells(d):
    # 30 million cells of 16 bytes of XML each, in one row: 480 MB of XML in
    # a package of about half a MB.
    head = workbook_parts([("Data", "")])
    with zipfile.ZipFile(d / "book.xlsx", "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in head:
            if name != "xl/worksheets/sheet1.xml":
                z.writestr(name, data)
        info = zipfile.ZipInfo("xl/worksheets/sheet1.xml", date_time=(2024, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        with z.open(info, "w") as f:
            f.write(f'<worksheet xmlns="{NS}"><sheetData><row r="1">'.encode())
            chunk = b"<c><v>1</v></c>" * 100_000
            for _ in range(300):
                f.write(chunk)
            f.write(b"</row></sheetData></worksheet>")


def case_deep_nesting(d):
    depth = 100_000
    rows = ('<row r="1"><c r="A1"><v>1</v></c></row>' + "<x>" * depth + "</x>" * depth +
            '<row r="2"><c r="A2"><v>2</v></c></row>')
    write_zip(d / "book.xlsx", workbook_parts([("Data", sheet_xml("A1:A2", rows))]))


def case_long_text_node(d):
    # 10 MB of text without a line break or "/", as a shared string and inline.
    text = "abcdefghij" * 1_000_000
    rows = (f'<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="inlineStr"><is><t>{text}</t>'
            '</is></c></row>')
    write_zip(d / "book.xlsx", workbook_parts([("Data", sheet_xml("A1:B1", rows))], shared=[text]))


def case_long_attribute(d):
    # A 50 MB attribute value and 200,000 attributes on one cell.
    value = "v" * 50_000_000
    many = " ".join(f"a{i}=\"{i}\"" for i in range(200_000))
    rows = f'<row r="1"><c r="A1" junk="{value}" {many}><v>1</v></c></row>'
    write_zip(d / "book.xlsx", workbook_parts([("Data", sheet_xml("A1:A1", rows))]))


def case_sheet_name_traversal(d):
    names = ["../../escaped", "..", "a/../../b", "/absolute", "ok"]
    sheets = [(n, one_cell_sheet(str(i))) for i, n in enumerate(names, 1)]
    write_zip(d / "book.xlsx", workbook_parts(sheets))


def concurrent_sheet(marker, rows):
    body = "".join(f'<row r="{r}"><c r="A{r}" t="inlineStr"><is><t>{marker}{r}</t></is></c>'
                   f'<c r="B{r}"><v>{r}</v></c></row>' for r in range(1, rows + 1))
    return sheet_xml(f"A1:B{rows}", body)


def case_concurrent(d):
    # Two workbooks big enough that their reads would overlap without the lock.
    for marker in ("one", "two"):
        write_zip(d / f"{marker}.xlsx",
                  workbook_parts([(f"{marker}-{k}", concurrent_sheet(marker, 40_000))
                                  for k in range(1, 4)]))


CASES = {
    "not_zip": case_not_zip,
    "truncated_zip": case_truncated_zip,
    "traversal_relative": case_traversal_relative,
    "traversal_backslash": case_traversal_backslash,
    "traversal_absolute": case_traversal_absolute,
    "bomb_3gib": case_bomb_3gib,
    "bomb_lying_size": case_bomb_lying_size,
    "bomb_overlapping": case_bomb_overlapping,
    "corrupt_deflate": case_corrupt_deflate,
    "encrypted_entry": case_encrypted_entry,
    "unsupported_method": case_unsupported_method,
    "missing_content_types": case_missing_content_types,
    "missing_workbook": case_missing_workbook,
    "missing_worksheet": case_missing_worksheet,
    "missing_relationships": case_missing_relationships,
    "dimension_full": case_dimension_full,
    "dimension_wide": case_dimension_wide,
    "dimension_many_sheets": case_dimension_many_sheets,
    "many_cells": case_many_cells,
    "deep_nesting": case_deep_nesting,
    "long_text_node": case_long_text_node,
    "long_attribute": case_long_attribute,
    "sheet_name_traversal": case_sheet_name_traversal,
    "concurrent": case_concurrent,
}
for _which in BAD_CELLS:
    CASES["bad_cell_" + _which] = lambda d, w=_which: case_bad_cell(d, w)


def build(case, folder):
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    CASES[case](folder)


if __name__ == "__main__":
    if sys.argv[1:] == ["--list"]:
        print("\n".join(CASES))
    elif len(sys.argv) == 3:
        build(sys.argv[1], sys.argv[2])
    else:
        sys.exit(__doc__)
