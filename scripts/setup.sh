#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmarks need on Debian 12. Safe to run again:
# it only calls apt-get when a package is missing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-translations-l10n liblcms2-dev liblcms2-utils libcups2-dev cups cups-client cups-filters
    ghostscript libjpeg-dev libpng-dev libtiff-dev libheif-dev libheif-examples uuid-dev
    libavahi-client-dev avahi-daemon avahi-utils dbus libcurl4-openssl-dev iproute2 util-linux
    nlohmann-json3-dev libssl-dev libicu-dev libpango1.0-dev libcairo2-dev fonts-noto-cjk
    xvfb xdotool openbox imagemagick poppler-utils qpdf libgtest-dev libbenchmark-dev locales python3 time
    desktop-file-utils libglib2.0-bin openssl qemu-user
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
# Another program may hold the package manager's locks (an unattended upgrade, a second set-up): wait for it
# rather than fail. apt-get install waits by itself for as long as DPkg::Lock::Timeout says; apt-get update
# does not wait for the package lists' lock, so it is tried again while that lock is held.
lock_wait=${QUILM_APT_LOCK_WAIT:-900}
apt_update() {
    local deadline=$((SECONDS + lock_wait)) output
    while ! output=$($SUDO apt-get update 2>&1); do
        if ! grep -q 'Could not get lock' <<<"$output" || [ "$SECONDS" -ge "$deadline" ]; then
            printf '%s\n' "$output" >&2
            return 1
        fi
        echo "Waiting for another program to release the package lists..."
        sleep 5
    done
    printf '%s\n' "$output" | tail -n 1
}
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt_update
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        -o DPkg::Lock::Timeout="$lock_wait" "${missing[@]}"
fi

# The locale tests prove that nothing the engine writes follows the user's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    $SUDO sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen
fi
