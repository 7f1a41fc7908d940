#!/usr/bin/env bash
# Times quillory-extract on a generated set of movies, start-up dominated and
# work dominated, so its speed can be followed from one change to the next.
# Not a test: it prints figures and judges nothing.
#
# Usage: scripts/bench-extract.sh [BUILD_DIR] [OTHER_QUILLORY_EXTRACT]
#   BUILD_DIR               an optimised build (default build-release, made if missing)
#   OTHER_QUILLORY_EXTRACT  another build of the tool to time beside it
# Each figure is the median wall-clock time of 5 runs (9 against the floor
# program), in milliseconds.
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
  for _ in $(seq "${runs:-5}"); do
    rm -rf "$work/out" && mkdir "$work/out"
    # bash's own clock: no process is started to read it.
    local start=${EPOCHREALTIME/[.,]/} end
    "$@" >/dev/null 2>&1 || true
    end=${EPOCHREALTIME/[.,]/}
    times+=($((end - start)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (${#times[@]} + 1) / 2 ))p" |
    awk '{ printf "%.1f", $1 / 1000 }'
}

# quillory-extract on one movie, or on the batch in one call.
one() { "$1" --out "$work/out" "${@:2}"; }
# The batch movie by movie, one process each.
each() {
  local program=$1
  shift
  for movie in "$@"; do "$program" --out "$work/out" "$movie"; done
}

# The floor: the plainest program that does the same work on a JPEG movie.
# It reads the movie, expands its body with the same library in one call and
# writes each JPEG2 or DefineBits picture's bytes (a DefineBits joined to the
# movie's tables), nothing more.
cat >"$work/floor.cpp" <<'FLOOR'
#include <libdeflate.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
int main(int, char** argv) {
  FILE* In = std::fopen(argv[1], "rb");
  std::fseek(In, 0, SEEK_END);
  const size_t FileSize = size_t(std::ftell(In));
  std::rewind(In);
  auto* File = static_cast<unsigned char*>(std::malloc(FileSize));
  if (std::fread(File, 1, FileSize, In) != FileSize) return 1;
  std::fclose(In);
  const size_t Length = File[4] | File[5] << 8 | File[6] << 16 | size_t(File[7]) << 24;
  auto* Movie = static_cast<unsigned char*>(std::malloc(Length));
  std::memcpy(Movie, File, 8);
  libdeflate_decompressor* D = libdeflate_alloc_decompressor();
  size_t Out = 0;
  libdeflate_zlib_decompress(D, File + 8, FileSize - 8, Movie + 8, Length - 8, &Out);
  size_t At = 8 + ((Movie[8] >> 3) * 4 + 5 + 7) / 8 + 4, Tables = 0, TablesSize = 0;
  for (int N = 0; At + 2 <= 8 + Out;) {
    const unsigned Header = Movie[At] | Movie[At + 1] << 8;
    size_t Size = Header & 63;
    At += 2;
    if (Size == 63) Size = Movie[At] | Movie[At + 1] << 8 | Movie[At + 2] << 16 | size_t(Movie[At + 3]) << 24, At += 4;
    const unsigned Code = Header >> 6;
    if (Code == 8) Tables = At, TablesSize = Size;
    if (Code == 6 || Code == 21) {
      FILE* Jpeg = std::fopen((std::string(argv[2]) + std::to_string(N++) + ".jpg").c_str(), "wb");
      if (Code == 6) std::fwrite(&Movie[Tables], 1, TablesSize - 2, Jpeg);
      std::fwrite(&Movie[At + (Code == 6 ? 4 : 2)], 1, Size - (Code == 6 ? 4 : 2), Jpeg);
      std::fclose(Jpeg);
    }
    At += Size;
  }
  libdeflate_free_decompressor(D);
}
FLOOR
g++ -O2 -o "$work/floor" "$work/floor.cpp" -ldeflate

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

# The tool against the floor on the large JPEG movies, the median of 9 runs,
# start-up included.
runs=9
printf '\n%-34s %10s %10s %7s\n' "against the floor" "ms" "floor ms" "ratio"
for c in jpeg2-large definebits-large; do
  ours=$(median one "$tool" "$work/movies/$c.swf")
  floor=$(median "$work/floor" "$work/movies/$c.swf" "$work/out/")
  printf '%-34s %10s %10s %7s\n' "$c" "$ours" "$floor" \
    "$(awk -v a="$ours" -v b="$floor" 'BEGIN { printf "%.2f", a / b }')"
done
