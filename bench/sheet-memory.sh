#!/usr/bin/env bash
# Times whole sheet renders of tests/render_sheet and reports each one's peak resident memory beside it, on
# 1, 2 and all cores (taskset): the median wall-clock time of RUNS runs, the median processor time (user and
# system; on a machine shared with other work the steadier of the two) and the highest peak of them
# (/usr/bin/time -v).
# The cases:
#   headline   6000 × 4000 8-bit JPEG filling a 13 × 19 in sheet at 720 ppi, turned, LUT paper profile
#   adobe16    6000 × 4000 16-bit TIFF in its own RGB space on the same sheet, printer-managed colour
#   float32    6000 × 4000 32-bit floating-point TIFF on the headline sheet, paper profile
#   cmyk       6000 × 4000 untagged CMYK JPEG on the headline sheet, paper profile
#   small      3000 × 2000 JPEG on a 4 × 6 in sheet at 360 ppi, paper profile
#   grid35     35 photos of 4000 × 3000 with captions and cut marks on one 13 × 19 in page at 720 ppi
#   long       the headline photo on a sheet twice as long (38 in): memory must stay that of `tall`
#   tall       the headline photo on the 19 in sheet, not turned, the partner of `long`
# A sheet's SHA-256 is printed too, so that a change meant to alter only speed or memory shows at once when
# it altered a byte.
#
# Usage: bench/sheet-memory.sh [CASE ...]     default: headline adobe16 float32 cmyk small grid35 long tall
# Environment: RUNS (3), CORES ("1 2 all"), QUILM_BUILD (build/release), QUILM_RENDER (the render_sheet to
#              time, default the build's), QUILM_BENCH_INPUTS (/tmp/quilm-bench-inputs), QUILM_MEMORY_WORK
#              (/tmp/quilm-memory).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILM_BUILD:-$top/build/release}
inputs=${QUILM_BENCH_INPUTS:-/tmp/quilm-bench-inputs}
work=${QUILM_MEMORY_WORK:-/tmp/quilm-memory}
runs=${RUNS:-3}
cores_list=${CORES:-"1 2 all"}
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(headline adobe16 float32 cmyk small grid35 long tall)

[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (package time)" >&2; exit 1; }
if [ -z "${QUILM_RENDER:-}" ] && { [ ! -x "$build/tests/render_sheet" ] || [ ! -x "$build/bench/SheetRenderBench" ]; }; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j4 --target render_sheet SheetRenderBench >/dev/null
fi
render=${QUILM_RENDER:-$build/tests/render_sheet}
QUILM_BENCH_INPUTS=$inputs QUILM_BUILD=$build "$top/bench/make-inputs.sh" "$inputs" >/dev/null
mkdir -p "$work"
all=$(nproc)

paper=(--paper "$inputs/paper.icc" --intent perceptual --bpc)
case_args() {
    case "$1" in
    headline) args=(--page 936,1368 --resolution 720 --fit fill --turned "${paper[@]}" --sharpen standard
        "$inputs/photo-24mp.jpg") ;;
    adobe16) args=(--page 936,1368 --resolution 720 --fit fill --turned --sharpen standard
        "$inputs/photo-adobe16.tif") ;;
    float32) args=(--page 936,1368 --resolution 720 --fit fill --turned "${paper[@]}" --sharpen standard
        "$inputs/photo-float.tif") ;;
    cmyk) args=(--page 936,1368 --resolution 720 --fit fill --turned "${paper[@]}" --sharpen standard
        "$inputs/photo-cmyk.jpg") ;;
    small) args=(--page 288,432 --resolution 360 --fit fill --turned "${paper[@]}" --sharpen standard
        "$inputs/photo-6mp.jpg") ;;
    tall) args=(--page 936,1368 --resolution 720 --fit fill "${paper[@]}" --sharpen standard
        "$inputs/photo-24mp.jpg") ;;
    long) args=(--page 936,2736 --resolution 720 --fit fill "${paper[@]}" --sharpen standard
        "$inputs/photo-24mp.jpg") ;;
    grid35)
        # 5 × 7 cells; the 20 grid photos, then the first 15 again.
        args=(--grid 175,185,6 --margin 18 --page 936,1368 --resolution 720 --captions --marks "${paper[@]}"
            --sharpen standard)
        photos=()
        for i in $(seq 1 35); do
            photos+=("$(printf '%s/grid-%02d.jpg=Photo %d' "$inputs" $(((i - 1) % 20 + 1)) "$i")")
        done
        ;;
    *) echo "unknown case $1" >&2; exit 2 ;;
    esac
}

# Renders one case on the given cores RUNS times; prints "median-seconds median-cpu-seconds peak-MB sha256".
measure() {
    local name=$1 cores=$2 times=() cpus=() peak=0 out="$work/$1.pdf"
    case_args "$name"
    local command=("$render" "${args[@]}" "$out")
    [ "$name" = grid35 ] && command=("$render" "${args[@]}" "$out" "${photos[@]}")
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -v -o "$work/time.txt" taskset -c "0-$((cores - 1))" "${command[@]}" >/dev/null \
            2>"$work/stderr.txt" || { echo "failed: ${command[*]}" >&2; cat "$work/stderr.txt" >&2; exit 1; }
        local elapsed cpu rss
        elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$work/time.txt")
        cpu=$(awk -F': ' '/(User|System) time \(seconds\)/ { s += $2 } END { print s }' "$work/time.txt")
        rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
        times+=("$elapsed")
        cpus+=("$cpu")
        [ "$rss" -gt "$peak" ] && peak=$rss
    done
    echo "$(median "${times[@]}") $(median "${cpus[@]}") $((peak / 1024)) $(sha256sum "$out" | cut -c1-16)"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

printf 'Sheet renders with %s, median of %d runs (seconds, processor seconds) and peak resident memory (MB)\n\n' \
    "$render" "$runs"
printf '%-9s %5s | %8s %8s %7s | %s\n' case cores seconds "cpu s" MB sha256
printf '%s\n' "----------------+---------------------------+-----------------"
for name in "${cases[@]}"; do
    for c in $cores_list; do
        [ "$c" = all ] && c=$all
        [ "$c" -gt "$all" ] && continue
        read -r t cpu m sum <<<"$(measure "$name" "$c")"
        printf '%-9s %5s | %8.2f %8.2f %7d | %s\n' "$name" "$c" "$t" "$cpu" "$m" "$sum"
    done
done
