#!/usr/bin/env bash
# Installs what is needed, builds Quilm Print and starts it.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/setup.sh"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$(nproc)"

if [ -x build/release/QuilmPrint/QuilmPrint ]; then
    exec build/release/QuilmPrint/QuilmPrint "$@"
fi
echo "The engine (PrintKit) is built. The Quilm Print window is not part of this build yet:"
echo "once it is, this command starts it with its one main window."
