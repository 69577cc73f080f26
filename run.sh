#!/usr/bin/env bash
# Installs what is missing, builds, generates the demo data and starts the game.
# Arguments are passed to the game as its command line (for example: ./run.sh -win -w 1024).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
build_dir=${BEXAL_BUILD_DIR:-build}
cd "$build_dir/data"
exec ../bin/bexal "$@"
