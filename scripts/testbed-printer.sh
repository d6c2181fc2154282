#!/usr/bin/env bash
# The one printable photo printer of the test bed (scripts/cups-testbed.sh), as scripts/run.sh, the
# end-to-end test and the application's tests all use it: the full driver description of an SC-P900
# (tests/fixtures/ppd/qx-p900.ppd) whose jobs the server rasterises in 16-bit colour and hands to the test
# bed's logging filter, so every sheet lands in ROOT/output/NAME.ras and its options in ROOT/filterlog/.
#
#   scripts/testbed-printer.sh ROOT [NAME] [--default]   adds the queue NAME (default TestbedP900) to the
#                                                        running test bed under ROOT; --default makes it the
#                                                        server's default queue, as a user's only printer is
#   scripts/testbed-printer.sh --ppd                     writes the description to standard output
#
# Adding writes the description to ROOT/ppd/NAME.ppd, where tests find it to derive variants of it.
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"

here=$(cd "$(dirname "$0")" && pwd)

# The driver's own programs are not installed here: the test bed's filter takes their place, and a 16-bit
# colour mode (the default) tells the server's PDF rasteriser what to make.
description() {
    awk '
        /^\*cupsFilter/ || /^\*cupsPreFilter/ { next }
        /^\*OpenUI \*Resolution\// {
            print "*OpenUI *ColorModel/Colour Mode: PickOne"
            print "*OrderDependency: 20 AnySetup *ColorModel"
            print "*DefaultColorModel: RGB16"
            print "*ColorModel RGB16/16-bit Colour: \"<</cupsColorSpace 1/cupsColorOrder 0/cupsBitsPerColor 16>>setpagedevice\""
            print "*CloseUI: *ColorModel"
            print ""
        }
        { print }
        /^\*ColorDevice/ {
            print "*cupsFilter2: \"application/vnd.cups-raster application/vnd.testbed-raster 0 testbed-raster\""
        }
    ' "$here/../tests/fixtures/ppd/qx-p900.ppd"
}

if [ "${1:-}" = "--ppd" ]; then
    description
    exit 0
fi

root=$(cd "${1:?usage: $0 ROOT [NAME] [--default] | --ppd}" && pwd)
name=TestbedP900
make_default=0
for argument in "${@:2}"; do
    case "$argument" in
    --default) make_default=1 ;;
    -*) echo "usage: $0 ROOT [NAME] [--default] | --ppd" >&2; exit 2 ;;
    *) name=$argument ;;
    esac
done
ppd="$root/ppd/$name.ppd"
description >"$ppd"

"$here/cups-testbed.sh" add "$root" "$name" "$ppd"
if [ "$make_default" -eq 1 ]; then
    port=$(sed -n 's/^TESTBED_PORT=//p' "$root/testbed.env")
    lpadmin -h "127.0.0.1:$port" -d "$name"
fi
