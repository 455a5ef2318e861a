#!/bin/sh
# Runs each libFuzzer target of a TABULON_FUZZ build for FUZZ_SECONDS seconds
# (default 60), one after the other, at the lowest priority, each in one
# process. Corpora grow in BUILD/fuzz-corpus/<target> (seeded from the test
# fixtures on every run), crashes land in BUILD/fuzz-artifacts/, full logs in
# BUILD/fuzz-logs/. Prints one line of figures per target; exits 1 when a
# target stopped on a finding.
#   fuzz/run-fuzzers.sh BUILD [TARGET...]      TARGET: xmlreader config ... package
set -u
build=${1:?usage: run-fuzzers.sh BUILD [TARGET...]}
shift
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
targets=${*:-"xmlreader config sharedstrings styles workbookpart worksheet package"}

mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts" "$build/fuzz-logs"
python3 "$here/make_seeds.py" "$here/.." "$build/fuzz-corpus" >/dev/null || exit 1

status=0
for t in $targets; do
  case $t in
    config) dict=$here/config.dict; maxlen=4096 ;;
    xmlreader) dict=$here/xml.dict; maxlen=16384 ;;
    package) dict=$here/xml.dict; maxlen=65536 ;;
    *) dict=$here/xml.dict; maxlen=32768 ;;
  esac
  log=$build/fuzz-logs/$t.log
  # -timeout: one input may not take longer than this (a hang is a finding);
  # -malloc_limit_mb: no single allocation of 1 GiB or more.
  nice -n 19 "$build/fuzz/${t}_fuzz" "$build/fuzz-corpus/$t" \
    -max_total_time="$seconds" -max_len="$maxlen" -dict="$dict" \
    -timeout=20 -rss_limit_mb=2560 -malloc_limit_mb=1024 \
    -artifact_prefix="$build/fuzz-artifacts/$t-" -print_final_stats=1 >"$log" 2>&1
  rc=$?
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(echo "$last" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$last" | sed -n 's/.*ft: \([0-9]*\).*/\1/p')
  corpus=$(ls "$build/fuzz-corpus/$t" | wc -l)
  if [ $rc -eq 0 ]; then result=clean; else result="FINDING (see $log)"; status=1; fi
  echo "$t: ${seconds}s, ${execs:-?} execs, cov ${cov:-?}, ft ${ft:-?}, corpus $corpus: $result"
done
exit $status
