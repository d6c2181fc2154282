#!/usr/bin/env bash
# Makes the inputs of the sheet benchmarks (photos and profiles, generated, never downloaded) in a folder:
#   bench/make-inputs.sh [FOLDER]      default $QUILM_BENCH_INPUTS or /tmp/quilm-bench-inputs
# Uses the benchmark program of the release build ($QUILM_BUILD, default build/release), building it if
# needed. Files already there are kept.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILM_BUILD:-$top/build/release}
folder=${1:-${QUILM_BENCH_INPUTS:-/tmp/quilm-bench-inputs}}
if [ ! -x "$build/bench/SheetRenderBench" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j4 --target SheetRenderBench render_sheet >/dev/null
fi
"$build/bench/SheetRenderBench" --make-inputs "$folder"
echo "$folder"
