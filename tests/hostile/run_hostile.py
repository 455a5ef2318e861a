#!/usr/bin/env python3
"""Runs hostile workbooks through the real tabulon binary and checks the exact
outcome of each: the error line on stderr, the exit status, the files written
and not written, the extraction folder gone afterwards, and (outside the
sanitizer build) peak memory under 1 GiB.

    run_hostile.py --tabulon BIN --work DIR [--sanitized] [--show] CASE...

Each case gets DIR/CASE/ afresh: bin/ (a copy of the binary, so that its
configuration file is its own), in/ (the generated workbooks), temp/ (TEMP,
hence the extraction folder and its lock). --show prints what happened
instead of checking it.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_hostile  # noqa: E402

GIB_KB = 1 << 20
TIMEOUT_S = 300  # a hang detector only: a case that takes this long hangs

# What a case must give. error: the stderr line without "Error: " and the
# newline, with {book} for the workbook's path and {x} for the extraction
# folder; None means success ("Done! - " on stdout, status 0). files: the
# exact set of files the output folder must hold, with a text each must
# contain (or None). absent: paths, relative to the case folder, that must not
# exist afterwards.
def unreadable(entry):
    return "[ZIP] unreadable entry in {book}: " + entry + " [InvalidXlsxFileError]"


EXPECT = {
    "not_zip": dict(error="[ZIP] Can't open xlsx file: {book} [InvalidXlsxFileError]"),
    "truncated_zip": dict(error="[ZIP] Can't open xlsx file: {book} [InvalidXlsxFileError]"),
    "traversal_relative": dict(
        error="[ZIP] unsafe entry name in {book}: xl/../../../escaped.txt [InvalidXlsxFileError]",
        absent=["escaped.txt", "temp/escaped.txt", "in/escaped.txt"]),
    "traversal_backslash": dict(
        error="[ZIP] unsafe entry name in {book}: xl\\..\\..\\escaped.txt [InvalidXlsxFileError]",
        absent=["escaped.txt", "temp/escaped.txt", "in/escaped.txt"]),
    "traversal_absolute": dict(
        error="[ZIP] unsafe entry name in {book}: {case}/in/absolute-escape.txt "
              "[InvalidXlsxFileError]",
        absent=["in/absolute-escape.txt"]),
    "bomb_3gib": dict(error="[ZIP] entry too large in {book}: xl/worksheets/sheet1.xml "
                            "[InvalidXlsxFileError]"),
    # The headers claim 1 KiB: the guard counts what is inflated, not what is declared.
    "bomb_lying_size": dict(error="[ZIP] entry too large in {book}: xl/worksheets/sheet1.xml "
                                  "[InvalidXlsxFileError]"),
    # 40 records sharing one 90 MiB stream: stopped by the package's ratio.
    "bomb_overlapping": dict(error="[ZIP] package too large in {book}: xl/media/image1.bin "
                                   "[InvalidXlsxFileError]"),
    "corrupt_deflate": dict(error=unreadable("xl/worksheets/sheet1.xml")),
    "encrypted_entry": dict(error=unreadable("xl/worksheets/sheet1.xml")),
    "unsupported_method": dict(error=unreadable("xl/worksheets/sheet1.xml")),
    "missing_content_types": dict(error="Unable to read file: {x}/[Content_Types].xml [IOError]"),
    "missing_workbook": dict(error="Unable to read file: {x}/xl/workbook.xml [IOError]"),
    "missing_worksheet": dict(error="Unable to read file: {x}/xl/worksheets/sheet1.xml [IOError]"),
    "missing_relationships": dict(files={"Data.txt": "1"}),
    "bad_cell_unknown_type": dict(error="unsupport sheet data kind [UnKnownSheetDataKindError]"),
    "bad_cell_style_not_integer": dict(error="invalid integer: abc [ValueError]"),
    "bad_cell_style_out_of_range": dict(error="index out of bounds: 99 notin 0 .. 2 [IndexError]"),
    "bad_cell_shared_index_out_of_range": dict(
        error="index out of bounds: 7 notin 0 .. 0 [IndexError]"),
    "bad_cell_shared_index_not_integer": dict(error="invalid integer: seven [ValueError]"),
    "bad_cell_date_not_number": dict(error="invalid integer: yesterday [ValueError]"),
    "bad_cell_time_negative": dict(error="value out of range: -0.5 [RangeError]"),
    "bad_cell_time_not_number": dict(error="invalid float: noon [ValueError]"),
    # A column past XFD only widens the sheet; references that cannot be held fail.
    "bad_cell_reference_past_xfd": dict(files={"Data.txt": "1"}),
    "bad_cell_reference_huge_column": dict(error="over- or underflow [OverflowError]"),
    "bad_cell_reference_huge_row": dict(error="invalid cell reference: A99999999999 [ValueError]"),
    "bad_cell_reference_row_zero": dict(error="invalid cell reference: A0 [ValueError]"),
    "dimension_full": dict(error="over- or underflow [OverflowError]"),
    "dimension_wide": dict(error="sheet too large: 100000 rows x 16384 columns exceed 16777216 "
                                 "cells [RangeError]"),
    # Each sheet's 185 MB go to disk as they are rendered, never held whole,
    # so the four are written in little memory.
    "dimension_many_sheets": dict(files={f"S{i}.txt": "|1 " for i in range(4)}),
    "many_cells": dict(error="sheet too large: more than 16777216 cells [RangeError]"),
    "deep_nesting": dict(files={"Data.txt": "2"}),
    "long_text_node": dict(files={"Data.txt": "abcdefghij"}),
    "long_attribute": dict(files={"Data.txt": "1"}),
    "sheet_name_traversal": dict(
        files={".._.._escaped.txt": "1", "__.txt": "2", "a_.._.._b.txt": "3", "_absolute.txt": "4",
               "ok.txt": "5"},
        absent=["escaped.txt", "in/escaped.txt", "b.txt", "in/b.txt", "in/zz_book/b.txt"]),
}


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def prepare(case, work, tabulon):
    folder = (work / case).resolve()
    if folder.exists():
        shutil.rmtree(folder)
    for sub in ("bin", "in", "temp", "home"):
        (folder / sub).mkdir(parents=True)
    shutil.copy2(tabulon, folder / "bin" / "tabulon")
    make_hostile.build(case, folder / "in")
    env = dict(os.environ, TEMP=str(folder / "temp"), TMPDIR=str(folder / "temp"), TZ="UTC",
               HOME=str(folder / "home"), XDG_CONFIG_HOME=str(folder / "home"), LC_ALL="C")
    return folder, env


def start(folder, env, book, measure):
    cmd = [str(folder / "bin" / "tabulon"), str(book)]
    rss_file = folder / (book.stem + ".rss")
    if measure:
        cmd = ["/usr/bin/time", "-f", "%M", "-o", str(rss_file)] + cmd
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return proc, rss_file


def finish(proc, rss_file, measure):
    started = time.monotonic()
    try:
        out, err = proc.communicate(timeout=TIMEOUT_S)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.communicate()
        raise Failure(f"still running after {TIMEOUT_S} s")
    rss = int(rss_file.read_text().split()[-1]) if measure else None
    return proc.returncode, out.decode(errors="replace"), err.decode(errors="replace"), rss, \
        time.monotonic() - started


def files_in(folder):
    if not folder.is_dir():
        return None
    return sorted(p.name for p in folder.iterdir())


def check_common(folder, rss, measure):
    x = folder / "temp" / "xlsx_varno_tmp"
    check(not x.exists(), f"extraction folder left behind: {x}")
    leftovers = [p.name for p in (folder / "temp").iterdir() if p.name != "xlsx_varno_tmp.lock"]
    check(not leftovers, f"left in TEMP: {leftovers}")
    if measure:
        check(rss < GIB_KB, f"peak memory {rss} KiB, over 1 GiB")


def run_single(case, folder, env, measure, show):
    book = folder / "in" / "book.xlsx"
    proc, rss_file = start(folder, env, book, measure)
    status, out, err, rss, secs = finish(proc, rss_file, measure)
    out_folder = folder / "in" / "zz_book"
    if show:
        print(f"{case}: status {status}, {secs:.1f} s, rss {rss} KiB\n  stdout {out!r}\n"
              f"  stderr {err!r}\n  output {files_in(out_folder)}")
        return
    expect = EXPECT[case]
    subst = dict(book=str(book), x=str(folder / "temp" / "xlsx_varno_tmp"), case=str(folder))
    if expect.get("error") is not None:
        want = "Error: " + expect["error"].format(**subst) + "\n"
        check(err == want, f"stderr {err!r}, expected {want!r}")
        check(status == 1, f"exit status {status}, expected 1")
        check(out == "", f"stdout {out!r}, expected nothing")
        # The output folder is made before the workbook is read; nothing goes in
        # it unless sheets before the failing one were converted.
        written = sorted(expect.get("files", {}))
        check(files_in(out_folder) in ((None, []) if not written else (written,)),
              f"output written: {files_in(out_folder)}, expected {written}")
    else:
        check(status == 0 and err == "", f"status {status}, stderr {err!r}")
        check(out == f"Done! - {out_folder}\n", f"stdout {out!r}")
        files = expect.get("files", {})
        check(files_in(out_folder) == sorted(files),
              f"output files {files_in(out_folder)}, expected {sorted(files)}")
        for name, needle in files.items():
            text = (out_folder / name).read_text(errors="replace")
            check(needle is None or needle in text, f"{name} lacks {needle!r}")
    for rel in expect.get("absent", []):
        check(not (folder / rel).exists(), f"{rel} was written")
    check_common(folder, rss, measure)
    print(f"{case}: ok ({secs:.1f} s" + (f", {rss // 1024} MiB)" if measure else ")"))


def run_concurrent(folder, env, measure, show):
    # Two copies, different workbooks, the same TEMP: both must convert their
    # own workbook completely, and leave no extraction folder.
    runs = [start(folder, env, folder / "in" / f"{m}.xlsx", measure) for m in ("one", "two")]
    results = [finish(p, r, measure) for p, r in runs]
    for marker, (status, out, err, rss, secs) in zip(("one", "two"), results):
        out_folder = folder / "in" / f"zz_{marker}"
        if show:
            print(f"concurrent {marker}: status {status}, {secs:.1f} s, rss {rss}\n"
                  f"  {out!r} {err!r} {files_in(out_folder)}")
            continue
        check(status == 0 and err == "", f"{marker}: status {status}, stderr {err!r}")
        names = [f"{marker}-{k}.txt" for k in (1, 2, 3)]
        check(files_in(out_folder) == names, f"{marker}: output {files_in(out_folder)}")
        other = "two" if marker == "one" else "one"
        for name in names:
            text = (out_folder / name).read_text()
            check(f"{marker}1" in text and f"{marker}40000" in text, f"{name} is incomplete")
            check(other not in text, f"{name} holds cells of the other workbook")
        if measure:
            check(rss < GIB_KB, f"{marker}: peak memory {rss} KiB")
    if not show:
        check_common(folder, None, False)
        print("concurrent: ok")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tabulon", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--sanitized", action="store_true",
                        help="sanitizer build: no memory measurement")
    parser.add_argument("--show", action="store_true")
    parser.add_argument("cases", nargs="+")
    args = parser.parse_args()
    measure = not args.sanitized and Path("/usr/bin/time").exists()
    failed = []
    for case in args.cases:
        folder, env = prepare(case, Path(args.work), args.tabulon)
        try:
            if case == "concurrent":
                run_concurrent(folder, env, measure, args.show)
            else:
                run_single(case, folder, env, measure, args.show)
        except Failure as e:
            print(f"{case}: FAILED: {e}")
            failed.append(case)
        else:
            if not args.show:
                shutil.rmtree(folder)  # the large files go as soon as a case passes
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
