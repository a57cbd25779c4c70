#!/usr/bin/env bash
# The whole test run, as CI does it: install what is missing, then build and run ctest with the
# ci preset (build-ci/: the default preset's optimisation), run clang-tidy over the product sources
# (scripts/tidy.sh), build and run ctest with the ci-debug preset (build-ci-debug/: the debug
# preset's ASan + UBSan), then fuzz the parser for a few seconds with clang's libFuzzer
# (build-fuzz/). Stops at the first failure with a non-zero exit code.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# The include direction inside the engine (engine/README.md); cheap, so it runs before any build.
echo "==> engine include direction"
python3 scripts/check-engine-includes.py

# ccache keys on the source and the compiler's arguments; with paths below the checkout made relative and
# the build directory left out of the key, a fresh clone on this machine compiles only what changed.
export CCACHE_BASEDIR="$PWD"
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-10G}"

tests_passed=0

# Configures, builds and tests one preset; adds its test count to tests_passed.
run_preset() {
  local preset=$1 build_dir=$2
  echo "==> [$preset] configure and build"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  echo "==> [$preset] ctest"
  ctest --preset "$preset" --parallel 2 --no-tests=error 2>&1 | tee "$build_dir/ctest.log"
  local total
  total=$(sed -n 's/.*tests failed out of \([0-9][0-9]*\).*/\1/p' "$build_dir/ctest.log" | tail -n 1)
  tests_passed=$((tests_passed + ${total:-0}))
}

# libFuzzer needs clang and its runtime; without them (or when clang cannot build the engine)
# this step is skipped, as the GCC builds above already ran the standalone parser fuzzer.
fuzz_parser() {
  local dir=build-fuzz
  mkdir -p "$dir/corpus"
  echo "==> [fuzz] libFuzzer run of the parser"
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$dir/probe.cpp"
  if ! command -v clang++ >/dev/null 2>&1 ||
    ! clang++ -fsanitize=fuzzer "$dir/probe.cpp" -o "$dir/probe" >/dev/null 2>&1; then
    echo "==> [fuzz] skipped: clang++ with libFuzzer is not usable here"
    return 0
  fi
  if ! cmake -S . -B "$dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCLUBIQA_FUZZ=ON -DCLUBIQA_WERROR=OFF -DCLUBIQA_BUILD_BENCH=OFF \
    >"$dir/configure.log" 2>&1 ||
    ! cmake --build "$dir" --target parser_fuzz tds_fuzz -j2 >"$dir/build.log" 2>&1; then
    tail -n 30 "$dir/configure.log" "$dir/build.log" 2>/dev/null || true
    echo "==> [fuzz] skipped: clang could not build parser_fuzz and tds_fuzz (logs in $dir/)"
    return 0
  fi
  # New inputs go to the first corpus directory (scratch); the checked-in seeds stay untouched.
  "$dir/bin/parser_fuzz" -max_total_time=10 -timeout=20 -print_final_stats=1 \
    -dict=tests/engine/fuzz/tsql.dict -artifact_prefix="$dir/" "$dir/corpus" tests/engine/fuzz/corpus
  echo "==> [fuzz] libFuzzer run of the wire protocol parsers"
  mkdir -p "$dir/tds_corpus"
  "$dir/bin/tds_fuzz" -max_total_time=5 -timeout=20 -print_final_stats=1 -artifact_prefix="$dir/tds_" \
    "$dir/tds_corpus" tests/tools/sqlserverd/fuzz/corpus
}

# The ci presets keep line tables only (-g1): enough for sanitizer reports and backtraces with file and
# line, and about a fifth quicker to compile than full debug information. They build in directories of
# their own, so a developer's build/ and build-debug/ keep full debug information.
run_preset ci build-ci
# clang-tidy reads build-ci/compile_commands.json and the headers generated there. It runs after the ci tests,
# so a change that breaks behaviour is reported as such first, and before the sanitizer build, so findings
# stop the run without waiting for the slowest preset. Clean files are cached (also across clones), so a rerun
# checks only changes; a cold run over all product folders takes about ten minutes on two cores.
echo "==> [tidy] clang-tidy over the product sources"
scripts/tidy.sh --build-dir build-ci
run_preset ci-debug build-ci-debug
fuzz_parser

echo "test.sh: $tests_passed passed, 0 failed"
