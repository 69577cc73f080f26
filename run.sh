#!/usr/bin/env bash
# Installs what is missing, builds, generates the demo data and starts the game.
# Arguments are passed to the game as its command line (for example: ./run.sh -win -w 1024).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build_dir=${BEXAL_BUILD_DIR:-build}
# Only what the game needs: ./test.sh builds the tests and benchmarks.
echo "run.sh: building the game (the program, its renderer library and the demo data) in $build_dir/"
./scripts/build.sh game
echo "run.sh: starting $build_dir/bin/bexal $*"
cd "$build_dir/data"
exec ../bin/bexal "$@"
