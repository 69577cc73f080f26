#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer in its own build
# folder and runs it. Any sanitizer report, in a test or in a program a test starts, fails the run.
# Leak checking is off: the graphics driver and the renderer library are unloaded before it runs,
# so what they keep until exit cannot be told apart; the device's shut-down report names the
# objects the program leaves behind.
set -euo pipefail
cd "$(dirname "$0")/.."
reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
export BEXAL_BUILD_DIR=${BEXAL_SANITIZE_BUILD_DIR:-build-sanitize} BEXAL_SANITIZE=1
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=0"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1"
status=0
./test.sh || status=$?
if compgen -G "$reports/*" > /dev/null; then
  echo "Sanitizer reports:"
  for report in "$reports"/*; do
    echo "== $report"
    head -n 60 "$report"
  done
  exit 1
fi
exit "$status"
