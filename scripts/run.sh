#!/usr/bin/env bash
# Sets up, builds and starts Quillory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
if [ -x build/bin/quillory ]; then
  exec build/bin/quillory
else
  echo "Quillory is built (build/bin); the main window is not there yet."
fi
