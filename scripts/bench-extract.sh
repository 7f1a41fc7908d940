#!/usr/bin/env bash
# Times quillory-extract on a generated set of movies, start-up dominated and
# work dominated, so its speed can be followed from one change to the next.
# Not a test: it prints figures and judges nothing.
#
# Usage: scripts/bench-extract.sh [BUILD_DIR] [OTHER_QUILLORY_EXTRACT]
#   BUILD_DIR               an optimised build (default build-release, made if missing)
#   OTHER_QUILLORY_EXTRACT  another build of the tool to time beside it
# Each figure is the median wall-clock time of 5 runs, in milliseconds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
other=${2:-}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLORY_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target quillory-extract quillory-bench >/dev/null
tool=$PWD/$build/bin/quillory-extract

work=$(mktemp -d "${TMPDIR:-/tmp}/quillory-bench-extract-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bin/quillory-bench" --write-set "$work/movies"

# The median of 5 runs of a command, in milliseconds; its output folder is
# emptied before each run.
median() {
  local times=()
  for _ in 1 2 3 4 5; do
    rm -rf "$work/out" && mkdir "$work/out"
    # bash's own clock: no process is started to read it.
    local start=${EPOCHREALTIME/[.,]/} end
    "$@" >/dev/null 2>&1 || true
    end=${EPOCHREALTIME/[.,]/}
    times+=($((end - start)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | awk '{ printf "%.1f", $1 / 1000 }'
}

# quillory-extract on one movie, or on the batch in one call.
one() { "$1" --out "$work/out" "${@:2}"; }
# The batch movie by movie, one process each.
each() {
  local program=$1
  shift
  for movie in "$@"; do "$program" --out "$work/out" "$movie"; done
}

small=("$work"/movies/small/*.swf)
cases=(lossless-alpha-1840 lossless-alpha-two jpeg2-six jpeg2-large definebits-large)

printf '%-34s %10s' "movie" "ms"
[ -n "$other" ] && printf ' %10s %7s' "other ms" "ratio"
printf '\n'
row() {
  local name=$1 ours=$2 theirs=${3:-}
  printf '%-34s %10s' "$name" "$ours"
  if [ -n "$theirs" ]; then
    printf ' %10s %7s' "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')"
  fi
  printf '\n'
}
row "--help (start-up)" "$(median "$tool" --help)" \
  "$([ -n "$other" ] && median "$other" --help)"
for c in "${cases[@]}"; do
  row "$c" "$(median one "$tool" "$work/movies/$c.swf")" \
    "$([ -n "$other" ] && median one "$other" "$work/movies/$c.swf")"
done
row "${#small[@]} small movies, one call" "$(median one "$tool" "${small[@]}")" \
  "$([ -n "$other" ] && median one "$other" "${small[@]}")"
row "${#small[@]} small movies, one call each" "$(median each "$tool" "${small[@]}")" \
  "$([ -n "$other" ] && median each "$other" "${small[@]}")"
row "${#small[@]} small movies, -j 1" "$(median one "$tool" -j 1 "${small[@]}")"
row "lossless-alpha-1840, -j 1" "$(median one "$tool" -j 1 "$work/movies/lossless-alpha-1840.swf")"
row "jpeg2-six, -j 1" "$(median one "$tool" -j 1 "$work/movies/jpeg2-six.swf")"
