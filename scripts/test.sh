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

# Emulated processors (qemu-user): the vector loops are chosen when the program runs, from what the processor
# says it has, so on a Haswell (AVX2, no AVX-512) and a Nehalem (no AVX) both compilers' builds must find the
# level that processor has and give the same results. (QEMU 7.2 emulates AVX2 but not AVX-512; the AVX-512
# loops run only where the processor has them.) Each run keeps about one core busy, so the runs go in the
# background, each into its own log: those of the g++ build beside the single-threaded fuzz targets.
emulated='VectorKernels*:LanczosResampler*:FilterWeights*:ToneCurves*:ColorTransform*:MatrixShaper*:LabShaper*'
emulated+=':CmykTable*:Colorizer*:LinearSource*:PaperEncoding*:PDFImageWriter*:Sheet*'
emulated_runs=()
emulate() { # build: starts its runs on both processor models
    local build=$1 cpu level log
    for model in Haswell:avx2 Nehalem:baseline; do
        cpu=${model%%:*} level=${model##*:} log="build/emulated-$cpu-$build.log"
        {
            echo "-- $cpu ($level), $build build"
            QUILM_EXPECTED_VECTOR_LEVEL=$level qemu-x86_64 -cpu "$cpu" "build/$build/tests/support_tests" \
                --gtest_filter='Processor*' --gtest_brief=1 &&
                qemu-x86_64 -cpu "$cpu" "build/$build/tests/render_tests" --gtest_filter="$emulated" \
                    --gtest_brief=1
        } >"$log" 2>&1 &
        emulated_runs+=("$!:$log")
    done
}
# A run still going when a stage fails is not left behind.
stop_emulated() {
    local run
    for run in "${emulated_runs[@]}"; do
        pkill -P "${run%%:*}" 2>/dev/null || true
        kill "${run%%:*}" 2>/dev/null || true
    done
}
trap stop_emulated EXIT

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

emulate release

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

step "clang build of the engine's tests, for the emulated processors"
cmake -S . -B build/clang -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_COMPILER=clang -DQUILM_BUILD_BENCH=OFF
cmake --build build/clang -j "$jobs" --target render_tests support_tests render_sheet
emulate clang
step "emulated processors: Haswell (AVX2, no AVX-512) and Nehalem (no AVX), g++ and clang builds"
emulation_failed=0
for run in "${emulated_runs[@]}"; do
    wait "${run%%:*}" || emulation_failed=1
    # QEMU warns of every host feature its model names but does not emulate: noise.
    grep -v "TCG doesn't support requested feature" "${run#*:}" || true
done
[ "$emulation_failed" -eq 0 ] || { echo "an emulated run failed" >&2; exit 1; }

step "all tests passed"
