#!/usr/bin/env bash
# A private CUPS server on 127.0.0.1, for trying printing without a printer and for the printer tests.
#
#   scripts/cups-testbed.sh start ROOT           start a server with its own folders under ROOT and three queues
#   scripts/cups-testbed.sh add ROOT NAME PPD    add one more queue (file output) from a PPD file
#   scripts/cups-testbed.sh stop ROOT            stop the server started under ROOT (by its process id)
#   scripts/cups-testbed.sh restart ROOT         start it again on the same folders and port, as after a
#                                                restart of the service: the queues and jobs it kept come back
#
# With TESTBED_OWNER=PID in the environment, `start` also stops the server as soon as that process ends
# (`restart` keeps that owner).
# `start` prints, and writes to ROOT/testbed.env, the lines CUPS_SERVER=127.0.0.1:PORT and
# TESTBED_PORT=PORT; `export CUPS_SERVER=…` points lp, lpstat and the engine at the server.
# The queues:
#   TestbedPhoto    a photo printer of the inkjet driver family (tests/fixtures/ppd/testbed-epson.ppd): the
#                   server turns the PDF into 16-bit CUPS raster, the filter testbed-raster writes the job's
#                   options (its argv[5]) to ROOT/filterlog/options-JOBID and passes the raster on to
#                   ROOT/output/TestbedPhoto.ras
#   TestbedOffice   an office printer without a photo driver (tests/fixtures/ppd/testbed-plain.ppd)
#   TestbedBroken   the photo printer again, whose filter fails: its jobs stop with the filter's message
# Besides the queues the server offers one installable driver of the photo family, "EPSON SC-P900 Series"
# (the driver program testbed-drivers serves tests/fixtures/ppd/qx-p900.ppd), and ServerBin/filter holds
# testbed-enlarge, a pre-filter that enlarges borderless pages (page sizes named "*.Borderless") by 1.04
# about their centre, and testbed-hang, one that never ends (tests/fixtures/ppd/testbed-borderless.ppd
# names either by absolute path).
# The server needs root (it runs filters as the user lp). Nothing listens beyond loopback and nothing is
# browsed or shared.
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"

here=$(cd "$(dirname "$0")" && pwd)
fixtures="$here/../tests/fixtures/ppd"

usage() {
    echo "usage: $0 start ROOT | add ROOT NAME PPD | stop ROOT | restart ROOT" >&2
    exit 2
}

fail() {
    echo "cups-testbed: $*" >&2
    exit 1
}

absolute() {
    mkdir -p "$1"
    (cd "$1" && pwd)
}

# Our own cupsd: alive, and started with this root's configuration (a recycled process id is not ours).
server_pid() {
    local root=$1 pid
    [ -f "$root/run/cupsd.pid" ] || return 1
    pid=$(cat "$root/run/cupsd.pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$root/etc/cupsd.conf" || return 1
    echo "$pid"
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

write_configuration() {
    local root=$1 port=$2
    cat >"$root/etc/cupsd.conf" <<EOF
LogLevel debug
MaxLogSize 0
ErrorPolicy abort-job
Listen 127.0.0.1:$port
Listen $root/run/cups.sock
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
DefaultAuthType None
JobRetryInterval 5
PreserveJobHistory Yes
PreserveJobFiles No
<Location />
  Order allow,deny
  Allow localhost
</Location>
<Location /admin>
  Order allow,deny
  Allow localhost
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    cat >"$root/etc/cups-files.conf" <<EOF
SystemGroup root
PeerCred on
User lp
Group lp
FileDevice Yes
Sandboxing Relaxed
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/run
ServerBin $root/serverbin
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/doc-root
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
Printcap $root/run/printcap
EOF
}

# ServerBin: the system's helpers, plus filter and backend folders of our own so that the queues can name
# the test bed's filters by plain name.
write_server_bin() {
    local root=$1 item
    for item in cgi-bin daemon monitor notifier; do
        [ -e "/usr/lib/cups/$item" ] && ln -sfn "/usr/lib/cups/$item" "$root/serverbin/$item"
    done
    for item in /usr/lib/cups/filter/* /usr/lib/cups/backend/* /usr/lib/cups/driver/*; do
        [ -e "$item" ] || continue
        ln -sfn "$item" "$root/serverbin/$(basename "$(dirname "$item")")/$(basename "$item")"
    done

    # Filters run as lp, so the option log goes to a folder lp may write; the raster itself goes on to the
    # queue's file output.
    cat >"$root/serverbin/filter/testbed-raster" <<EOF
#!/bin/sh
# argv: job-id user title copies options [file]
printf '%s\n' "\$5" >"$root/filterlog/options-\$1.tmp" && mv "$root/filterlog/options-\$1.tmp" "$root/filterlog/options-\$1"
echo "INFO: testbed-raster: job \$1" >&2
if [ -n "\$6" ]; then exec cat -- "\$6"; fi
exec cat
EOF
    cat >"$root/serverbin/filter/testbed-failing" <<'EOF'
#!/bin/sh
cat >/dev/null
echo "ERROR: The test printer refuses every job" >&2
# cupsd reads a filter's messages and its exit in whichever order they reach it; an exit read first leaves
# the job with cupsd's own "Filter failed". The pause lets the message arrive first.
sleep 1
exit 1
EOF
    # Enlarges the page image of a borderless page size by 1.04 about the page's centre, the way an
    # inkjet driver prints past the paper's edges.
    cat >"$root/serverbin/filter/testbed-enlarge" <<'EOF'
#!/bin/sh
case " $5 " in
*PageSize=*.Borderless*) ;;
*) if [ -n "$6" ]; then exec cat -- "$6"; fi; exec cat ;;
esac
input=$6
if [ -z "$input" ]; then
    input=$(mktemp) || exit 1
    trap 'rm -f "$input"' EXIT
    cat >"$input"
fi
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile=%stdout \
    -c "<< /BeginPage { pop currentpagedevice /PageSize get aload pop 2 div exch 2 div exch 2 copy translate 1.04 1.04 scale neg exch neg exch translate } >> setpagedevice" \
    -f "$input"
EOF
    cat >"$root/serverbin/filter/testbed-hang" <<'EOF'
#!/bin/sh
exec sleep 600
EOF
    # One installable driver of the photo family, listed and handed out the way CUPS driver programs do.
    cp "$fixtures/qx-p900.ppd" "$root/ppd/driver-sc-p900.ppd"
    chmod 0644 "$root/ppd/driver-sc-p900.ppd"
    cat >"$root/serverbin/driver/testbed-drivers" <<EOF
#!/bin/sh
case "\$1" in
list) echo '"testbed-drivers:sc-p900" en "EPSON" "EPSON SC-P900 Series" "MFG:EPSON;MDL:SC-P900 Series;" "(SC-P900 Series)" "(3010.000) 0"' ;;
cat) [ "\$2" = "testbed-drivers:sc-p900" ] && exec cat "$root/ppd/driver-sc-p900.ppd"; exit 1 ;;
*) exit 1 ;;
esac
EOF
    chmod 0755 "$root/serverbin/filter/testbed-raster" "$root/serverbin/filter/testbed-failing" \
        "$root/serverbin/filter/testbed-enlarge" "$root/serverbin/filter/testbed-hang" \
        "$root/serverbin/driver/testbed-drivers"
}

# Another process may have taken the port after it was chosen; cupsd then keeps running on its domain
# socket alone while the port leads to someone else's server. Only our own log tells the two apart.
# Only the log written since this start counts (from byte `from` on): a restarted server's log holds the
# lines of the runs before.
wait_until_answering() {
    local root=$1 port=$2 pid=$3 from=${4:-1} tries=0 log=$1/log/error_log
    while kill -0 "$pid" 2>/dev/null; do
        if tail -c "+$from" "$log" 2>/dev/null | grep -qF "Unable to open listen socket for address 127.0.0.1:$port "; then
            return 1
        fi
        if tail -c "+$from" "$log" 2>/dev/null | grep -qF "Listening to 127.0.0.1:$port on fd" &&
            lpstat -h "127.0.0.1:$port" -r >/dev/null 2>&1; then
            return 0
        fi
        tries=$((tries + 1))
        [ "$tries" -le 200 ] || return 1
        sleep 0.05
    done
    return 1
}

add_queue() {
    local root=$1 name=$2 ppd=$3 port status=0
    port=$(sed -n 's/^TESTBED_PORT=//p' "$root/testbed.env")
    [ -n "$port" ] || fail "no server under $root"
    # lpadmin warns on every PPD that printer drivers are deprecated; only its errors are of interest.
    lpadmin -h "127.0.0.1:$port" -p "$name" -E -v "file://$root/output/$name.ras" -P "$ppd" \
        2>"$root/log/lpadmin.err" || status=$?
    grep -v "drivers are deprecated" "$root/log/lpadmin.err" >&2 || true
    [ "$status" -eq 0 ] || fail "cannot create the queue $name"
    cupsenable -h "127.0.0.1:$port" "$name"
    cupsaccept -h "127.0.0.1:$port" "$name"
}

start() {
    local root port pid attempt
    [ "$(id -u)" -eq 0 ] || fail "the private CUPS server needs root (it runs filters as the user lp)"
    command -v cupsd >/dev/null || fail "cupsd is not installed"
    root=$(absolute "$1")
    if server_pid "$root" >/dev/null; then
        fail "a server is already running under $root"
    fi
    # Filters and their folders must belong to root and be writable by nobody else.
    chmod 0755 "$root"
    mkdir -p "$root"/{etc,spool/tmp,cache,run,log,serverbin/filter,serverbin/backend,serverbin/driver,output,ppd}
    mkdir -p "$root/filterlog"
    chown lp:lp "$root/filterlog"
    chmod 0710 "$root/spool"
    chmod 1770 "$root/spool/tmp"
    chown root:lp "$root/spool" "$root/spool/tmp"
    cp /etc/cups/raw.types /etc/cups/raw.convs "$root/etc/" 2>/dev/null || true
    write_server_bin "$root"

    # The port is free when chosen but another process may take it first: try again with another one.
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        write_configuration "$root" "$port"
        cupsd -t -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" >/dev/null ||
            fail "cupsd refuses the configuration under $root/etc"
        setsid cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" \
            </dev/null >>"$root/log/cupsd.out" 2>&1 &
        pid=$!
        echo "$pid" >"$root/run/cupsd.pid"
        if wait_until_answering "$root" "$port" "$pid"; then
            break
        fi
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        rm -f "$root/run/cupsd.pid"
        pid=
    done
    [ -n "$pid" ] || fail "cupsd did not start; see $root/log/error_log"

    printf 'CUPS_SERVER=127.0.0.1:%s\nTESTBED_PORT=%s\n' "$port" "$port" >"$root/testbed.env"
    sed 's/ testbed-raster"$/ testbed-failing"/' "$fixtures/testbed-epson.ppd" >"$root/ppd/broken.ppd"
    if ! { add_queue "$root" TestbedPhoto "$fixtures/testbed-epson.ppd" &&
        add_queue "$root" TestbedOffice "$fixtures/testbed-plain.ppd" &&
        add_queue "$root" TestbedBroken "$root/ppd/broken.ppd"; }; then
        stop "$root"
        fail "cannot create the queues; see $root/log/error_log"
    fi
    if [ -n "${TESTBED_OWNER:-}" ]; then
        # The process that asked for the server may end without stopping it (a test program that
        # crashed): the server then ends with it.
        echo "$TESTBED_OWNER" >"$root/run/owner"
        setsid "$0" watch "$root" "$TESTBED_OWNER" </dev/null >/dev/null 2>&1 &
    fi
    cat "$root/testbed.env"
}

restart() {
    local root port pid owner from
    [ "$(id -u)" -eq 0 ] || fail "the private CUPS server needs root (it runs filters as the user lp)"
    root=$(cd "$1" 2>/dev/null && pwd) || fail "no server was set up under $1"
    port=$(sed -n 's/^TESTBED_PORT=//p' "$root/testbed.env" 2>/dev/null) || true
    [ -n "$port" ] && [ -f "$root/etc/cupsd.conf" ] || fail "no server was set up under $root"
    owner=${TESTBED_OWNER:-$(cat "$root/run/owner" 2>/dev/null || true)}
    stop "$root"
    from=$(($(stat -c %s "$root/log/error_log" 2>/dev/null || echo 0) + 1))
    setsid cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" \
        </dev/null >>"$root/log/cupsd.out" 2>&1 &
    pid=$!
    echo "$pid" >"$root/run/cupsd.pid"
    if ! wait_until_answering "$root" "$port" "$pid" "$from"; then
        stop "$root"
        fail "cupsd did not start again on port $port; see $root/log/error_log"
    fi
    if [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null; then
        echo "$owner" >"$root/run/owner"
        setsid "$0" watch "$root" "$owner" </dev/null >/dev/null 2>&1 &
    fi
    cat "$root/testbed.env"
}

watch() {
    local root=$1 owner=$2
    echo "$$" >"$root/run/watcher.pid"
    while kill -0 "$owner" 2>/dev/null && server_pid "$root" >/dev/null; do
        sleep 0.5
    done
    stop "$root"
}

stop() {
    local root pid watcher tries=0
    root=$(cd "$1" 2>/dev/null && pwd) || return 0
    watcher=$(cat "$root/run/watcher.pid" 2>/dev/null) || watcher=
    if [ -n "$watcher" ] && [ "$watcher" != "$$" ] &&
        tr '\0' ' ' <"/proc/$watcher/cmdline" 2>/dev/null | grep -qF -- "watch $root"; then
        kill "$watcher" 2>/dev/null || true
    fi
    rm -f "$root/run/watcher.pid"
    if ! pid=$(server_pid "$root"); then
        rm -f "$root/run/cupsd.pid"
        return 0
    fi
    kill -TERM "$pid" 2>/dev/null || true
    while server_pid "$root" >/dev/null; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            kill -KILL "$pid" 2>/dev/null || true
            break
        fi
        sleep 0.05
    done
    rm -f "$root/run/cupsd.pid"
}

[ $# -ge 2 ] || usage
case "$1" in
start) start "$2" ;;
add)
    [ $# -eq 4 ] || usage
    add_queue "$(absolute "$2")" "$3" "$4"
    ;;
stop) stop "$2" ;;
restart) restart "$2" ;;
watch)
    [ $# -eq 3 ] || usage
    watch "$2" "$3"
    ;;
*) usage ;;
esac
