#!/usr/bin/env bash
# Sets up and builds Quillory, then makes its Debian package:
# build/quillory_<version>_amd64.deb, to install with
#   sudo apt install ./build/quillory_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
cmake --build build --target package
ls -1 "$PWD"/build/quillory_*_amd64.deb
