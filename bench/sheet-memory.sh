#!/usr/bin/env bash
# Times whole sheet renders of tests/render_sheet and reports each one's peak resident memory beside it, on
# 1, 2 and all cores (taskset): the median wall-clock time of RUNS runs, the median processor time (user and
# system; on a machine shared with other work the steadier of the two) and the highest peak of them
# (/usr/bin/time -v).
# The cases:
#   headline   6000 × 4000 8-bit JPEG filling a 13 × 19 in sheet at 720 ppi, turned, LUT paper profile
#   jpeg       the headline photo and sheet with printer-managed colour (sRGB out)
#   adobe16    6000 × 4000 16-bit TIFF in an Adobe RGB-like space on the same sheet, printer-managed colour
#   prophoto16 6000 × 4000 16-bit TIFF in a ProPhoto-like space on the same sheet, printer-managed colour
#   float32    6000 × 4000 32-bit floating-point TIFF on the headline sheet, paper profile
#   cmyk       6000 × 4000 untagged CMYK JPEG on the headline sheet, paper profile
#   small      3000 × 2000 JPEG on a 4 × 6 in sheet at 360 ppi, paper profile
#   grid35     35 photos of 4000 × 3000 with captions and cut marks on one 13 × 19 in page at 720 ppi
#   long       the headline photo on a sheet twice as long (38 in): memory must stay that of `tall`
#   tall       the headline photo on the 19 in sheet, not turned, the partner of `long`
# Further photo kinds on the headline sheet, not run unless named: table16 (16-bit TIFF with a table-based
# RGB profile), lab16 (16-bit CIELab TIFF), gray (untagged greyscale JPEG), cmyk16 and gray16 (untagged
# 16-bit CMYK and greyscale TIFFs), each printer-managed; a "-paper" suffix (adobe16-paper,
# prophoto16-paper, table16-paper, lab16-paper, gray-paper, cmyk16-paper, gray16-paper) prints through
# the paper profile instead, a "-srgb" suffix (float32-srgb, cmyk-srgb) printer-managed.
# Every case on the headline sheet shows the processor time of the JPEG on the same sheet and colour mode
# (headline for the paper profile, jpeg for printer-managed colour) beside its own, and the ratio of the two.
# A sheet's SHA-256 is printed too, so that a change meant to alter only speed or memory shows at once when
# it altered a byte. With QUILM_REFERENCE_RENDER set to another build's render_sheet, each case is also
# rendered once by it and the two sheets are compared sample by sample (bench/SheetDiff): the largest
# difference in 16-bit codes and the share of samples that differ at all.
#
# Usage: bench/sheet-memory.sh [CASE ...]     default: headline jpeg adobe16 prophoto16 float32 cmyk small
#                                                      grid35 long tall
# Environment: QUILM_VECTOR_LEVEL (baseline, avx2 or avx512: caps the engine's vector level),
#              RUNS (3), CORES ("1 2 all"), QUILM_BUILD (build/release), QUILM_RENDER (the render_sheet to
#              time, default the build's), QUILM_BENCH_INPUTS (/tmp/quilm-bench-inputs), QUILM_MEMORY_WORK
#              (/tmp/quilm-memory), QUILM_REFERENCE_RENDER (none).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILM_BUILD:-$top/build/release}
inputs=${QUILM_BENCH_INPUTS:-/tmp/quilm-bench-inputs}
work=${QUILM_MEMORY_WORK:-/tmp/quilm-memory}
runs=${RUNS:-3}
cores_list=${CORES:-"1 2 all"}
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(headline jpeg adobe16 prophoto16 float32 cmyk small grid35 long tall)

[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (package time)" >&2; exit 1; }
if [ ! -x "$build/tests/render_sheet" ] || [ ! -x "$build/bench/SheetRenderBench" ] || [ ! -x "$build/bench/SheetDiff" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j4 --target render_sheet SheetRenderBench SheetDiff >/dev/null
fi
reference_render=${QUILM_REFERENCE_RENDER:-}
render=${QUILM_RENDER:-$build/tests/render_sheet}
QUILM_BENCH_INPUTS=$inputs QUILM_BUILD=$build "$top/bench/make-inputs.sh" "$inputs" >/dev/null
mkdir -p "$work"
all=$(nproc)

paper=(--paper "$inputs/paper.icc" --intent perceptual --bpc)
headline_sheet=(--page 936,1368 --resolution 720 --fit fill --turned --sharpen standard)
# Sets args (and photos for the grid) for a case, and reference: the case whose processor time it is
# compared with (empty for none).
case_args() {
    reference=""
    local photo="" colour=()
    case "$1" in
    headline) photo=photo-24mp.jpg colour=("${paper[@]}") ;;
    jpeg) photo=photo-24mp.jpg ;;
    adobe16 | prophoto16 | table16 | lab16) photo=photo-$1.tif ;;
    adobe16-paper | prophoto16-paper | table16-paper | lab16-paper)
        photo=photo-${1%-paper}.tif colour=("${paper[@]}") ;;
    gray) photo=photo-gray.jpg ;;
    gray-paper) photo=photo-gray.jpg colour=("${paper[@]}") ;;
    float32) photo=photo-float.tif colour=("${paper[@]}") ;;
    float32-srgb) photo=photo-float.tif ;;
    cmyk) photo=photo-cmyk.jpg colour=("${paper[@]}") ;;
    cmyk-srgb) photo=photo-cmyk.jpg ;;
    cmyk16 | gray16) photo=photo-$1.tif ;;
    cmyk16-paper | gray16-paper) photo=photo-${1%-paper}.tif colour=("${paper[@]}") ;;
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
    if [ -n "$photo" ]; then
        args=("${headline_sheet[@]}" "${colour[@]}" "$inputs/$photo")
        if [ ${#colour[@]} -gt 0 ]; then reference=headline; else reference=jpeg; fi
        [ "$1" = "$reference" ] && reference=""
    fi
    return 0
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
# Renders a case once with the reference program and compares it with the last sheet measure made of it;
# prints "largest-difference differing-percent".
compare_with_reference() {
    local name=$1 out="$work/$1.reference.pdf"
    case_args "$name"
    local command=("$reference_render" "${args[@]}" "$out")
    [ "$name" = grid35 ] && command=("$reference_render" "${args[@]}" "$out" "${photos[@]}")
    "${command[@]}" >/dev/null 2>"$work/stderr.txt" || { echo "failed: ${command[*]}" >&2; exit 1; }
    local largest differing beyond samples
    read -r largest differing beyond samples <<<"$("$build/bench/SheetDiff" "$out" "$work/$name.pdf" || true)"
    rm -f "$out"
    [ -n "$samples" ] || { echo "SheetDiff could not compare $name" >&2; exit 1; }
    echo "$largest $(awk -v d="$differing" -v n="$samples" 'BEGIN { printf "%.3f", 100 * d / n }')"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# The machine and the vector level the engine's loops run at (QUILM_VECTOR_LEVEL caps it), for the record.
processor=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
printf 'Processor: %s (%s processors); engine vector level: %s\n' "${processor:-unknown}" "$(nproc)" \
    "$("$render" --vector-level 2>/dev/null || echo "not reported by this render_sheet")"
printf 'Sheet renders with %s, median of %d runs (seconds, processor seconds) and peak resident memory (MB);\n' \
    "$render" "$runs"
printf 'beside each, the processor time of the JPEG on the same sheet and colour mode and the ratio\n'
if [ -n "$reference_render" ]; then
    printf 'compared with the sheets of %s: largest difference in 16-bit codes, share of samples that differ\n' \
        "$reference_render"
fi
printf '\n%-16s %5s | %8s %8s %7s | %8s %6s | %s\n' case cores seconds "cpu s" MB "JPEG cpu" ratio sha256
printf '%s\n' "-----------------------+---------------------------+-----------------+-----------------"
declare -A cpu_of
for name in "${cases[@]}"; do
    case_args "$name"
    ref=$reference
    for c in $cores_list; do
        [ "$c" = all ] && c=$all
        [ "$c" -gt "$all" ] && continue
        read -r t cpu m sum <<<"$(measure "$name" "$c")"
        cpu_of[$name:$c]=$cpu
        ref_cpu="-" ratio="-"
        if [ -n "$ref" ]; then
            if [ -z "${cpu_of[$ref:$c]:-}" ]; then
                read -r _ cpu_of[$ref:$c] _ _ <<<"$(measure "$ref" "$c")"
            fi
            ref_cpu=$(printf '%.2f' "${cpu_of[$ref:$c]}")
            ratio=$(awk -v a="$cpu" -v b="${cpu_of[$ref:$c]}" 'BEGIN { printf "%.2f", a / b }')
        fi
        printf '%-16s %5s | %8.2f %8.2f %7d | %8s %6s | %s\n' "$name" "$c" "$t" "$cpu" "$m" "$ref_cpu" "$ratio" "$sum"
    done
    if [ -n "$reference_render" ]; then
        read -r largest share <<<"$(compare_with_reference "$name")"
        printf '%-16s       | against the reference: largest difference %s codes, %s %% of samples differ\n' \
            "$name" "$largest" "$share"
    fi
done
