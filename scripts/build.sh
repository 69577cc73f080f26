#!/usr/bin/env bash
# Configures (once) and builds everything into build/, the demo data set included.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BEXAL_BUILD_DIR:-build}
# Compiler caching keyed on paths relative to the checkout, so that fresh clones and second
# checkouts (CI, sanitizer builds) reuse each other's objects.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
if [[ ! -f "$build_dir/build.ninja" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --parallel "$(nproc)"
