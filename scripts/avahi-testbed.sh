#!/usr/bin/env bash
# A private mDNS responder for the discovery tests: avahi-daemon in a network namespace of its own that
# holds only the loopback interface, reached through a private D-Bus system bus. Nothing is sent on any
# real network.
#
#   scripts/avahi-testbed.sh start ROOT                       start the bus and the daemon under ROOT
#   scripts/avahi-testbed.sh publish ROOT NAME TYPE PORT TXT…  announce a service until stopped
#   scripts/avahi-testbed.sh stop ROOT                        stop everything started under ROOT
#
# `start` prints DBUS_SYSTEM_BUS_ADDRESS=…, the address clients use to reach the daemon. It exits with
# status 3 when this machine cannot make the namespace (not root, or no namespaces in a container).
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"

usage() {
    echo "usage: $0 start ROOT | publish ROOT NAME TYPE PORT [TXT…] | stop ROOT" >&2
    exit 2
}

fail() {
    echo "avahi-testbed: $*" >&2
    exit "${status:-1}"
}

# A process we started under ROOT, still alive: its command line names ROOT (a recycled number is not ours).
ours() {
    local root=$1 pid=$2
    [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$root"
}

bus_address() {
    echo "unix:path=$1/system_bus_socket"
}

start() {
    local root=$1 tries=0
    for tool in dbus-daemon avahi-daemon avahi-publish-service dbus-send unshare ip; do
        command -v "$tool" >/dev/null || status=3 fail "$tool is not installed"
    done
    [ "$(id -u)" -eq 0 ] || status=3 fail "a network namespace needs root"
    unshare --mount --net true 2>/dev/null || status=3 fail "this machine cannot make a network namespace"
    mkdir -p "$root/run" "$root/avahi-run/avahi-daemon"
    cat >"$root/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$root/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
  <include ignore_missing="yes">/usr/share/dbus-1/system.d/avahi-dbus.conf</include>
</busconfig>
CONF
    cat >"$root/avahi-daemon.conf" <<CONF
[server]
host-name=testhost
use-ipv4=yes
use-ipv6=no
allow-interfaces=lo
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-workstation=no
publish-hinfo=no
CONF
    setsid dbus-daemon --config-file="$root/bus.conf" --nofork --nopidfile </dev/null >"$root/dbus.log" 2>&1 &
    echo $! >"$root/run/dbus.pid"
    until [ -S "$root/system_bus_socket" ]; do
        tries=$((tries + 1))
        [ "$tries" -le 100 ] || fail "the private bus did not start"
        sleep 0.05
    done
    export DBUS_SYSTEM_BUS_ADDRESS
    DBUS_SYSTEM_BUS_ADDRESS=$(bus_address "$root")
    setsid unshare --mount --net --propagation private sh -c "ip link set lo up &&
        mount -n --bind '$root/avahi-run' /run &&
        exec avahi-daemon -f '$root/avahi-daemon.conf' --no-drop-root --no-chroot --no-rlimits" \
        </dev/null >"$root/avahi.log" 2>&1 &
    echo $! >"$root/run/avahi.pid"
    tries=0
    # Server state 2 is "running": the host name is established and services can be announced.
    until dbus-send --system --print-reply --dest=org.freedesktop.Avahi / org.freedesktop.Avahi.Server.GetState \
        2>/dev/null | grep -q "int32 2"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$(cat "$root/run/avahi.pid")" 2>/dev/null; then
            stop "$root"
            fail "avahi-daemon did not start: $(tail -3 "$root/avahi.log")"
        fi
        sleep 0.05
    done
    echo "DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SYSTEM_BUS_ADDRESS"
}

publish() {
    local root=$1 name=$2 type=$3 port=$4 log tries=0 pid
    shift 4
    log=$(mktemp "$root/run/publish-XXXXXX")
    DBUS_SYSTEM_BUS_ADDRESS=$(bus_address "$root") setsid avahi-publish-service -s "$name" "$type" "$port" "$@" \
        </dev/null >"$log" 2>&1 &
    pid=$!
    echo "$pid" >>"$root/run/publishers"
    until grep -q "Established" "$log"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$pid" 2>/dev/null; then
            fail "cannot publish $name: $(cat "$log")"
        fi
        sleep 0.05
    done
}

stop_pid() {
    local root=$1 pid=$2
    if ours "$root" "$pid" || { [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q avahi-publish; }; then
        kill -TERM "$pid" 2>/dev/null || true
    fi
}

stop() {
    local root=$1 pid
    if [ -f "$root/run/publishers" ]; then
        while read -r pid; do
            stop_pid "$root" "$pid"
        done <"$root/run/publishers"
        rm -f "$root/run/publishers"
    fi
    for name in avahi dbus; do
        pid=$(cat "$root/run/$name.pid" 2>/dev/null) || continue
        stop_pid "$root" "$pid"
        rm -f "$root/run/$name.pid"
    done
}

[ $# -ge 2 ] || usage
root=$(mkdir -p "$2" && cd "$2" && pwd)
case "$1" in
start) start "$root" ;;
publish)
    [ $# -ge 5 ] || usage
    shift 2
    publish "$root" "$@"
    ;;
stop) stop "$root" ;;
*) usage ;;
esac
