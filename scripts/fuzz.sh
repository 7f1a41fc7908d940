#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehavior-
# Sanitizer, in build-fuzz/) and runs each one for a fixed time.
#
# Usage: scripts/fuzz.sh [--check] [SECONDS-PER-TARGET] [TARGET...]
#   TARGET: pipeline, converters, header (all three when none is given)
#   SECONDS-PER-TARGET: 600 by default
#   --check: the test command's short run. Each target starts from the seeds
#            and the regression inputs alone, in a fresh folder; what it finds
#            on the way is not kept.
# Without --check the corpus grows from run to run in build-fuzz/fuzz-corpus/.
# Any finding (crash, sanitizer report, leak, time-out, memory limit) makes the
# script fail; the input that caused it is kept in build-fuzz/fuzz-findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
seconds=600
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(pipeline converters header)
for t in "${targets[@]}"; do
  case "$t" in
    pipeline | converters | header) ;;
    *)
      echo "fuzz.sh: unknown target $t (pipeline, converters or header)" >&2
      exit 2
      ;;
  esac
done

build=build-fuzz
scripts/setup.sh --packages  # clang and libFuzzer among them
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLORY_FUZZ=ON -DQUILLORY_TESTS=OFF
fi
cmake --build "$build" --target quillory-fuzz

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:allocator_may_return_null=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES='qt.gui.imageio*=false'  # damaged PNGs are the point, not news
# The targets' scratch folders live in one folder of this run, removed at the
# end even when a crash left them behind; in memory where it can be, since the
# pipeline target writes and removes files for every input.
scratch_parent=${TMPDIR:-/tmp}
[ -n "${TMPDIR:-}" ] || { [ -d /dev/shm ] && [ -w /dev/shm ] && scratch_parent=/dev/shm; }
TMPDIR=$(mktemp -d "$scratch_parent/quillory-fuzz.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

if [ $check -eq 1 ]; then
  corpus_root=$build/fuzz-check
  timeout=30
else
  corpus_root=$build/fuzz-corpus
  timeout=60
fi
findings_root=$build/fuzz-findings
logs=$build/fuzz-logs
[ $check -eq 0 ] || logs=$corpus_root  # the long runs' logs stay as they are
mkdir -p "$logs"

failed=()
for t in "${targets[@]}"; do
  corpus=$corpus_root/$t
  [ $check -eq 0 ] || rm -rf "$corpus"
  mkdir -p "$corpus" "$findings_root/$t"
  inputs=("$corpus" "$build/fuzz-seeds/$t")
  [ -d "tests/fuzz/regressions/$t" ] && inputs+=("tests/fuzz/regressions/$t")
  log=$logs/$t.log
  echo "fuzz: $t for ${seconds}s (log: $log)"
  status=0
  "$build/bin/quillory-fuzz-$t" -max_total_time="$seconds" -timeout="$timeout" \
    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 -dict=fuzz/quillory.dict \
    -artifact_prefix="$findings_root/$t/" "${inputs[@]}" >"$log" 2>&1 || status=$?
  # The last status line: executions, coverage, corpus.
  grep -E '^#[0-9]+' "$log" | tail -n 1 || true
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  if [ $status -ne 0 ]; then
    echo "fuzz: $t FAILED (exit $status); the end of its log:"
    tail -n 60 "$log"
    artifact=$(grep -oE "Test unit written to [^ ]+" "$log" | tail -n 1 | sed 's/Test unit written to //') || true
    if [ -n "${artifact:-}" ]; then
      echo "fuzz: the input is $artifact; replay it with $build/bin/quillory-fuzz-$t $artifact"
      echo "fuzz: keep it as a regression case: cp $artifact tests/fuzz/regressions/$t/"
    fi
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in: ${failed[*]}"
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds}s each without a finding"
