#!/usr/bin/env bash
# Fuzzes the frame layer: builds the libFuzzer targets with clang (preset "fuzz", build/fuzz) and
# runs each for SECONDS (default 60) on its work corpus, build/fuzz/corpus/<target>, which starts
# as a copy of fuzz/corpus/<target> and keeps what the runs add (the seeds in the repository are
# never written to). Prints the inputs each target ran. Any finding (a broken invariant, a crash, a
# sanitizer report, a time-out) fails the run; its input is kept in build/fuzz/findings/<target>/
# and can be replayed with: build/fuzz/fuzz/fuzz_<target> build/fuzz/findings/<target>/<file>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

status=0
for target in frame_assembler reply_check encode_input; do
  work="build/fuzz/corpus/$target"
  findings="build/fuzz/findings/$target"
  log="build/fuzz/$target.log"
  mkdir -p "$work" "$findings"
  cp fuzz/corpus/"$target"/* "$work"/
  options=(-max_total_time="$seconds" -max_len=1400 -timeout=10 -rss_limit_mb=2048
           -artifact_prefix="$findings/" -print_final_stats=1)
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  if "build/fuzz/fuzz/fuzz_$target" "${options[@]}" "$work" >"$log" 2>&1; then
    done_line=$(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" | tail -n 1)
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    echo "fuzz_$target: $done_line, ${rate:-?} exec/s, corpus of $(find "$work" -type f | wc -l) inputs"
  else
    echo "fuzz_$target: FINDING (log: $log)"
    grep -E 'invariant broken|ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -n 20 || true
    status=1
  fi
done
exit "$status"
