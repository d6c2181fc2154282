#!/usr/bin/env bash
# Adds to a running test bed (scripts/cups-testbed.sh) a photo printer that the application can print to
# as it is: the full driver description of an SC-P900 (tests/fixtures/ppd/qx-p900.ppd) whose jobs the
# server rasterises in 16-bit colour and hands to the test bed's logging filter, so every sheet lands in
# ROOT/output/NAME.ras. The queue becomes the server's default.
#
#   scripts/testbed-printer.sh ROOT [NAME]      NAME defaults to TestbedP900
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:?usage: $0 ROOT [NAME]}" && pwd)
name=${2:-TestbedP900}
ppd="$root/ppd/$name.ppd"

# The driver's own programs are not installed here: the test bed's filter takes their place, and a 16-bit
# colour mode tells the server's PDF rasteriser what to make.
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
' "$here/../tests/fixtures/ppd/qx-p900.ppd" >"$ppd"

"$here/cups-testbed.sh" add "$root" "$name" "$ppd"
port=$(sed -n 's/^TESTBED_PORT=//p' "$root/testbed.env")
lpadmin -h "127.0.0.1:$port" -d "$name"
