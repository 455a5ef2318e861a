#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into OUTDIR/<target>/.

The seeds come from the test fixtures and the sample workbooks (whole
packages, and their parts sorted by the reader that takes them), plus a few
small hand-written inputs for what the fixtures do not show.
Usage: make_seeds.py SOURCE_DIR OUTDIR
"""
import hashlib
import pathlib
import sys
import zipfile

TARGETS = ["xmlreader", "config", "sharedstrings", "styles", "workbookpart",
           "worksheet", "package"]

EXTRA = {
    "config": [
        b"cell_width_characters=10",
        b"# comment\n[section]\nkey = value\nother: 'quoted' ; tail\n--flag\n--opt=1\n",
        b'[a]\nlong = """two\nlines"""\nraw = r"C:\\temp"\nesc = "tab\\tx\\u00e9"\n',
        b"\xef\xbb\xbfcell_width_characters = 3\r\n[s]\r\nk:v\r\n",
    ],
    "xmlreader": [
        b"<?xml version='1.0'?><!DOCTYPE a [<!ENTITY e 'x'>]><a b=\"1\" c='2' d=e f>"
        b"&amp;&lt;&#65;&#x20AC;&e;<![CDATA[<x>]]><!-- c --> <b/>\n</a>",
    ],
    "worksheet": [
        b'<x:worksheet xmlns:x="s"><x:dimension ref="B2:C3"/><x:sheetData><x:row r="2">'
        b'<x:c r="B2" t="inlineStr"><x:is><x:r><x:t>Bold</x:t></x:r><x:t>n</x:t></x:is></x:c>'
        b'<x:c r="C2" s="2"><x:v>45123.75</x:v></x:c></x:row><x:row><x:c t="str">'
        b'<x:f t="shared" si="0">A1&amp;B1</x:f><x:v>xy</x:v></x:c><x:c t="d"><x:v>2023-01-02</x:v>'
        b'</x:c><x:c t="e"><x:v>#DIV/0!</x:v></x:c><x:c s="3" t="n"><x:v>0.5</x:v></x:c>'
        b'<x:c t="b"><x:v>1</x:v></x:c><x:c t="s"><x:v>2</x:v></x:c></x:row></x:sheetData></x:worksheet>',
        b'<worksheet><dimension ref="A1"/><sheetData><row><c s=""><v xml:space="preserve"> a </v>'
        b'</c></row></sheetData></worksheet>',
    ],
    "sharedstrings": [
        b'<sst count="2"><si><t>a</t></si><si><r><rPr/><t xml:space="preserve">B </t></r>'
        b'<rPh><t>x</t></rPh><t><![CDATA[c]]>&amp;&e;</t></si><si/></sst>',
    ],
    "styles": [
        b'<styleSheet><numFmts count="x"><numFmt numFmtId="164" formatCode="0.000"/>'
        b'<numFmt numFmtId="165" formatCode="[h]:mm;[Red]&quot;d&quot;\\y"/></numFmts>'
        b'<cellXfs><xf/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="165"/>'
        b'<xf numFmtId="57"/></cellXfs></styleSheet>',
    ],
    "workbookpart": [
        b'<workbook xmlns:r="r"><workbookPr date1904="1"/><sheets><sheet sheetId="2" '
        b'name="B" r:id="rId2"/><sheet name="A" sheetId="1" r:id="rId1"/></sheets></workbook>',
        b'<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/>'
        b'<Relationship Id="rId2" Target="/xl/worksheets/sheet2.xml"/></Relationships>',
        b'<x:Types a="1"><x:Override PartName="/xl/workbook.xml"/><Override PartName="/x.xml"/>'
        b'<x:Override PartName="/../../secret.xml"/></x:Types>',
    ],
}


def target_of_part(name):
    low = name.lower()
    if "sharedstrings" in low:
        return "sharedstrings"
    if low.endswith("styles.xml"):
        return "styles"
    if "worksheets/" in low and low.endswith(".xml"):
        return "worksheet"
    if low.endswith("workbook.xml") or low.endswith(".rels") or "content_types" in low:
        return "workbookpart"
    return None


def main():
    source, outdir = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    seeds = {t: [] for t in TARGETS}
    books = sorted(source.glob("tests/fixtures/**/*.xlsx")) + sorted(source.glob("examples/**/*.xlsx"))
    for book in books:
        data = book.read_bytes()
        seeds["package"].append(data)
        with zipfile.ZipFile(book) as z:
            for info in z.infolist():
                if info.is_dir():
                    continue
                part = z.read(info)
                if info.filename.endswith((".xml", ".rels")):
                    seeds["xmlreader"].append(part)
                target = target_of_part(info.filename)
                if target:
                    seeds[target].append(part)
    for target, extra in EXTRA.items():
        seeds[target].extend(extra)
        if target != "config":
            seeds["xmlreader"].extend(extra)
    for target, items in seeds.items():
        folder = outdir / target
        folder.mkdir(parents=True, exist_ok=True)
        for item in items:
            (folder / hashlib.sha1(item).hexdigest()).write_bytes(item)
        print(f"{target}: {len(list(folder.iterdir()))} seeds")


if __name__ == "__main__":
    main()
