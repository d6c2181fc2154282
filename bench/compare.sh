#!/usr/bin/env bash
# Times whole sheet renders against two peers doing the same work on the same inputs, in one run:
#   ours         tests/render_sheet: decode, Lanczos-3 in linear light, encode, output sharpening, 16 bits,
#                paper profile, streamed 16-bit PDF
#   ImageMagick  convert (IM 6, Q16): linear light, Lanczos, unsharp, ICC, 16-bit TIFF
#   libvips      bench/vips-chain.c: one streamed pipeline: ICC import to linear light, bicubic enlargement,
#                sharpen, ICC export at 16 bits, TIFF
# Each case runs under taskset on 1, 2 and all cores, RUNS times (median reported) after WARMUP untimed runs,
# with peak memory from /usr/bin/time -v; then a table of times, memory and ratios is printed. (The first
# runs after another program wrote its sheet can take twice the system time while the kernel hands memory
# back out; the untimed runs let each program start from the same state.) With COLD=1 every timed run starts
# cold instead, without untimed runs: the sheets of earlier runs are deleted, the page cache is dropped (as
# root) and the machine waits COLD_WAIT seconds, long enough for a virtual machine to hand the freed memory
# back to its host, so that each program finds its memory afresh and reads its photo from the disk.
# A quality cross-check follows: our image stream against ImageMagick's output of the same sheet (sharpening
# off on both sides, since the two sharpen differently), with a PSNR floor, and deliberately faulty
# ImageMagick variants (resampled in gamma space, shifted half a pixel, turned the wrong way) to show the
# floor catches such faults.
#
# Usage: bench/compare.sh [CASE ...]     cases: headline adobe16 prophoto16 small (default: headline adobe16
#                                        small); adobe16 and prophoto16 are 16-bit TIFFs in wide spaces,
#                                        printed with printer-managed colour (sRGB out)
# Environment: QUILM_VECTOR_LEVEL (baseline, avx2 or avx512: caps the engine's vector level),
#              RUNS (3), WARMUP (1), COLD (0), COLD_WAIT (20), CORES ("1 2 all"), QUILM_BUILD (build/release),
#              QUILM_BENCH_INPUTS
#              (/tmp/quilm-bench-inputs), QUILM_COMPARE_WORK (/tmp/quilm-compare), PSNR_FLOOR (42),
#              PEERS ("magick vips": the peers to time; the quality check always uses ImageMagick).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILM_BUILD:-$top/build/release}
inputs=${QUILM_BENCH_INPUTS:-/tmp/quilm-bench-inputs}
work=${QUILM_COMPARE_WORK:-/tmp/quilm-compare}
runs=${RUNS:-3}
warmup=${WARMUP:-1}
cold=${COLD:-0}
cold_wait=${COLD_WAIT:-20}
cores_list=${CORES:-"1 2 all"}
peers=${PEERS:-"magick vips"}
psnr_floor=${PSNR_FLOOR:-42}
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(headline adobe16 small)

if [ "$cold" = 1 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "COLD=1 drops the page cache, which needs root" >&2; exit 1; }
    warmup=0
fi

# ---- tools ----
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
missing=()
for package in imagemagick libvips-tools libvips-dev time poppler-utils; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
# ImageMagick 6 by its own name (a `convert` earlier on the PATH may be something else).
magick=$(command -v convert-im6.q16 || echo /usr/bin/convert)
compare=$(command -v compare-im6.q16 || echo /usr/bin/compare)
# The distribution's policy caps ImageMagick at 256 MiB and 128 megapixels, too little for a 13 × 19 in sheet
# at 720 ppi; these limits let it work in memory, as the other two do.
mkdir -p "$work/magick"
cat >"$work/magick/policy.xml" <<'EOF'
<policymap>
  <policy domain="resource" name="memory" value="16GiB"/>
  <policy domain="resource" name="map" value="16GiB"/>
  <policy domain="resource" name="area" value="8GP"/>
  <policy domain="resource" name="disk" value="32GiB"/>
  <policy domain="resource" name="width" value="128KP"/>
  <policy domain="resource" name="height" value="128KP"/>
</policymap>
EOF
export MAGICK_CONFIGURE_PATH="$work/magick"

if [ ! -x "$build/tests/render_sheet" ] || [ ! -x "$build/bench/SheetRenderBench" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j4 --target render_sheet SheetRenderBench >/dev/null
fi
render="$build/tests/render_sheet"
"$top/bench/make-inputs.sh" "$inputs" >/dev/null
vips_chain="$work/vips-chain"
cc -O2 -o "$vips_chain" "$top/bench/vips-chain.c" $(pkg-config --cflags --libs vips)

all=$(nproc)

# ---- the cases: sheet size in points, resolution, photo, colour ----
# Sharpening sigma in pixels, as ours computes it: 0.07 mm on paper.
sigma_for() { awk -v r="$1" 'BEGIN { s = r * 0.07 / 25.4; if (s < 0.3) s = 0.3; printf "%.4f", s }'; }

case_setup() {
    case "$1" in
    headline) page=936,1368 res=720 w=9360 h=13680 photo=photo-24mp.jpg paper=1 ;;
    adobe16) page=936,1368 res=720 w=9360 h=13680 photo=photo-adobe16.tif paper=0 ;;
    prophoto16) page=936,1368 res=720 w=9360 h=13680 photo=photo-prophoto16.tif paper=0 ;;
    small) page=288,432 res=360 w=1440 h=2160 photo=photo-6mp.jpg paper=1 ;;
    *) echo "unknown case $1" >&2; exit 2 ;;
    esac
    sigma=$(sigma_for "$res")
}

# Each of these sets `cmd` to a command line. Ours: $1 is the sharpening level.
ours_cmd() {
    local color=()
    [ "$paper" = 1 ] && color=(--paper "$inputs/paper.icc" --intent perceptual --bpc)
    cmd=("$render" --page "$page" --resolution "$res" --fit fill --turned "${color[@]}" --sharpen "$1"
        "$inputs/$photo" "$work/ours.pdf")
}

# ImageMagick: into linear light, turn clockwise, Lanczos to fill, crop the centre, back to the photo's
# space, unsharp (when $1 is 1), then convert to the paper (after tagging the working space again: the
# colour-space operators drop the photo's profile) or, for the driver-managed case, stay in sRGB. Further
# arguments go in right after the resampling (the faulty variants use that).
magick_cmd() {
    local sharpen=() out=$2
    [ "$1" = 1 ] && sharpen=(-unsharp "0x${sigma}+0.8+0")
    shift 2
    if [ "$paper" = 0 ]; then
        # Driver-managed: the Adobe RGB photo is brought to sRGB first, the output stays sRGB.
        cmd=("$magick" "$inputs/$photo" -profile "$inputs/srgb.icc" -colorspace RGB -rotate 90 -filter Lanczos
            -resize "${w}x${h}^" -gravity center -extent "${w}x${h}" "$@" -colorspace sRGB "${sharpen[@]}"
            -depth 16 "$out")
        return
    fi
    cmd=("$magick" "$inputs/$photo" -colorspace RGB -rotate 90 -filter Lanczos -resize "${w}x${h}^"
        -gravity center -extent "${w}x${h}" "$@" -colorspace sRGB "${sharpen[@]}" -profile "$inputs/srgb.icc"
        -intent Perceptual -black-point-compensation -profile "$inputs/paper.icc" -depth 16 "$out")
}

vips_cmd() {
    if [ "$paper" = 1 ]; then
        cmd=("$vips_chain" "$inputs/$photo" "$work/vips.tif" "$inputs/paper.icc" "$w" "$h" 1 "$sigma" perceptual 1)
    else
        cmd=("$vips_chain" "$inputs/$photo" "$work/vips.tif" "$inputs/srgb.icc" "$w" "$h" 1 "$sigma" relative 0)
    fi
}

# Runs a command RUNS times on the given cores; prints "median-seconds peak-MB".
measure() {
    local cores=$1; shift
    local cpus=0-$((cores - 1)) times=() peak=0
    for ((i = 0; i < warmup; i++)); do
        sync
        taskset -c "$cpus" "$@" >/dev/null 2>&1 || true
    done
    for ((i = 0; i < runs; i++)); do
        if [ "$cold" = 1 ]; then
            rm -f "$work/ours.pdf" "$work/vips.tif" "$work/magick.tif"
            sync
            echo 3 >/proc/sys/vm/drop_caches
            sleep "$cold_wait"
        else
            sync
        fi
        /usr/bin/time -v -o "$work/time.txt" taskset -c "$cpus" "$@" >/dev/null 2>"$work/stderr.txt" || {
            echo "failed: $*" >&2
            cat "$work/stderr.txt" >&2
            exit 1
        }
        local elapsed rss
        elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$work/time.txt")
        rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
        times+=("$elapsed")
        [ "$rss" -gt "$peak" ] && peak=$rss
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
    echo "$median $((peak / 1024))"
}

# The machine and the vector level the engine's loops run at (QUILM_VECTOR_LEVEL caps it), for the record.
processor=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
printf 'Processor: %s (%s processors); engine vector level: %s\n' "${processor:-unknown}" "$(nproc)" \
    "$("$render" --vector-level 2>/dev/null || echo "not reported by this render_sheet")"
# ---- timing ----
printf '\nSheet renders, median of %d runs (seconds; peak memory in MB)%s\n\n' "$runs" \
    "$([ "$cold" = 1 ] && echo ", each starting cold")"
printf '%-10s %4s | %8s %6s | %8s %6s | %8s %6s | %8s %8s\n' case cores ours MB magick MB vips MB "IM/ours" "vips/ours"
printf '%s\n' "----------------+-----------------+-----------------+-----------------+------------------"
for name in "${cases[@]}"; do
    case_setup "$name"
    for c in $cores_list; do
        [ "$c" = all ] && c=$all
        [ "$c" -gt "$all" ] && continue
        ours_cmd standard
        result=$(measure "$c" "${cmd[@]}")
        read -r ours_t ours_m <<<"$result"
        im_t=0 im_m=0 vips_t=0 vips_m=0
        if [[ " $peers " == *" magick "* ]]; then
            magick_cmd 1 "$work/magick.tif"
            result=$(measure "$c" "${cmd[@]}")
            read -r im_t im_m <<<"$result"
        fi
        if [[ " $peers " == *" vips "* ]]; then
            vips_cmd
            result=$(measure "$c" "${cmd[@]}")
            read -r vips_t vips_m <<<"$result"
        fi
        printf '%-10s %4s | %8.2f %6d | %8.2f %6d | %8.2f %6d | %8.2f %8.2f\n' "$name" "$c" "$ours_t" "$ours_m" \
            "$im_t" "$im_m" "$vips_t" "$vips_m" "$(awk -v a="$im_t" -v b="$ours_t" 'BEGIN { print a / b }')" \
            "$(awk -v a="$vips_t" -v b="$ours_t" 'BEGIN { print a / b }')"
    done
done

# ---- quality cross-check on the small sheet ----
case_setup small
# compare reports through its exit status whether the images differ, which they always do a little.
psnr() { { "$compare" -metric PSNR "$1" "$2" null: 2>&1 || true; } | awk '{ print $1 }'; }
ours_cmd off
"${cmd[@]}" >/dev/null
pdfimages -png "$work/ours.pdf" "$work/ours"
magick_cmd 0 "$work/reference.tif"
"${cmd[@]}"
magick_cmd 0 "$work/shifted.tif" -virtual-pixel edge -distort SRT '0,0 1 0 0.5,0.5'
"${cmd[@]}"
magick_cmd 0 "$work/upside-down.tif" -flip
"${cmd[@]}"
# The gamma fault: resampling the encoded values themselves.
"$magick" "$inputs/$photo" -rotate 90 -filter Lanczos -resize "${w}x${h}^" -gravity center -extent "${w}x${h}" \
    -profile "$inputs/srgb.icc" -intent Perceptual -black-point-compensation -profile "$inputs/paper.icc" \
    -depth 16 "$work/gamma.tif"
ours_psnr=$(psnr "$work/ours-000.png" "$work/reference.tif")
printf '\nQuality cross-check, 4 x 6 in at 360 ppi through the paper profile, sharpening off (PSNR against ImageMagick, dB)\n'
printf '  %-44s %8s\n' "ours" "$ours_psnr"
printf '  %-44s %8s\n' "ImageMagick resampling encoded values" "$(psnr "$work/gamma.tif" "$work/reference.tif")"
printf '  %-44s %8s\n' "ImageMagick shifted half a pixel" "$(psnr "$work/shifted.tif" "$work/reference.tif")"
printf '  %-44s %8s\n' "ImageMagick upside down" "$(psnr "$work/upside-down.tif" "$work/reference.tif")"
if awk -v p="$ours_psnr" -v f="$psnr_floor" 'BEGIN { exit !(p >= f) }'; then
    printf '  ours is above the floor of %s dB\n' "$psnr_floor"
else
    printf '  FAIL: ours is below the floor of %s dB\n' "$psnr_floor"
    exit 1
fi
