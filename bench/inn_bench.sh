#!/bin/bash
# Whole-run benchmark against a private INN2 server on 127.0.0.1: a large multipart
# uuencoded or yEnc corpus (parts of about 5,000 lines) is posted to one group, then fetched by
#   1. bench/raw_nntp_client (GROUP, then HEAD and BODY per article, data discarded): the
#      server's raw transfer rate, measured before and after the extraction;
#   2. gleanwick -headless extracting the same group (every file checked against its original);
#   3. the raw client and the extraction over TLS from the first byte, from a second reader
#      daemon (nnrpd -S) with a self-signed certificate that the program trusts by its
#      fingerprint.
# Prints MB/s, articles and headers per second, user+system CPU seconds and peak RSS of both
# (with the server's CPU seconds beside each run, and the floor both together put under the TLS
# run on this machine's cores),
# and the ratio of the extraction's rate to the raw one: the raw client times itself from its
# connect to its QUIT, and the extraction is timed both over the same stretch (from its
# "Connecting to" line to "Extract Complete") and as a whole process, start-up and the saves
# at exit included. Not part of the test suite.
#
#   bench/inn_bench.sh [GLEANWICK_BINARY]     (default build/gleanwick)
#
# BENCH_MB sets the size of the posted corpus in MB (default 200), BENCH_FILES the number of
# files it is made of (default 4), BENCH_LINES the lines per part (default 5000), BENCH_ROUNDS
# the number of extractions (default 3, each after a raw run), BENCH_ENCODING the encoding of
# the parts: uu (uuenview -u, the default) or yenc (uuenview -y, subjects '"name" yEnc (n/m)'),
# BENCH_DEPTH the server's "Pipeline Depth" and BENCH_CONNECTIONS its "Connections" for the
# extractions (the program's defaults if unset),
# BENCH_TLS_SERVER what serves TLS: nnrpd (INN2's reader with -S, the default) or stunnel (stunnel4
# in front of the plain reader, for the client's own share of TLS when the server is fast).
# BENCH_RT=1 (the default when run as root) runs the reader daemon and both clients under
# SCHED_FIFO, so that other work on a shared machine does not preempt them; BENCH_RT=0 runs
# them as ordinary processes.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
GW_BINARY=$(realpath -m "${1:-$ROOT/build/gleanwick}")
BENCH_MB=${BENCH_MB:-200}
BENCH_FILES=${BENCH_FILES:-4}
BENCH_LINES=${BENCH_LINES:-5000}
BENCH_ROUNDS=${BENCH_ROUNDS:-3}
BENCH_ENCODING=${BENCH_ENCODING:-uu}
GROUP=alt.binaries.bench
BENCH_RT=${BENCH_RT:-$([[ $(id -u) -eq 0 ]] && echo 1 || echo 0)}
RT=()
[[ $BENCH_RT == 1 ]] && RT=(chrt -f 10)

die() {
    echo "inn_bench: $*" >&2
    exit 1
}

[[ -x $GW_BINARY ]] || die "no gleanwick binary at $GW_BINARY"
for tool in uuenview g++ python3 openssl /usr/lib/news/bin/innd /usr/bin/time; do
    command -v "$tool" >/dev/null || { "$ROOT/scripts/install-deps.sh" --tests || exit 1; break; }
done
# The window and headless runs are timed from their system calls.
command -v strace >/dev/null || apt-get install -y -qq --no-install-recommends strace >/dev/null ||
    die "strace is missing (apt-get install strace as root)"

. "$ROOT/tests/e2e/lib_inn.sh"
. "$ROOT/tests/e2e/lib_corpus.sh"
. "$ROOT/tests/e2e/lib_gw.sh"
. "$ROOT/bench/lib_stamp.sh"
GW_SERVER_ROWS=()
[[ -n ${BENCH_DEPTH:-} ]] && GW_SERVER_ROWS+=("\"Pipeline Depth\"=$(gw_dword "$BENCH_DEPTH")")
[[ -n ${BENCH_CONNECTIONS:-} ]] && GW_SERVER_ROWS+=("\"Connections\"=$(gw_dword "$BENCH_CONNECTIONS")")

WORK=$(mktemp -d /tmp/gleanwick-bench.XXXXXX)
trap 'inn_stop; rm -rf "$WORK"' EXIT
trap 'exit 130' INT TERM
mkdir -p "$WORK/orig" "$WORK/articles" "$WORK/parts"

echo "== building the raw client"
g++ -std=c++20 -O2 -Wall -Wextra -o "$WORK/raw_nntp_client" "$ROOT/bench/raw_nntp_client.cpp" \
    -lssl -lcrypto ||
    die "cannot build the raw client"

# Runs a command, its output to FILE, and prints "status wall user system maxrss_kb".
# GNU time forks before it executes the command, so the peak RSS is the command's own; the
# time limit and the real-time policy are set outside it, so that their own start-up (each a
# program to execute) is not counted as the command's.
measure() { # FILE COMMAND...
    local out=$1
    shift
    timeout -k 5 1800 "${RT[@]}" /usr/bin/time -o "$out.time" -f '%x %e %U %S %M' "$@" \
        >"$out" 2>&1
    tail -n 1 "$out.time" # GNU time puts "Command exited with non-zero status" before it
}

# The parts of a file as uuenview -y writes them (128 characters a line); prints the part files.
yenc_parts() { # DIR FILE LINES
    mkdir -p "$1"
    (cd "$1" && uuenview -y "-$3" -od . "$2" >/dev/null 2>&1) || return 1
    ls "$1/$(basename "${2%.*}")".[0-9][0-9][0-9] 2>/dev/null | sort
}

echo "== building a corpus of $BENCH_MB MB ($BENCH_ENCODING) in parts of $BENCH_LINES lines"
case $BENCH_ENCODING in
uu) # 45 bytes make a 62-byte line (61 characters and the line end).
    file_size=$((BENCH_MB * 1000000 * 45 / 62 / BENCH_FILES + 1))
    subject='%s (%03d/%03d) - [ %s ]' ;;
yenc) # 128 characters and the line end hold about 126 bytes (1.6 % of them escaped).
    file_size=$((BENCH_MB * 1000000 * 126 / 130 / BENCH_FILES + 1))
    subject='"%s" yEnc (%d/%d)%.0s' ;; # the name's second copy is not shown
*) die "BENCH_ENCODING must be uu or yenc" ;;
esac
articles=()
for ((f = 1; f <= BENCH_FILES; f++)); do
    name=bench$f.bin
    corpus_random "$WORK/orig/$name" "$file_size"
    if [[ $BENCH_ENCODING == yenc ]]; then
        mapfile -t parts < <(yenc_parts "$WORK/parts/$name" "$WORK/orig/$name" "$BENCH_LINES")
    else
        mapfile -t parts < <(corpus_uuenview_parts "$WORK/parts/$name" "$WORK/orig/$name" "$BENCH_LINES")
    fi
    [[ ${#parts[@]} -gt 0 ]] || die "uuenview made no parts of $name"
    for ((p = 0; p < ${#parts[@]}; p++)); do
        art=$WORK/articles/$name.$((p + 1))
        # shellcheck disable=SC2059
        corpus_article "$art" "$GROUP" "Bench <bench@poster.test>" \
            "$(printf "$subject" "$name" $((p + 1)) ${#parts[@]} "$name")" "${parts[p]}"
        articles+=("$art")
    done
    rm -rf "$WORK/parts/$name"
done
corpus_batch "$WORK/batch" "${articles[@]}"
rm -rf "$WORK/articles"
posted_bytes=$(stat -c %s "$WORK/batch")

echo "== posting ${#articles[@]} articles ($((posted_bytes / 1000000)) MB) to INN2"
inn_setup "$WORK/inn" || die "cannot set up INN2"
inn_start || die "cannot start INN2"
inn_newgroup "$GROUP" || exit 1
inn_feed "$WORK/batch" || exit 1
rm -f "$WORK/batch"
inn_sync
if [[ $BENCH_RT == 1 ]]; then
    # The open reader daemon; the process serving each connection inherits the policy.
    chrt -f -p 10 "${INN_PIDS[1]}" || die "cannot give the reader daemon SCHED_FIFO"
fi
# The TLS reader: inn.conf names its certificate, so it gets a copy of its own.
(cd "$WORK" && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -keyout tls.key -out tls.pem -days 2 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1) >/dev/null 2>&1 || die "openssl could not make a certificate"
[[ $(id -u) -eq 0 ]] && chown news:news "$WORK/tls.key" "$WORK/tls.pem"
chmod 600 "$WORK/tls.key"
TLS_FINGERPRINT=$(openssl x509 -in "$WORK/tls.pem" -noout -fingerprint -sha256 | sed 's/.*=//')
sed "/^pathetc:/a tlscertfile: $WORK/tls.pem\ntlskeyfile: $WORK/tls.key" "$INNCONF" \
    >"$INN_DIR/etc/inn-tls.conf"
TLS_PORT=$(inn_free_port)
if [[ ${BENCH_TLS_SERVER:-nnrpd} == stunnel ]]; then
    command -v stunnel4 >/dev/null || apt-get install -y -qq --no-install-recommends stunnel4 >/dev/null ||
        die "stunnel4 is missing (apt-get install stunnel4 as root)"
    printf 'foreground = yes\npid =\n[nntps]\naccept = %s:%s\nconnect = %s:%s\ncert = %s\nkey = %s\n' \
        "$INN_HOST" "$TLS_PORT" "$INN_HOST" "$INN_READ_PORT" "$WORK/tls.pem" "$WORK/tls.key" \
        >"$WORK/stunnel.conf"
    "${RT[@]}" stunnel4 "$WORK/stunnel.conf" >"$INN_DIR/log/stunnel.out" 2>&1 &
else
    INNCONF=$INN_DIR/etc/inn-tls.conf "${RT[@]}" "$INN_BIN/nnrpd" -D -f -n -4 "$INN_HOST" \
        -p "$TLS_PORT" -c "$INN_DIR/etc/readers-open.conf" -S >"$INN_DIR/log/nnrpd-tls.out" 2>&1 &
fi
INN_PIDS+=($!)
for ((i = 0; i < 100; i++)); do
    openssl s_client -connect "$INN_HOST:$TLS_PORT" -brief </dev/null >/dev/null 2>&1 && break
    sleep 0.1
done
((i < 100)) || die "the TLS reader daemon did not start"

count=$(python3 "$ROOT/tests/e2e/nntp_probe.py" "$INN_READ_PORT" group "$GROUP" | cut -d' ' -f3)
[[ $count -eq ${#articles[@]} ]] || die "the server holds $count of ${#articles[@]} articles"

# The processes serving each kind of connection: stunnel passes on to the plain reader.
PLAIN_SERVER=("${INN_PIDS[1]}")
TLS_SERVER=("${INN_PIDS[-1]}")
[[ ${BENCH_TLS_SERVER:-nnrpd} == stunnel ]] && TLS_SERVER+=("${INN_PIDS[1]}")
CORES=$(nproc)

# CPU ticks of server processes and of the children they have reaped: a reader daemon serves
# each connection in a child of its own, stunnel in threads.
server_ticks() { # PID...
    local pid total=0
    for pid in "$@"; do
        # The fields after the name, which is in parentheses and may hold spaces.
        total=$((total + $(sed 's/.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 + $14 + $15 }')))
    done
    echo "$total"
}

# The servers' CPU seconds since TICKS: the children serving the client's connections are
# waited for (at most five seconds each), since they count once reaped.
server_seconds() { # TICKS PID...
    local before=$1 pid i
    shift
    for pid in "$@"; do
        for ((i = 0; i < 50; i++)); do
            pgrep -P "$pid" >/dev/null || break
            sleep 0.1
        done
    done
    awk -v a="$before" -v b="$(server_ticks "$@")" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%.2f\n", (b - a) / hz }'
}

raw_run() { # OUTPUT
    measure "$1" "$WORK/raw_nntp_client" "$INN_HOST" "$INN_READ_PORT" "$GROUP"
}

gw_run() { # ROUND [tls]
    local home=$WORK/home fifo=$WORK/gw.fifo stamper out=$WORK/gw${2:-}$1.out port=$INN_READ_PORT
    local GW_SERVER_ROWS=("${GW_SERVER_ROWS[@]}") # BENCH_DEPTH's and BENCH_CONNECTIONS'
    if [[ ${2:-} == tls ]]; then
        port=$TLS_PORT
        GW_SERVER_ROWS+=('"Encryption"=dword:00000001'
            "\"Certificate Fingerprint\"=\"$TLS_FINGERPRINT\"")
    fi
    rm -rf "$home" "$fifo"
    gw_home "$home" "$port"
    gw_newsrc "$home" "$GROUP: 0"
    mkfifo "$fifo"
    stamp_lines "$fifo" "$out" &
    stamper=$!
    read -r gw_status gw_wall gw_user gw_sys gw_rss < <(
        GLEANWICK_HOME=$home QT_QPA_PLATFORM=offscreen \
            measure "$fifo" "$GW_BINARY" -headless)
    wait "$stamper"
    [[ $gw_status -eq 0 ]] || die "gleanwick failed ($gw_status): $(tail -n 5 "$out")"
    for ((f = 1; f <= BENCH_FILES; f++)); do
        cmp -s "$WORK/orig/bench$f.bin" "$home/Decodes/bench$f.bin" ||
            die "bench$f.bin was not decoded correctly"
    done
    gw_span=$(stamped_span "$out" "Connecting to" "Extract Complete") ||
        die "gleanwick printed no start or end line"
}

# The span from the program's connect() to the news server until it closes that socket, read
# from an strace that stops the program at connect() and close() alone: the same clock for
# the window program, which prints no log lines, and for the headless one.
connect_to_close() { # STRACE_OUTPUT
    awk -v port="$INN_READ_PORT" '
        fd == "" && /connect\(/ && index($0, "htons(" port ")") {
            start = $2; fd = substr($3, index($3, "(") + 1); sub(/,.*/, "", fd)
        }
        fd != "" && end == "" && index($3, "close(" fd ")") == 1 { end = $2 }
        END { if (start == "" || end == "") exit 1; printf "%.3f\n", end - start }' "$1"
}

traced_run() { # ROUND MODE (headless or window)
    local home=$WORK/home-$2 trace=$WORK/trace-$2$1
    rm -rf "$home"
    GW_SETTINGS=('"m_uMinLines"=dword:00000000' '"m_bAutoStart"=dword:00000001'
        '"m_bAutoExit"=dword:00000001')
    gw_home "$home" "$INN_READ_PORT"
    gw_newsrc "$home" "$GROUP: 0"
    local args=(-headless)
    [[ $2 == window ]] && args=(-Embedding) # no splash
    read -r traced_status traced_wall traced_user traced_sys traced_rss < <(
        GLEANWICK_HOME=$home QT_QPA_PLATFORM=offscreen measure "$WORK/$2$1.out" \
            strace -f --seccomp-bpf -ttt -e trace=connect,close -o "$trace" "$GW_BINARY" "${args[@]}")
    [[ $traced_status -eq 0 ]] || die "gleanwick $2 failed ($traced_status): $(tail -n 5 "$WORK/$2$1.out")"
    cmp -s "$WORK/orig/bench1.bin" "$home/Decodes/bench1.bin" || die "$2: bench1.bin was not decoded correctly"
    traced_span=$(connect_to_close "$trace") || die "$2: no connect or close in the trace"
}

# Rounds of the raw client and the extraction in turn, then the raw client once more; the
# best of each is shown, since both only ever lose time to the machine's other work.
less_than() { # A B: true when B is empty or A < B
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(b == "" || a + 0 < b + 0) }'
}
raw_best="" raw_out="" gw_best_wall="" gw_best_span="" gw_rss_max=0 tls_best_span="" tls_rss_max=0 rawtls_best=""
for ((round = 1; round <= BENCH_ROUNDS + 1; round++)); do
    ticks=$(server_ticks "${PLAIN_SERVER[@]}")
    read -r status wall user sys rss < <(raw_run "$WORK/raw$round.out")
    raw_server=$(server_seconds "$ticks" "${PLAIN_SERVER[@]}")
    [[ $status -eq 0 ]] || die "raw client failed: $(cat "$WORK/raw$round.out")"
    seconds=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' "$WORK/raw$round.out")
    echo "== raw client:          $seconds s ($(cat "$WORK/raw$round.out"))"
    if less_than "$seconds" "$raw_best"; then
        raw_best=$seconds raw_out=$WORK/raw$round.out raw_user=$user raw_sys=$sys raw_rss=$rss \
            raw_best_server=$raw_server
    fi
    ((round <= BENCH_ROUNDS)) || break
    ticks=$(server_ticks "${PLAIN_SERVER[@]}")
    gw_run "$round"
    gw_server=$(server_seconds "$ticks" "${PLAIN_SERVER[@]}")
    echo "== gleanwick -headless: $gw_wall s whole run, $gw_span s from connecting to Extract Complete"
    if less_than "$gw_wall" "$gw_best_wall"; then
        gw_best_wall=$gw_wall gw_user_best=$gw_user gw_sys_best=$gw_sys
    fi
    if less_than "$gw_span" "$gw_best_span"; then
        gw_best_span=$gw_span gw_span_user=$gw_user gw_span_sys=$gw_sys gw_span_server=$gw_server
    fi
    ((gw_rss > gw_rss_max)) && gw_rss_max=$gw_rss
    ticks=$(server_ticks "${TLS_SERVER[@]}")
    read -r status wall user sys rss < <(measure "$WORK/rawtls$round.out" "$WORK/raw_nntp_client" \
        --tls "$INN_HOST" "$TLS_PORT" "$GROUP")
    rawtls_server=$(server_seconds "$ticks" "${TLS_SERVER[@]}")
    [[ $status -eq 0 ]] || die "raw client over TLS failed: $(cat "$WORK/rawtls$round.out")"
    seconds=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' "$WORK/rawtls$round.out")
    echo "== raw client over TLS: $seconds s"
    if less_than "$seconds" "$rawtls_best"; then
        rawtls_best=$seconds rawtls_user=$user rawtls_sys=$sys rawtls_best_server=$rawtls_server
    fi
    ticks=$(server_ticks "${TLS_SERVER[@]}")
    gw_run "$round" tls
    gw_server=$(server_seconds "$ticks" "${TLS_SERVER[@]}")
    echo "== gleanwick over TLS:  $gw_wall s whole run, $gw_span s from connecting to Extract Complete"
    if less_than "$gw_span" "$tls_best_span"; then
        tls_best_span=$gw_span tls_user=$gw_user tls_sys=$gw_sys tls_server=$gw_server
    fi
    ((gw_rss > tls_rss_max)) && tls_rss_max=$gw_rss
done
bytes=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' "$raw_out")

# The window program beside the headless one, alternating, timed alike.
best_headless="" best_window="" window_rss_max=0 headless_rss_max=0
for ((round = 1; round <= BENCH_ROUNDS; round++)); do
    for mode in headless window; do
        traced_run "$round" "$mode"
        echo "== $mode (traced): $traced_span s from connect to close, $traced_wall s whole process"
        if [[ $mode == window ]]; then
            less_than "$traced_span" "$best_window" && best_window=$traced_span
            ((traced_rss > window_rss_max)) && window_rss_max=$traced_rss
        else
            less_than "$traced_span" "$best_headless" && best_headless=$traced_span
            ((traced_rss > headless_rss_max)) && headless_rss_max=$traced_rss
        fi
    done
done

# Start-up and exit with nothing to do (no server configured: status 2), 50 times.
empty_home=$WORK/home-empty
mkdir -p "$empty_home"
start_s=$(GLEANWICK_HOME=$empty_home QT_QPA_PLATFORM=offscreen /usr/bin/time -f %e bash -c \
    'for i in $(seq 50); do "$1" -headless >/dev/null 2>&1; done' _ "$GW_BINARY" 2>&1 | tail -n 1)

echo
echo "corpus ($BENCH_ENCODING): $BENCH_FILES files, $count articles of about $BENCH_LINES lines, $((posted_bytes / 1000000)) MB posted;"
echo "        HEAD and BODY replies of the group: $((bytes / 1000000)) MB (measured by the raw client)"
echo "best of $((BENCH_ROUNDS + 1)) raw runs and $BENCH_ROUNDS extractions; SCHED_FIFO: $([[ $BENCH_RT == 1 ]] && echo yes || echo no)"
awk -v bytes="$bytes" -v n="$count" \
    -v rs="$raw_best" -v ru="$raw_user" -v rsys="$raw_sys" -v rr="$raw_rss" \
    -v gs="$gw_best_wall" -v gspan="$gw_best_span" -v gu="$gw_user_best" -v gsys="$gw_sys_best" \
    -v gr="$gw_rss_max" 'BEGIN {
    printf "%-34s %9s %11s %11s %9s %12s\n", "", "MB/s", "articles/s", "headers/s", "CPU s", "peak RSS MB"
    printf "%-34s %9.1f %11.1f %11.1f %9.2f %12.1f\n", "raw client (connect to QUIT)", bytes / 1e6 / rs, n / rs, n / rs, ru + rsys, rr / 1024
    printf "%-34s %9.1f %11.1f %11.1f %9.2f %12.1f\n", "gleanwick (connecting to complete)", bytes / 1e6 / gspan, n / gspan, n / gspan, gu + gsys, gr / 1024
    printf "%-34s %9.1f %11.1f %11.1f\n", "gleanwick (whole process)", bytes / 1e6 / gs, n / gs, n / gs
    printf "extraction rate / raw rate: %.0f%% from connecting to complete, %.0f%% for the whole process\n", 100 * rs / gspan, 100 * rs / gs
    printf "(target at least 80%%); gleanwick peak RSS target: under 50 MB\n"
}'
awk -v bytes="$bytes" -v n="$count" -v ps="$gw_best_span" -v pu="$gw_span_user" \
    -v psys="$gw_span_sys" -v ts="$tls_best_span" -v tu="$tls_user" -v tsys="$tls_sys" \
    -v tr="$tls_rss_max" -v rs="$raw_best" -v ru="$raw_user" -v rsys="$raw_sys" \
    -v xs="$rawtls_best" -v xu="$rawtls_user" -v xsys="$rawtls_sys" -v rsrv="$raw_best_server" \
    -v xsrv="$rawtls_best_server" -v psrv="$gw_span_server" -v tsrv="$tls_server" \
    -v cores="$CORES" 'BEGIN {
    printf "\n%-34s %9s %11s %9s %9s %12s\n", "plain NNTP and NNTP over TLS", "MB/s", "articles/s", "CPU s", "server s", "peak RSS MB"
    printf "%-34s %9.1f %11.1f %9.2f %9.2f\n", "raw client, plain", bytes / 1e6 / rs, n / rs, ru + rsys, rsrv
    printf "%-34s %9.1f %11.1f %9.2f %9.2f\n", "raw client, TLS", bytes / 1e6 / xs, n / xs, xu + xsys, xsrv
    printf "%-34s %9.1f %11.1f %9.2f %9.2f\n", "gleanwick, plain", bytes / 1e6 / ps, n / ps, pu + psys, psrv
    printf "%-34s %9.1f %11.1f %9.2f %9.2f %12.1f\n", "gleanwick, TLS", bytes / 1e6 / ts, n / ts, tu + tsys, tsrv, tr / 1024
    printf "(gleanwick: connecting to complete; CPU s: the whole client process; server s: the CPU of the server)\n"
    printf "gleanwick TLS rate / plain rate: %.0f%% (target at least 75%%); raw client: %.0f%%\n", 100 * ps / ts, 100 * rs / xs
    printf "gleanwick TLS rate / raw client TLS rate: %.0f%%\n", 100 * xs / ts
    # The extraction runs on one thread, and shares the cores with the server: the TLS run can
    # take no less than its own CPU seconds, nor than both CPU seconds spread over every core
    # (a bound a little too high: the CPU seconds of the process include its start-up and exit).
    floor = tu + tsys
    if ((tu + tsys + tsrv) / cores > floor) floor = (tu + tsys + tsrv) / cores
    printf "the plain run: %.2f CPU s in %.3f s; the TLS run: %.2f CPU s, the server %.2f on %d cores:\n", \
        pu + psys, ps, tu + tsys, tsrv, cores
    printf "    the TLS run takes at least %.3f s, at most %.0f%% of the plain rate\n", floor, \
        (floor > ps ? 100 * ps / floor : 100)
}'
awk -v bytes="$bytes" -v hs="$best_headless" -v ws="$best_window" -v hr="$headless_rss_max" \
    -v wr="$window_rss_max" -v start="$start_s" 'BEGIN {
    printf "\n%-34s %9s %12s\n", "connect to close (strace)", "MB/s", "peak RSS MB"
    printf "%-34s %9.1f %12.1f\n", "gleanwick -headless", bytes / 1e6 / hs, hr / 1024
    printf "%-34s %9.1f %12.1f\n", "gleanwick window (offscreen)", bytes / 1e6 / ws, wr / 1024
    printf "window rate / headless rate: %.0f%% (target at least 90%%; window peak RSS under 80 MB)\n", 100 * hs / ws
    printf "headless start-up and exit with nothing to do: %.1f ms\n", start * 1000 / 50
}'
