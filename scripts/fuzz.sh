#!/usr/bin/env bash
# Builds the readers' libFuzzer targets with clang in build-fuzz/ and runs each for a bounded
# time, seeded from the demo data set and the regression files. A crash, a sanitizer report or a
# broken reader promise fails the script; the input is left in build-fuzz/findings/<target>/.
#   FUZZ_SECONDS  seconds each target runs (default 25)
#   FUZZ_BUDGET   seconds all targets run together at most (default 180; 0 = no cap): each target
#                 gets the smaller of FUZZ_SECONDS and its share, so that adding targets keeps
#                 the run bounded
#   BEXAL_DATA    the demo data set to seed from (default build/data)
#   FUZZ_SEED     the generator's seed (default 1, so a run can be repeated)
#   FUZZ_TARGETS  the targets to build and run, space-separated (default: all of them)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${FUZZ_SECONDS:-25}
data=${BEXAL_DATA:-build/data}
build_dir=build-fuzz
# The compiler cache keyed on paths relative to the checkout, as scripts/build.sh keys it, so that
# the fuzzing build of one checkout reuses another's objects.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}

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
targets=(fuzz_map_description fuzz_item_definition
  fuzz_property_line
  fuzz_weapon_class_lines
  fuzz_formation
  fuzz_patrol_path
  fuzz_ai_text
  fuzz_ai_files
  fuzz_mission_definition
  fuzz_mission_numbers
  fuzz_saved_block
)
if [[ -n ${FUZZ_TARGETS:-} ]]; then
  read -ra targets <<< "$FUZZ_TARGETS"
fi
cmake --build "$build_dir" --target "${targets[@]}" --parallel "$(nproc)"
budget=${FUZZ_BUDGET:-180}
if (( budget > 0 && budget / ${#targets[@]} < seconds )); then
  seconds=$(( budget / ${#targets[@]} ))
  (( seconds >= 1 )) || seconds=1
fi

# Seeds: the family's demo files and its regression files.
seed() {
  local corpus=$1 family=$2 pattern=$3
  mkdir -p "$corpus"
  cp tests/fuzz/regressions/"$family"/* "$corpus"/
  if [[ -d "$data" ]]; then
    find "$data" -iname "$pattern" -size -300k -exec cp {} "$corpus"/ \;
  fi
}
# Property texts live inside the map files: every printable run that starts with a keyword (the
# world's props by default).
world_keywords='ambonly|density|detail|distscale|drawdist|dynshadow|glow|indoorshade|invisible|lod|light|move|particle|rotate|shadowtex|sway|swayprox|ybob|imposter|nosort|fullbright|takeshadow'
seed_property_lines() {
  local corpus=$1 keywords=${2:-$world_keywords}
  [[ -d "$data" ]] || return 0
  find "$data" -iname '*.mpb' -size -300k -exec strings -n 3 {} + |
    { grep -iE "^($keywords)( |\$)" || true; } |
    sort -u | head -n 200 | while IFS= read -r line; do
      printf '%s' "$line" > "$corpus/demo-$(printf '%s' "$line" | md5sum | cut -c1-12)"
    done
}
status=0
for target in "${targets[@]}"; do
  corpus=$build_dir/corpus/$target
  findings=$build_dir/findings/$target
  case $target in
    fuzz_map_description) seed "$corpus" map '*.mpb' ;;
    fuzz_item_definition) seed "$corpus" item '*.idf' ;;
    fuzz_weapon_class_lines) seed "$corpus" class '*.idf' ;;
    fuzz_formation) seed "$corpus" formation '*.for' ;;
    fuzz_patrol_path) seed "$corpus" patrol '*.pth' ;;
    fuzz_ai_text) seed "$corpus" aitext '*.sns'; seed "$corpus" aitext 'AIStats.txt' ;;
    fuzz_property_line) seed "$corpus" prop '*.no-file'; seed_property_lines "$corpus" ;;
    fuzz_ai_files) seed "$corpus" aifiles '*.wps'; seed "$corpus" aifiles '*.cvr' ;;
    fuzz_mission_definition) seed "$corpus" mission '*.mis' ;;
    fuzz_mission_numbers) seed "$corpus" missionnumbers 'TileProperties.txt'
      seed_property_lines "$corpus" 'trigger|stationary|inactive|reinforce|skills|flagspawn|multistart' ;;
    fuzz_saved_block) seed "$corpus" saved '*.no-file' ;;
  esac
  mkdir -p "$findings"
  # Each target runs in a folder of its own; the saved-block target writes the blocks its objects'
  # own Saves write into the corpus, and makes its weapons on the renderer library's device,
  # headless, with the demo data's pictures linked in.
  workdir=$root/$build_dir/run/$target
  rm -rf "$workdir" && mkdir -p "$workdir"
  export BEXAL_FUZZ_SEEDS=""
  if [[ $target == fuzz_saved_block ]]; then
    BEXAL_FUZZ_SEEDS=$root/$corpus
    [[ -d "$data/GameData" ]] && ln -s "$(cd "$data" && pwd)/GameData" "$workdir/GameData"
  fi
  echo "== $target for ${seconds}s"
  if ! (cd "$workdir" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=1 \
       "$root/$build_dir/bin/$target" -max_total_time="$seconds" -seed="${FUZZ_SEED:-1}" -timeout=10 \
       -rss_limit_mb=2048 -artifact_prefix="$root/$findings/" -print_final_stats=1 "$root/$corpus") \
       2>"$build_dir/$target.log"; then
    tail -n 40 "$build_dir/$target.log"
    echo "$target failed; the input is in $findings/"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "$build_dir/$target.log" | tail -n 2 || true
  fi
done
exit $status
