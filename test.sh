#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
build_dir=${BEXAL_BUILD_DIR:-build}
# Tests draw and play for real, headless: OpenGL on Mesa through EGL, sound on OpenAL's null device.
export SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --timeout 300
