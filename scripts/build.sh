#!/usr/bin/env bash
# Configures (once) and builds into build/: everything, or only the targets named as arguments
# (./run.sh names "game": the program, the renderer library and the demo data set).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BEXAL_BUILD_DIR:-build}
# Compiler caching keyed on paths relative to the checkout, so that fresh clones and second
# checkouts (CI, sanitizer builds) reuse each other's objects.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
if [[ ! -f "$build_dir/build.ninja" ]]; then
  options=()
  # BEXAL_SANITIZE=1: a build under AddressSanitizer and UndefinedBehaviorSanitizer, without the
  # benchmarks, optimised lightly and with line tables only, which compiles fastest while reports
  # still name their lines.
  if [[ -n "${BEXAL_SANITIZE:-}" ]]; then
    options+=(-DBEXAL_SANITIZE=ON -DBEXAL_BUILD_BENCHMARKS=OFF
              "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
  fi
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
fi
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
