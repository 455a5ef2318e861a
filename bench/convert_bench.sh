#!/bin/sh
# Times the command-line tabulon converting generated workloads: median wall
# time and median CPU time (user + system) of 3 runs, and the largest peak
# resident memory (/usr/bin/time -v). On a loaded machine the CPU time is the
# steadier figure: every read extracts the package to disk, so the wall time
# also waits on the file system.
#   bench/convert_bench.sh [TABULON] [WORKDIR]
# Defaults: build/tabulon and build/bench-workloads. The workloads are made
# once by bench/make_workloads.py and reused while that script is unchanged.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
tabulon=${1:-build/tabulon}
work=${2:-build/bench-workloads}
runs=3

[ -x "$tabulon" ] || { echo "convert_bench: no executable at $tabulon" >&2; exit 2; }
mkdir -p "$work"
stamp="$work/.made-by"
want=$(cksum < "$here/make_workloads.py")
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
  echo "convert_bench: generating workloads in $work (takes a minute)..."
  rm -rf "$work/big.xlsx" "$work/sheets20.xlsx" "$work/folder200"
  /usr/bin/python3 "$here/make_workloads.py" "$work"
  echo "$want" > "$stamp"
fi

# A private copy with its own default configuration (width 10).
mkdir -p "$work/bin"
cp "$tabulon" "$work/bin/tabulon"
rm -f "$work/bin/xlsx-to-txt-config.txt"

printf '%-32s %10s %9s %15s\n' "workload" "wall (s)" "CPU (s)" "peak RSS (MiB)"
for target in big.xlsx sheets20.xlsx folder200; do
  times=""
  cpus=""
  peak=0
  i=0
  while [ $i -lt $runs ]; do
    /usr/bin/time -v "$work/bin/tabulon" "$work/$target" > /dev/null 2> "$work/time.log" || {
      cat "$work/time.log" >&2; exit 1; }
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.log" |
           awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
    cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$work/time.log")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.log")
    times="$times $wall"
    cpus="$cpus $cpu"
    [ "$rss" -gt "$peak" ] && peak=$rss
    i=$((i + 1))
  done
  median=$(echo $times | tr ' ' '\n' | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  cpu=$(echo $cpus | tr ' ' '\n' | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  case $target in
    big.xlsx) label="1 sheet, 1,000,000 cells" ;;
    sheets20.xlsx) label="20 sheets x 5,000 x 10" ;;
    folder200) label="folder of 200 small workbooks" ;;
  esac
  printf '%-32s %10s %9s %15s\n' "$label" "$median" "$cpu" "$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')"
done
