#!/bin/bash
# Smoke test of the Windows build under wine, against the Linux build:
#
#   tests/windows/smoke.sh [LINUX_TABULON] [WINDOWS_BUILD_FOLDER]
#   (defaults: build/tabulon and build-windows)
#
# 1. tabulon.exe converts a copy of examples/ and a workbook with a non-ASCII
#    name; the output trees must be byte for byte the Linux build's.
#    So does a workbook large enough to be parsed on threads of its own while
#    it is extracted.
# 2. A missing file, a non-workbook and a hostile archive (an entry named
#    ../evil.xml) give the same "Error: ..." / "Skipped: ..." lines and exit
#    status as on Linux. Windows is given its own paths ("\" separators) and
#    its lines are compared with "\" read as "/" and without the console's CR.
# 3. The window opens under Xvfb with the title "Tabulon" and is closed again
#    by its process id.
# Runs itself under xvfb-run when there is no display.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
LINUX_TABULON="$(realpath "${1:-$ROOT/build/tabulon}")"
WIN_BUILD="$(realpath "${2:-$ROOT/build-windows}")"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$LINUX_TABULON" "$WIN_BUILD"
fi

WORK="$(mktemp -d)"
export WINEPREFIX="${TABULON_WINEPREFIX:-$WORK/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="  # no prompts for the .NET and HTML add-ons
GUI_PID=""
cleanup() {
  [ -n "$GUI_PID" ] && kill "$GUI_PID" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

failures=0
pass() { echo "smoke: ok   $*"; }
fail() { echo "smoke: FAIL $*"; failures=$((failures + 1)); }

for f in "$LINUX_TABULON" "$WIN_BUILD/tabulon.exe"; do
  [ -f "$f" ] || { echo "smoke: missing $f (build it first)"; exit 1; }
done

# Each build runs from a folder of its own, so each writes its default
# configuration beside itself and converts with the default cell width.
mkdir -p "$WORK/bin-linux" "$WORK/bin-win"
cp "$LINUX_TABULON" "$WORK/bin-linux/tabulon"
cp "$WIN_BUILD/tabulon.exe" "$WORK/bin-win/tabulon.exe"

echo "smoke: starting wine (a fresh prefix takes a minute)"
wineboot --init >/dev/null 2>&1 || true

# The same inputs for both builds.
make_inputs() {
  local dir="$1"
  mkdir -p "$dir"
  cp -R "$ROOT/examples" "$dir/examples"
  rm -f "$dir/examples/make_examples.py"
  mkdir -p "$dir/intl"
  cp "$ROOT/examples/Sales.xlsx" "$dir/intl/Übersicht €.xlsx"
  printf 'these are notes, not a workbook\n' >"$dir/notes.xlsx"
  python3 - "$dir/evil.xlsx" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("[Content_Types].xml", "<Types/>")
    z.writestr("../evil.xml", "<x/>")
EOF
  # Two sheets of 60,000 rows (5 MB of XML) and their shared strings last,
  # as spreadsheet programs write them.
  python3 - "$dir/large.xlsx" <<'EOF'
import sys, zipfile
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
def sheet(k):
    rows = "".join('<row r="%d"><c r="A%d"><v>%d</v></c><c r="B%d" t="s"><v>%d</v></c>'
                   '<c r="C%d"><v>%r</v></c></row>' % (r, r, r * k, r, r % 500, r, r / 7.0)
                   for r in range(1, 60001))
    return '<worksheet %s><dimension ref="A1:C60000"/><sheetData>%s</sheetData></worksheet>' % (ns, rows)
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml",
               '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
               '<Override PartName="/xl/workbook.xml"/><Override PartName="/xl/worksheets/sheet1.xml"/>'
               '<Override PartName="/xl/worksheets/sheet2.xml"/>'
               '<Override PartName="/xl/sharedStrings.xml"/></Types>')
    z.writestr("xl/workbook.xml", '<workbook %s xmlns:r="%s"><sheets>'
               '<sheet name="One" sheetId="1" r:id="rId1"/><sheet name="Two" sheetId="2" r:id="rId2"/>'
               '</sheets></workbook>' % (ns, rel))
    z.writestr("xl/_rels/workbook.xml.rels",
               '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
               '<Relationship Id="rId1" Target="worksheets/sheet1.xml"/>'
               '<Relationship Id="rId2" Target="worksheets/sheet2.xml"/></Relationships>')
    z.writestr("xl/worksheets/sheet1.xml", sheet(3))
    z.writestr("xl/worksheets/sheet2.xml", sheet(11))
    z.writestr("xl/sharedStrings.xml", '<sst %s>%s</sst>'
               % (ns, "".join("<si><t>word %d</t></si>" % i for i in range(500))))
EOF
}

# run_case NAME PATH: runs both builds on the relative PATH in their input
# folders (Windows with "\" separators) and compares the output lines and the
# exit status.
run_case() {
  local name="$1" path="$2"
  local lin_rc=0 win_rc=0
  (cd "$WORK/lin" && "$WORK/bin-linux/tabulon" "$path") >"$WORK/$name.lin" 2>&1 || lin_rc=$?
  (cd "$WORK/win" && wine "$WORK/bin-win/tabulon.exe" "${path//\//\\}") >"$WORK/$name.raw" 2>&1 \
    || win_rc=$?
  tr -d '\r' <"$WORK/$name.raw" | tr '\\' / >"$WORK/$name.win"
  if [ "$lin_rc" = "$win_rc" ] && diff -u "$WORK/$name.lin" "$WORK/$name.win" >"$WORK/$name.diff"; then
    pass "$name: $(head -n1 "$WORK/$name.lin") (status $lin_rc)"
  else
    fail "$name: status linux $lin_rc, windows $win_rc"
    cat "$WORK/$name.diff"
  fi
}

make_inputs "$WORK/lin"
make_inputs "$WORK/win"

run_case examples examples
if diff -r "$WORK/lin/zz_examples" "$WORK/win/zz_examples" >"$WORK/tree.diff"; then
  pass "examples: $(find "$WORK/win/zz_examples" -type f | wc -l) sheet files byte-identical"
else
  fail "examples: sheet files differ"
  cat "$WORK/tree.diff"
fi

run_case unicode "intl/Übersicht €.xlsx"
if grep -qF 'Done! - intl\zz_Übersicht €' "$WORK/unicode.raw"; then
  pass "unicode: the output folder is named with \"\\\" and UTF-8 intact"
else
  fail "unicode: unexpected line: $(cat "$WORK/unicode.raw")"
fi
if diff -r "$WORK/lin/intl" "$WORK/win/intl" >"$WORK/intl.diff"; then
  pass "unicode: output folder and sheet files byte-identical"
else
  fail "unicode: outputs differ"
  cat "$WORK/intl.diff"
fi

run_case large large.xlsx
if diff -r "$WORK/lin/zz_large" "$WORK/win/zz_large" >"$WORK/large.diff"; then
  pass "large: $(du -sk "$WORK/win/zz_large" | cut -f1) KB of sheet files byte-identical"
else
  fail "large: sheet files differ"
  head -20 "$WORK/large.diff"
fi

run_case missing missing.xlsx
run_case missing-folder "nowhere/book.xlsx"
run_case not-a-workbook notes.xlsx
run_case hostile-archive evil.xlsx
if [ -e "$WORK/win/evil.xml" ] || [ -e "$WORK/lin/evil.xml" ]; then
  fail "hostile-archive: ../evil.xml was written"
fi

# The window: no PATH opens it.
if [ ! -f "$ROOT/app/gui_entry_wx.cpp" ]; then
  echo "smoke: SKIP window: app/gui_entry_wx.cpp does not exist yet (no window to open)"
elif ! grep -q "gui_entry_wx" "$WIN_BUILD/build.ninja" 2>/dev/null; then
  echo "smoke: SKIP window: $WIN_BUILD was built without the window (see scripts/build-windows' output)"
else
  (cd "$WORK/win" && exec wine "$WORK/bin-win/tabulon.exe") >"$WORK/gui.log" 2>&1 &
  GUI_PID=$!
  found=""
  for _ in $(seq 1 90); do
    found="$(xdotool search --name '^Tabulon$' 2>/dev/null | head -n1 || true)"
    [ -n "$found" ] && break
    kill -0 "$GUI_PID" 2>/dev/null || break
    sleep 1
  done
  if [ -n "$found" ]; then
    pass "window: \"$(xdotool getwindowname "$found")\" is shown (X window $found)"
    kill "$GUI_PID"
    wait "$GUI_PID" 2>/dev/null || true
    GUI_PID=""
    gone=""
    for _ in $(seq 1 20); do
      if ! xdotool search --name '^Tabulon$' >/dev/null 2>&1; then gone=yes; break; fi
      sleep 0.5
    done
    if [ -n "$gone" ]; then pass "window: closed by its process id"; else fail "window: still shown"; fi
  else
    fail "window: no window titled Tabulon appeared"
    cat "$WORK/gui.log"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "smoke: $failures check(s) failed"
  exit 1
fi
echo "smoke: all checks passed"
