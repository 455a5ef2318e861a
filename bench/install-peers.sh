#!/bin/sh
# Installs the converters the benchmark compares tabulon with: xlsx2csv,
# ssconvert (gnumeric) and the headless office suite's Calc. Only the
# benchmark needs them; the build, the tests and CI never do. Does nothing when
# they are present; uses sudo when not run as root.
#   bench/install-peers.sh [--no-office]
set -eu

PACKAGES="xlsx2csv gnumeric libreoffice-calc-nogui unzip time python3-xlsxwriter"
[ "${1:-}" = "--no-office" ] && PACKAGES="xlsx2csv gnumeric unzip time python3-xlsxwriter"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "install-peers: installing$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
