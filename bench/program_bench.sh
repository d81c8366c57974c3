#!/bin/sh
# Timed runs of the whole program on scripted sessions.
#   bench/program_bench.sh [path/to/ketrovane] [repetitions]
# Prints the median wall time of each session and its peak memory.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$here/build/src/ketrovane}")
reps=${2:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/Ketrovane.DEF" "$work/"
cd "$work"

# Reaches the first prompt, then meets the end of the input (status 2).
: > first_prompt.in
# Impedance analysis over 10,000 widths with losses, stored.
printf '1\n1\n1\n\n0.01\n1.0099\n0.0001\n0.04\n0.01\n\n\n\n\n\n1\nwidths.txt\n3\n' > widths.in
# Frequency analysis from dimensions over 100,000 frequencies, losses at
# every frequency, VSWR format, stored.
printf '1\n2\n2\n2\n\n0.2\n0.04\n0.01\n\n\n\n\n1\n100000\n1\n1000\n\n\n2\n1\nsweep.txt\n3\n' > sweep.in

median_ms() {  # session
  i=0
  while [ "$i" -lt "$reps" ]; do
    start=$(date +%s%N)
    "$program" < "$1.in" > /dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 ))
    i=$((i + 1))
  done | sort -n | awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] / 1000 }'
}

peak_kib() {
  /usr/bin/time -f %M "$program" < "$1.in" 2>&1 > /dev/null | tail -n 1
}

# The cost of starting any process from this shell, for comparison.
program_under_test=$program
program=/bin/true
echo "baseline (/bin/true): median $(median_ms first_prompt) ms over $reps runs"
program=$program_under_test

for session in first_prompt widths sweep; do
  ms=$(median_ms "$session")
  kib=$(peak_kib "$session")
  rows=""
  [ -f "$session.txt" ] && rows=" ($(grep -c '^    ' "$session.txt" || true) report lines)"
  echo "$session: median ${ms} ms over $reps runs, peak ${kib} KiB$rows"
done
