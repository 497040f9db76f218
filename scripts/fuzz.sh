#!/usr/bin/env bash
# Builds the libFuzzer targets fuzz_extract, fuzz_roundtrip and fuzz_stub (preset `fuzz`:
# clang, ASan, UBSan) and runs each for a given time from its checked-in
# corpus, then replays that corpus.
#
#   scripts/fuzz.sh [--time SECONDS] [--build DIR] [--merge] [TARGET...]
#   scripts/fuzz.sh --ci
#
# --time     seconds per target (default 60); new inputs gather in
#            DIR/fuzz-work/TARGET and are kept between runs
# --build    binary folder (default build/fuzz, the preset's)
# --merge    afterwards, shrink the checked-in corpus to inputs that reach
#            every edge the work corpus and it reach together
#            (files named regression-* are always kept)
# --ci       bounded run for the test command: FUZZ_CI_SECONDS (default 12)
#            per target from a throw-away copy of the corpus, then replay
#
# Logs go to DIR/fuzz-logs, findings (crash-*, leak-*, timeout-*) to
# DIR/fuzz-artifacts/TARGET. Exit status 1 when any run or replay found
# a crash, a leak, a timeout or a sanitizer report. FUZZ_JOBS (default 2)
# caps the build's parallel jobs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

ALL_TARGETS=(fuzz_extract fuzz_roundtrip fuzz_stub)
seconds=60
build=build/fuzz
ci=0
merge=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) seconds="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --merge) merge=1; shift ;;
    --ci) ci=1; seconds="${FUZZ_CI_SECONDS:-12}"; shift ;;
    -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    fuzz_*) targets+=("$1"); shift ;;
    *) echo "fuzz.sh: unknown argument '$1' (try --help)" >&2; exit 64 ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${ALL_TARGETS[@]}")

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${ALL_TARGETS[@]}" -j "${FUZZ_JOBS:-2}"

logs="$build/fuzz-logs"
mkdir -p "$logs"
scratch="$(mktemp -d)"
# The targets' sandboxes go to memory where it can be had: they are rewritten for every input.
sandbox_parent=/dev/shm
[ -w "$sandbox_parent" ] || sandbox_parent="${TMPDIR:-/tmp}"
TMPDIR="$(mktemp -d "$sandbox_parent/zvfuzz-run-XXXXXX")"
export TMPDIR
trap 'rm -rf "$TMPDIR" "$scratch"' EXIT
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=0
stamp="$(date +%Y%m%d-%H%M%S)"
for target in "${targets[@]}"; do
  bin="$build/bin/$target"
  corpus="fuzz/corpus/$target"
  artifacts="$build/fuzz-artifacts/$target"
  mkdir -p "$artifacts" "$corpus"
  if [ "$ci" = 1 ]; then
    work="$scratch/$target"
    mkdir -p "$work"
  else
    work="$build/fuzz-work/$target"
    mkdir -p "$work"
  fi
  flags=(-timeout=25 -rss_limit_mb=2048 -max_len=4096 -error_exitcode=77 -timeout_exitcode=78
         -print_final_stats=1 "-artifact_prefix=$artifacts/")
  [ "$target" = fuzz_roundtrip ] || [ "$target" = fuzz_stub ] || flags+=(-dict=fuzz/lzh.dict)
  # A stub's resource section lies some KiB into the file.
  [ "$target" != fuzz_stub ] || flags+=(-max_len=16384)
  log="$logs/$target-$stamp.log"
  printf '\n== %s: %s s\n' "$target" "$seconds"
  if ! "$bin" "${flags[@]}" -max_total_time="$seconds" "$work" "$corpus" >"$log" 2>&1; then
    echo "fuzz.sh: $target found a problem; see $log and $artifacts" >&2
    grep -E 'ERROR:|runtime error|^fuzz fuzz_|SUMMARY' "$log" | head -5 >&2 || true
    failed=1
  fi
  grep -E '^Done|^fuzz figures' "$log" || true
  # Replay the checked-in corpus on its own: every input, once.
  if ! "$bin" -runs=0 "${flags[@]}" "$corpus" >"$log.replay" 2>&1; then
    echo "fuzz.sh: replaying $corpus failed; see $log.replay" >&2
    failed=1
  else
    echo "replayed $(find "$corpus" -type f | wc -l) inputs of $corpus"
  fi
  if [ "$merge" = 1 ] && [ "$failed" = 0 ]; then
    merged="$scratch/merged-$target"
    mkdir -p "$merged"
    # Edges only, not hit counts: one input per edge keeps the corpus small.
    "$bin" -merge=1 -use_counters=0 "${flags[@]}" "$merged" "$corpus" "$work" >>"$log" 2>&1
    # Inputs that once made a target fail stay under their own names.
    find "$corpus" -type f ! -name 'regression-*' -delete
    cp "$merged"/* "$corpus"/
    echo "corpus $corpus: $(find "$corpus" -type f | wc -l) inputs after merging"
  fi
done

bash scripts/fuzz-report.sh "$build" || true
exit "$failed"
