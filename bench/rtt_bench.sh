#!/bin/bash
# The run at a distance: the private INN2 behind bench/delay_relay.py, a TCP relay on loopback
# that holds every chunk for half the round trip in each direction (this kernel has no netem).
# Two groups: TEXT_ARTICLES short text articles that the run passes over on their headers, and
# a yEnc corpus of BIN_MB MB in parts of 5000 lines. For each round trip of RTTS (ms), measured
# side by side on the same corpus:
#   1. gleanwick -headless with "Pipeline Depth" 1 and one connection (one command, then its
#      reply) and with each depth of DEPTHS and each count of CONNECTIONS ("Connections");
#   2. bench/raw_nntp_client with the same depth and connections, the same method as the run
#      (HEADs of the range sent ahead, each BODY once its HEAD's reply is in, the range shared
#      out over the connections).
# Prints headers per second for the text group, MB/s for the binaries, CPU seconds and peak
# RSS. Not part of the test suite; run as root (INN2 runs as the news user).
#
#   bench/rtt_bench.sh [GLEANWICK_BINARY]      RTTS="20 50" DEPTHS="256" CONNECTIONS="1 4"
#                                              TEXT_ARTICLES=2000 BIN_MB=200
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
GW_BINARY=$(realpath -m "${1:-$ROOT/build/gleanwick}")
RTTS=${RTTS:-20 50}
DEPTHS=${DEPTHS:-256}
CONNECTIONS=${CONNECTIONS:-1 4}
TEXT_ARTICLES=${TEXT_ARTICLES:-2000}
BIN_MB=${BIN_MB:-200}
TEXT_GROUP=alt.bench.text
BIN_GROUP=alt.binaries.bench

die() {
    echo "rtt_bench: $*" >&2
    exit 1
}

[[ -x $GW_BINARY ]] || die "no gleanwick binary at $GW_BINARY"
[[ $(id -u) -eq 0 ]] || die "run as root (INN2 runs as the news user)"
for tool in uuenview g++ python3 /usr/lib/news/bin/innd /usr/bin/time; do
    command -v "$tool" >/dev/null || { "$ROOT/scripts/install-deps.sh" --tests || exit 1; break; }
done

. "$ROOT/tests/e2e/lib_inn.sh"
. "$ROOT/tests/e2e/lib_corpus.sh"
. "$ROOT/tests/e2e/lib_gw.sh"

WORK=$(mktemp -d /tmp/gleanwick-rtt.XXXXXX)
RELAY_PID=
trap '[[ -n $RELAY_PID ]] && kill "$RELAY_PID" 2>/dev/null; inn_stop; rm -rf "$WORK"' EXIT
trap 'exit 130' INT TERM
mkdir -p "$WORK/orig" "$WORK/articles" "$WORK/parts"

g++ -std=c++20 -O2 -Wall -Wextra -pthread -o "$WORK/raw_nntp_client" \
    "$ROOT/bench/raw_nntp_client.cpp" -lssl -lcrypto || die "cannot build the raw client"

echo "== corpus: $TEXT_ARTICLES text articles, $BIN_MB MB of yEnc parts"
articles=()
printf 'Just a few words.\n' >"$WORK/text"
for ((i = 1; i <= TEXT_ARTICLES; i++)); do
    corpus_article "$WORK/articles/text.$i" "$TEXT_GROUP" "Poster <p@poster.test>" "Note $i" "$WORK/text"
    articles+=("$WORK/articles/text.$i")
done
corpus_random "$WORK/orig/bench.bin" $((BIN_MB * 1000000 * 126 / 130))
(cd "$WORK/parts" && uuenview -y -5000 -od . "$WORK/orig/bench.bin" >/dev/null 2>&1) ||
    die "uuenview failed"
mapfile -t parts < <(ls "$WORK"/parts/bench.[0-9][0-9][0-9] | sort)
for ((p = 0; p < ${#parts[@]}; p++)); do
    corpus_article "$WORK/articles/bin.$p" "$BIN_GROUP" "Poster <p@poster.test>" \
        "$(printf '"bench.bin" yEnc (%d/%d)' $((p + 1)) ${#parts[@]})" "${parts[p]}"
    articles+=("$WORK/articles/bin.$p")
done
corpus_batch "$WORK/batch" "${articles[@]}"
rm -rf "$WORK/articles" "$WORK/parts"

inn_setup "$WORK/inn" || die "cannot set up INN2"
inn_start || die "cannot start INN2"
inn_newgroup "$TEXT_GROUP" && inn_newgroup "$BIN_GROUP" || exit 1
inn_feed "$WORK/batch" || exit 1
inn_sync
rm -f "$WORK/batch"

# "status wall user system maxrss_kb" of a command, its output to FILE.
measure() { # FILE COMMAND...
    local out=$1
    shift
    timeout -k 5 3600 /usr/bin/time -o "$out.time" -f '%x %e %U %S %M' "$@" >"$out" 2>&1
    # The last line: GNU time puts "Command exited with non-zero status" before it.
    tail -n 1 "$out.time"
}

gleanwick() { # PORT GROUP DEPTH CONNECTIONS: prints "wall cpu rss_mb"
    local home=$WORK/home-$2-$3-$4 status wall user sys rss
    rm -rf "$home"
    GW_SETTINGS=('"m_uMinLines"=dword:00000032')
    GW_SERVER_ROWS=("\"Pipeline Depth\"=$(gw_dword "$3")" "\"Connections\"=$(gw_dword "$4")")
    gw_home "$home" "$1"
    gw_newsrc "$home" "$2: 0"
    read -r status wall user sys rss < <(GLEANWICK_HOME=$home QT_QPA_PLATFORM=offscreen \
        measure "$home.out" "$GW_BINARY" -headless)
    [[ $status -eq 0 ]] || die "gleanwick failed ($status): $(tail -n 3 "$home.out")"
    if [[ $2 == "$BIN_GROUP" ]]; then
        cmp -s "$WORK/orig/bench.bin" "$home/Decodes/bench.bin" || die "bench.bin decoded wrongly"
    fi
    awk -v w="$wall" -v u="$user" -v s="$sys" -v r="$rss" 'BEGIN { printf "%s %.2f %.1f\n", w, u + s, r / 1024 }'
}

raw() { # PORT GROUP DEPTH HEADS_ONLY CONNECTIONS: prints "seconds bytes cpu rss_mb"
    local out=$WORK/raw.out status wall user sys rss
    read -r status wall user sys rss < <(RAW_DEPTH=$3 RAW_HEADS_ONLY=$4 RAW_CONNECTIONS=$5 measure "$out" \
        "$WORK/raw_nntp_client" 127.0.0.1 "$1" "$2")
    [[ $status -eq 0 ]] || die "raw client failed: $(cat "$out")"
    awk -v u="$user" -v s="$sys" -v r="$rss" '{
        for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
        printf "%s %s %.2f %.1f\n", v["seconds"], v["bytes"], u + s, r / 1024 }' "$out"
}

bin_bytes=$(raw "$INN_READ_PORT" "$BIN_GROUP" 1 0 1 | cut -d' ' -f2)
for rtt in $RTTS; do
    port=$(inn_free_port)
    python3 "$ROOT/bench/delay_relay.py" "$port" "$INN_READ_PORT" "$rtt" 7200 >"$WORK/relay.out" 2>&1 &
    RELAY_PID=$!
    for ((i = 0; i < 100; i++)); do grep -q ready "$WORK/relay.out" && break; sleep 0.1; done
    echo
    echo "== round trip $rtt ms ($TEXT_ARTICLES text articles passed over; $((bin_bytes / 1000000)) MB of yEnc replies)"
    printf '%-28s %12s %10s %12s %10s %8s\n' "" "headers/s" "CPU s" "binary MB/s" "CPU s" "RSS MB"
    for depth in 1 $DEPTHS; do
        counts=$CONNECTIONS
        [[ $depth -eq 1 ]] && counts=1
        for conns in $counts; do
            label="depth $depth, $conns conn."
            read -r tw tc tr < <(gleanwick "$port" "$TEXT_GROUP" "$depth" "$conns")
            read -r bw bc br < <(gleanwick "$port" "$BIN_GROUP" "$depth" "$conns")
            awk -v n="$TEXT_ARTICLES" -v b="$bin_bytes" -v l="$label" -v tw="$tw" -v tc="$tc" \
                -v bw="$bw" -v bc="$bc" -v r="$br" 'BEGIN {
                printf "%-28s %12.1f %10.2f %12.1f %10.2f %8.1f\n", "gleanwick, " l, n / tw, tc, b / 1e6 / bw, bc, r }'
            read -r rts _ rtc _ < <(raw "$port" "$TEXT_GROUP" "$depth" 1 "$conns")
            read -r rbs _ rbc rr < <(raw "$port" "$BIN_GROUP" "$depth" 0 "$conns")
            awk -v n="$TEXT_ARTICLES" -v b="$bin_bytes" -v l="$label" -v ts="$rts" -v tc="$rtc" \
                -v bs="$rbs" -v bc="$rbc" -v r="$rr" -v gw="$bw" -v gt="$tw" 'BEGIN {
                printf "%-28s %12.1f %10.2f %12.1f %10.2f %8.1f\n", "raw client, " l, n / ts, tc, b / 1e6 / bs, bc, r
                printf "%-28s gleanwick / raw client: headers %.2f, binaries %.2f\n", "", ts / gt, bs / gw }'
        done
    done
    kill "$RELAY_PID" 2>/dev/null
    wait "$RELAY_PID" 2>/dev/null
    RELAY_PID=
done
