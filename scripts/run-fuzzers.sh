#!/usr/bin/env bash
# Builds the fuzz preset and runs every libFuzzer target for SECONDS seconds
# (default 60), one after the other, each on a scratch copy of its seed
# corpus. Fails on any finding; the input that caused it is kept in
# build/fuzz/findings/<target>/ and the log in build/fuzz/runs/<target>.log.
#
#   scripts/run-fuzzers.sh [SECONDS] [TARGET...]
set -euo pipefail

seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_definition fuzz_options fuzz_image)

cd "$(dirname "$0")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

# The image harness extracts files on every run: memory is faster than disk.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi

status=0
for target in "${targets[@]}"; do
  corpus=build/fuzz/runs/$target/corpus
  findings=build/fuzz/findings/$target/
  log=build/fuzz/runs/$target.log
  rm -rf "$corpus" "$findings"
  mkdir -p "$corpus" "$findings"
  cp tests/fuzz/"$target"/corpus/* "$corpus"/

  max_len=4096
  [[ $target == fuzz_image ]] && max_len=16384
  if build/fuzz/tests/fuzz/"$target" "$corpus" -max_total_time="$seconds" -timeout=10 \
      -max_len="$max_len" -artifact_prefix="$findings" -print_final_stats=1 \
      </dev/null >"$log" 2>&1; then
    runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
    echo "$target: ${runs:-?} executions in ${seconds} s, no finding"
  else
    status=1
    echo "$target: FINDING (log: $log)"
    grep -E -A40 'ERROR|fuzz check failed' "$log" | head -60 || tail -40 "$log"
    ls "$findings"
  fi
done
exit "$status"
