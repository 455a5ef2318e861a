#!/bin/sh
# Times the command-line tabulon converting the generated workloads, side by
# side in the same run with the converters users would otherwise pick and with
# the floor of merely unpacking the workbooks:
#   floor      unzip -o -q -d (once per workbook: 200 runs for "many")
#   xlsx2csv   every sheet to CSV (-a)
#   ssconvert  every sheet to CSV (-S, one file per sheet)
#   soffice    the headless office suite, every sheet to CSV (all workbooks of
#              "many" in one call, so that it starts once)
# For each: median wall time of BENCH_RUNS runs (default 3), the largest peak
# resident memory (/usr/bin/time -v), and the ratios tabulon/floor and
# tabulon/fastest peer; last, the ratio of the median CPU times (user +
# system) of tabulon and the floor, the steadier figure on a loaded machine.
# Wall times drift on a shared machine: compare the ratios of one run, not
# figures of different runs.
#
#   bench/convert_bench.sh [TABULON] [WORKDIR]
# Defaults: build/tabulon and build/bench-workloads. The workloads are made
# once by bench/make_workloads.py and reused while that script is unchanged.
# Environment:
#   BENCH_WORKLOADS  which workloads (default "big wide many huge")
#   BENCH_PEERS      which peers (default "xlsx2csv ssconvert soffice"; "" for none)
#   BENCH_RUNS       runs per measurement (default 3)
#   BENCH_PEER_RUNS  runs per peer measurement (default BENCH_RUNS; the peers
#                    take minutes on "huge")
#   BENCH_TIMEOUT    seconds one peer run may take before it is given up (default 900)
# The peers are installed by bench/install-peers.sh (never by the build or CI).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
tabulon=${1:-build/tabulon}
work=${2:-build/bench-workloads}
runs=${BENCH_RUNS:-3}
peer_runs=${BENCH_PEER_RUNS:-$runs}
workloads=${BENCH_WORKLOADS:-big wide many huge}
peers=${BENCH_PEERS-xlsx2csv ssconvert soffice}
limit=${BENCH_TIMEOUT:-900}

[ -x "$tabulon" ] || { echo "convert_bench: no executable at $tabulon" >&2; exit 2; }
case " $peers " in
  *" soffice "*) "$here/install-peers.sh" ;;
  *) [ -z "$peers" ] || "$here/install-peers.sh" --no-office ;;
esac
mkdir -p "$work"
work=$(cd "$work" && pwd)

stamp="$work/.made-by"
want=$(cksum < "$here/make_workloads.py")
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
  echo "convert_bench: generating workloads in $work (takes a few minutes)..."
  rm -rf "$work/big.xlsx" "$work/sheets20.xlsx" "$work/folder200" "$work/huge.xlsx"
  /usr/bin/python3 "$here/make_workloads.py" "$work"
  echo "$want" > "$stamp"
fi

# A private copy with its own default configuration (width 10), and a private
# extraction folder so that other programs' reads never make it wait.
mkdir -p "$work/bin" "$work/temp" "$work/out"
cp "$tabulon" "$work/bin/tabulon"
rm -f "$work/bin/xlsx-to-txt-config.txt"
export TEMP="$work/temp"

target_of() {
  case $1 in
    big) echo "$work/big.xlsx" ;;
    wide) echo "$work/sheets20.xlsx" ;;
    many) echo "$work/folder200" ;;
    huge) echo "$work/huge.xlsx" ;;
  esac
}

# The workbooks of a target, one per line (defined inside each timed shell).
books_fn='books_of() { if [ -d "$1" ]; then find "$1" -name "*.xlsx" | LC_ALL=C sort; else echo "$1"; fi; }'

# The command line of one tool on one target, as a shell script.
script_of() {
  tool=$1 target=$2 out="$work/out/$1"
  case $tool in
    tabulon) echo "\"$work/bin/tabulon\" \"$target\" > /dev/null" ;;
    floor) echo "books_of \"$target\" | while read -r b; do unzip -o -q -d \"$out\" \"\$b\"; done" ;;
    xlsx2csv) echo "books_of \"$target\" | while read -r b; do xlsx2csv -a \"\$b\" \"$out\" > /dev/null; done" ;;
    ssconvert) echo "books_of \"$target\" | while read -r b; do ssconvert -S \"\$b\" \"$out/%s.csv\" > /dev/null 2>&1; done" ;;
    soffice)
      # Every sheet (the last field, -1), UTF-8, comma-separated.
      echo "books_of \"$target\" | xargs soffice -env:UserInstallation=file://$work/office-profile --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1' --outdir \"$out\" > /dev/null 2>&1" ;;
  esac
}

# Runs one tool runs times; prints "median-seconds peak-KiB median-cpu-seconds",
# or "- - -" when it failed or ran out of time.
measure() {
  tool=$1 target=$2 n=$runs
  case $tool in tabulon | floor) ;; *) n=$peer_runs ;; esac
  cmd=$(script_of "$tool" "$target")
  times="" cpus="" peak=0 i=0
  while [ $i -lt "$n" ]; do
    rm -rf "$work/out/$tool" && mkdir -p "$work/out/$tool"
    # tabulon writes its zz_ folders beside the workbooks: like the others,
    # it starts with none, instead of replacing the previous run's files.
    [ "$tool" = tabulon ] && rm -rf "$work"/zz_*
    # Each run starts on a quiet disk: the write-back of the previous run's
    # hundreds of MB would otherwise stall this one's file creations.
    sync
    if ! /usr/bin/time -v -o "$work/time.log" timeout "$limit" \
         sh -c "$books_fn; $cmd" \
         > "$work/run.log" 2>&1; then
      echo "convert_bench: $tool on $(basename "$target") failed or took over ${limit}s" >&2
      tail -3 "$work/run.log" >&2
      echo "- - -"
      return
    fi
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.log" |
           awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.log")
    cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$work/time.log")
    times="$times $wall"
    cpus="$cpus $cpu"
    [ "$rss" -gt "$peak" ] && peak=$rss
    i=$((i + 1))
  done
  median=$(echo $times | tr ' ' '\n' | sort -n | sed -n "$(( (n + 1) / 2 ))p")
  cpu=$(echo $cpus | tr ' ' '\n' | sort -n | sed -n "$(( (n + 1) / 2 ))p")
  echo "$median $peak $cpu"
}

fmt() {  # seconds KiB -> "1.23 s, 45 MiB"
  if [ "$1" = "-" ]; then echo "-"; else awk -v s="$1" -v k="$2" 'BEGIN { printf "%.2f s, %.0f MiB", s, k / 1024 }'; fi
}

# The office suite's first start writes its profile: done once, untimed.
case " $peers " in
  *" soffice "*)
    if [ ! -d "$work/office-profile" ]; then
      echo "convert_bench: first start of soffice (untimed)..."
      mkdir -p "$work/out/warm"
      soffice -env:UserInstallation="file://$work/office-profile" --headless --convert-to csv \
        --outdir "$work/out/warm" "$(find "$work/folder200" -name '*.xlsx' | LC_ALL=C sort | head -1)" \
        > /dev/null 2>&1 || true
    fi ;;
esac

printf '%-6s | %-22s | %-22s |' "load" "tabulon" "floor (unzip)"
for p in $peers; do printf ' %-22s |' "$p"; done
printf ' %-13s | %-13s | %s\n' "tabulon/floor" "tabulon/peer" "CPU tabulon/floor"
for w in $workloads; do
  target=$(target_of "$w")
  set -- $(measure tabulon "$target"); t_s=$1 t_k=$2 t_c=$3
  set -- $(measure floor "$target"); f_s=$1 f_k=$2 f_c=$3
  line=$(printf '%-6s | %-22s | %-22s |' "$w" "$(fmt "$t_s" "$t_k")" "$(fmt "$f_s" "$f_k")")
  best="-"
  for p in $peers; do
    set -- $(measure "$p" "$target")
    line="$line$(printf ' %-22s |' "$(fmt "$1" "$2")")"
    if [ "$1" != "-" ]; then
      if [ "$best" = "-" ] || awk -v a="$1" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$1; fi
    fi
  done
  ratio() { if [ "$1" = "-" ] || [ "$2" = "-" ]; then echo "-"; else awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; fi; }
  printf '%s %-13s | %-13s | %s (%s s / %s s)\n' "$line" "$(ratio "$t_s" "$f_s")" "$(ratio "$t_s" "$best")" \
    "$(ratio "$t_c" "$f_c")" "$t_c" "$f_c"
done
