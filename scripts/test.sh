#!/usr/bin/env bash
# Installs what is needed, builds the engine three ways and runs every test:
#   1. the release build (g++), with the benchmarks built;
#   2. AddressSanitizer + UndefinedBehaviorSanitizer (clang), plus each fuzz target for a bounded time;
#   3. ThreadSanitizer (clang), for the tests of the parallel paths;
#   4. the engine's kernel and sheet tests of the g++ build and of a clang build on emulated processors
#      (qemu-user): Haswell (AVX2, no AVX-512) and Nehalem (no AVX), whatever processor runs this.
# Usage: scripts/test.sh            everything
#        QUILM_FUZZ_SECONDS=N       seconds per fuzz target (default 20)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/setup.sh"

jobs=$(nproc)
fuzz_seconds=${QUILM_FUZZ_SECONDS:-20}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

step() { printf '\n=== %s ===\n' "$*"; }

step "release build"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc
cmake --build build/release -j "$jobs"
step "release tests"
ctest --test-dir build/release --output-on-failure -j "$jobs"

step "sanitizer build (address, undefined)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DQUILM_SANITIZE=address -DQUILM_BUILD_BENCH=OFF
cmake --build build/asan -j "$jobs"
step "sanitizer tests"
ctest --test-dir build/asan --output-on-failure -j "$jobs"

step "fuzz targets (${fuzz_seconds} s each)"
shopt -s nullglob
for fuzzer in build/asan/tests/*Fuzzer; do
    name=$(basename "$fuzzer")
    corpus="build/asan/fuzz-corpus/$name"
    mkdir -p "$corpus"
    seeds=()
    [ -d "tests/fixtures/fuzz/$name" ] && seeds+=("tests/fixtures/fuzz/$name")
    echo "-- $name"
    "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        "$corpus" "${seeds[@]}" 2>&1 | tail -n 4
done

step "thread sanitizer build"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DQUILM_SANITIZE=thread -DQUILM_BUILD_BENCH=OFF
cmake --build build/tsan -j "$jobs" --target render_tests support_tests
step "thread sanitizer tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    build/tsan/tests/render_tests --gtest_filter='*Parallel*:*Thread*:*Concurren*'
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    build/tsan/tests/support_tests --gtest_filter='*Parallel*'

# The vector loops are chosen when the program runs, from what the processor says it has: on emulated
# processors both compilers' builds must take the level the processor has and give the same results.
# (QEMU 7.2 emulates AVX2 but not AVX-512; the AVX-512 loops run only where the processor has them.)
step "clang release build of the engine's tests"
cmake -S . -B build/clang -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_COMPILER=clang -DQUILM_BUILD_BENCH=OFF
cmake --build build/clang -j "$jobs" --target render_tests support_tests render_sheet
emulated='VectorKernels*:LanczosResampler*:FilterWeights*:ToneCurves*:ColorTransform*:MatrixShaper*:LabShaper*'
emulated+=':CmykTable*:Colorizer*:LinearSource*:PaperEncoding*:PDFImageWriter*:Sheet*'
# One emulated run: the processor model, the level it must be found to have, the build. QEMU warns of every
# host feature its model names but does not emulate; those lines are noise.
emulate() {
    local cpu=$1 level=$2 build=$3
    echo "-- ${cpu} (${level}), ${build} build"
    QUILM_EXPECTED_VECTOR_LEVEL=$level qemu-x86_64 -cpu "$cpu" "build/$build/tests/support_tests" \
        --gtest_filter='Processor*' --gtest_brief=1 &&
        qemu-x86_64 -cpu "$cpu" "build/$build/tests/render_tests" --gtest_filter="$emulated" --gtest_brief=1
}
step "emulated processors: Haswell (AVX2, no AVX-512) and Nehalem (no AVX), g++ and clang builds"
# Each run keeps about one core busy: they run side by side, each into its own log.
runs=()
for build in release clang; do
    for cpu in Haswell:avx2 Nehalem:baseline; do
        log="build/emulated-${cpu%%:*}-${build}.log"
        emulate "${cpu%%:*}" "${cpu##*:}" "$build" >"$log" 2>&1 &
        runs+=("$!:$log")
    done
done
emulation_failed=0
for run in "${runs[@]}"; do
    wait "${run%%:*}" || emulation_failed=1
    grep -v "TCG doesn't support requested feature" "${run#*:}"
done
[ "$emulation_failed" -eq 0 ] || { echo "an emulated run failed" >&2; exit 1; }

step "all tests passed"
