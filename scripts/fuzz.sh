#!/usr/bin/env bash
# Builds the readers' libFuzzer targets with clang in build-fuzz/ and runs each for a bounded
# time, seeded from the demo data set and the regression files. A crash, a sanitizer report or a
# broken reader promise fails the script; the input is left in build-fuzz/findings/<target>/.
#   FUZZ_SECONDS  seconds each target runs (default 25)
#   BEXAL_DATA    the demo data set to seed from (default build/data)
#   FUZZ_SEED     the generator's seed (default 1, so a run can be repeated)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-25}
data=${BEXAL_DATA:-build/data}
build_dir=build-fuzz

# libFuzzer ships with Debian's clang; install it when this machine lacks it.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > "$probe/p.cpp"
if ! clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  sudo=""; [[ $(id -u) -ne 0 ]] && sudo=sudo
  $sudo apt-get install -y clang libclang-rt-14-dev
fi

if [[ ! -f "$build_dir/build.ninja" ]]; then
  CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBEXAL_FUZZ=ON -DBEXAL_BUILD_BENCHMARKS=OFF \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1"
fi
targets=(fuzz_map_description fuzz_item_definition)
cmake --build "$build_dir" --target "${targets[@]}" --parallel "$(nproc)"

# Seeds: the family's demo files and its regression files.
seed() {
  local corpus=$1 family=$2 pattern=$3
  mkdir -p "$corpus"
  cp tests/fuzz/regressions/"$family"/* "$corpus"/
  if [[ -d "$data" ]]; then
    find "$data" -iname "$pattern" -size -300k -exec cp {} "$corpus"/ \;
  fi
}
status=0
for target in "${targets[@]}"; do
  corpus=$build_dir/corpus/$target
  findings=$build_dir/findings/$target
  case $target in
    fuzz_map_description) seed "$corpus" map '*.mpb' ;;
    fuzz_item_definition) seed "$corpus" item '*.idf' ;;
  esac
  mkdir -p "$findings"
  echo "== $target for ${seconds}s"
  if ! "$build_dir/bin/$target" -max_total_time="$seconds" -seed="${FUZZ_SEED:-1}" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" 2>"$build_dir/$target.log"; then
    tail -n 40 "$build_dir/$target.log"
    echo "$target failed; the input is in $findings/"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "$build_dir/$target.log" | tail -n 2 || true
  fi
done
exit $status
