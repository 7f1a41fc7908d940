#!/usr/bin/env bash
# Installs the system packages Quillory needs (only those missing) and builds it.
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake options...]
#        scripts/setup.sh --packages   (the packages only, no build)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config zlib1g-dev libdeflate-dev liblzma-dev libjpeg62-turbo-dev
  libpng-dev qt6-base-dev qt6-translations-l10n libgl-dev libgtest-dev xvfb xauth fonts-dejavu-core
  poppler-utils clang libclang-rt-14-dev llvm scdoc man-db dpkg-dev appstream)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" != "--packages" ] || exit 0

build_dir=${1:-build}
shift || true
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$build_dir"
