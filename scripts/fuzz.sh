#!/usr/bin/env bash
# Builds the fuzz targets and runs each one for SECONDS (60 unless given) from the seed corpus and what earlier
# runs kept in build/fuzz/corpus. Fails on the first finding; the input that shows it is left in build/fuzz/findings.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz
cmake --build --preset fuzz -j "$(nproc)"

work=build/fuzz
python3 fuzz/seed_corpus.py "$work/seeds"
mkdir -p "$work/findings"
mapfile -t targets <"$work/fuzz/targets.txt"
for target in "${targets[@]}"; do
  options=()
  [ -f "fuzz/${target%_fuzz}.dict" ] && options+=("-dict=fuzz/${target%_fuzz}.dict")
  mkdir -p "$work/corpus/$target"
  echo "== $target, $seconds s"
  log="$work/$target.log"
  status=0
  "$work/fuzz/$target" "${options[@]}" -max_total_time="$seconds" -timeout=10 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$work/findings/$target-" \
    "$work/corpus/$target" "$work/seeds/$target" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "$target found a fault (exit status $status); its input is in $work/findings, the whole log in $log"
    exit 1
  fi
  grep -E '^(Done|stat::)' "$log"
done
