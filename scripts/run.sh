#!/usr/bin/env bash
# Sets up, builds and starts Quillory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec build/bin/quillory
