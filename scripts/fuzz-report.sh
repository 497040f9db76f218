#!/usr/bin/env bash
# Prints the fuzzing figures gathered by scripts/fuzz.sh in a binary folder:
# per target the runs, seconds and executions summed over every log, the
# inputs in the checked-in and work corpora, the findings kept as artifacts,
# sanitizer reports, escapes from the install folder, files left behind and
# descriptors left open.
#
#   scripts/fuzz-report.sh [BUILD-DIR]      (default build/fuzz)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${1:-build/fuzz}"
logs="$build/fuzz-logs"
if [ ! -d "$logs" ]; then
  echo "fuzz-report: no logs in $logs (run scripts/fuzz.sh first)" >&2
  exit 66
fi

count_lines() {  # pattern, files...
  local pattern="$1"; shift
  [ $# -gt 0 ] || { echo 0; return; }
  cat "$@" | grep -cE "$pattern" || true
}

count_files() {  # folder, find tests...
  local dir="$1"; shift
  if [ -d "$dir" ]; then find "$dir" -type f "$@" | wc -l; else echo 0; fi
}

printf '\n%-15s %5s %8s %12s %9s %8s %9s %10s %8s %8s %9s\n' target runs seconds executions corpus work \
  findings sanitizer escapes leftover open-fds
for target in fuzz_extract fuzz_roundtrip; do
  shopt -s nullglob
  runs=("$logs/$target"-*.log)
  all=("$logs/$target"-*.log "$logs/$target"-*.log.replay)
  shopt -u nullglob
  [ ${#runs[@]} -gt 0 ] || continue
  executions=$(cat "${runs[@]}" | sed -n 's/^stat::number_of_executed_units: *//p' | awk '{s+=$1} END {print s+0}')
  seconds=$(cat "${runs[@]}" | sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' | awk '{s+=$1} END {print s+0}')
  corpus=$(count_files "fuzz/corpus/$target")
  work=$(count_files "$build/fuzz-work/$target")
  findings=$(count_files "$build/fuzz-artifacts/$target" \( -name 'crash-*' -o -name 'leak-*' \
    -o -name 'timeout-*' -o -name 'oom-*' \))
  sanitizer=$(count_lines 'ERROR: (Address|Leak)Sanitizer|runtime error:' "${all[@]}")
  escapes=$(count_lines "^fuzz $target: escape" "${all[@]}")
  leftover=$(count_lines "^fuzz $target: left behind" "${all[@]}")
  fds=$(count_lines "^fuzz $target: a file descriptor" "${all[@]}")
  printf '%-15s %5d %8d %12d %9d %8d %9d %10d %8d %8d %9d\n' "$target" "${#runs[@]}" "$seconds" \
    "$executions" "$corpus" "$work" "$findings" "$sanitizer" "$escapes" "$leftover" "$fds"
done

echo
echo "corpus bytes: $(du -sb fuzz/corpus 2>/dev/null | cut -f1) in fuzz/corpus"
