#!/usr/bin/env bash
# Installs what is needed, builds Quilm Print and starts it.
#
#   scripts/run.sh [--system-cups] [PHOTO…]
#
# The application prints to the photo-printer driver family. When the system's CUPS has no queue of that
# family (a fresh machine), the private test bed of scripts/cups-testbed.sh is started and the application
# prints to it instead: the sheets land as 16-bit CUPS raster in a file, and the terminal says where. The
# test bed needs root; it stops when the application ends. --system-cups always uses the system's CUPS.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

use_system=0
args=()
for argument in "$@"; do
    case "$argument" in
    --system-cups) use_system=1 ;;
    *) args+=("$argument") ;;
    esac
done

"$top/scripts/setup.sh"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$(nproc)" --target QuilmPrint

# A queue whose PPD carries the driver family's options ("EPIJ_…"), as libcups reports them.
system_has_photo_queue() {
    local queues queue
    command -v lpstat >/dev/null || return 1
    queues=$(timeout 10 lpstat -e 2>/dev/null) || return 1
    for queue in $queues; do
        if timeout 10 lpoptions -p "$queue" -l 2>/dev/null | grep -q '^EPIJ_'; then
            return 0
        fi
    done
    return 1
}

# The test bed answers when its port answers with the photo printer this script adds to it.
testbed_answers() {
    local root=$1 port
    [ -f "$root/testbed.env" ] || return 1
    port=$(sed -n 's/^TESTBED_PORT=//p' "$root/testbed.env")
    [ -n "$port" ] && timeout 5 lpstat -h "127.0.0.1:$port" -p TestbedP900 >/dev/null 2>&1
}

if [ "$use_system" -eq 0 ] && ! system_has_photo_queue; then
    root="$top/build/run-testbed"
    if [ "$(id -u)" -ne 0 ]; then
        echo "The system's CUPS has no queue for a photo printer of the supported driver family."
        echo "The private test bed that stands in for one needs root (its filters run as the user lp):"
        echo "run 'sudo scripts/run.sh' to print into it, or connect a printer from the window."
    else
        if ! testbed_answers "$root"; then
            "$top/scripts/cups-testbed.sh" stop "$root"
            # The server ends with this process, which becomes the application below.
            TESTBED_OWNER=$$ "$top/scripts/cups-testbed.sh" start "$root" >/dev/null
            # A printer with the driver's full description, the default so the window chooses it first.
            "$top/scripts/testbed-printer.sh" "$root" TestbedP900 --default >/dev/null
        fi
        CUPS_SERVER=$(sed -n 's/^CUPS_SERVER=//p' "$root/testbed.env")
        export CUPS_SERVER
        echo "The system's CUPS has no queue for a photo printer of the supported driver family,"
        echo "so Quilm Print prints to the private test bed at $CUPS_SERVER instead:"
        echo "  printer 'TestbedP900': each sheet lands as 16-bit CUPS raster in $root/output/TestbedP900.ras"
        echo "  (the job's driver options in $root/filterlog/)."
        echo "Use 'scripts/run.sh --system-cups' to print through the system's CUPS."
    fi
fi

exec build/release/QuilmPrint/quilm-print "${args[@]}"
