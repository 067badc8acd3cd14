#!/bin/bash
# The run at a distance: the private INN2 behind bench/delay_relay.py, a TCP relay on loopback
# that holds every chunk for half the round trip in each direction (this kernel has no netem).
# Three groups: TEXT_ARTICLES short text articles that the run passes over on their headers
# (their Lines), as many replies that it passes over on the server's overview alone, SINGLES
# yEnc files of 64 kB posted as "(1/1)", and a yEnc corpus of BIN_MB MB in parts of 5000 lines. For each round trip of RTTS (ms), measured
# side by side on the same corpus:
#   1. gleanwick -headless with "Pipeline Depth" 1 and one connection (one command, then its
#      reply) and with each depth of DEPTHS and each count of CONNECTIONS ("Connections");
#   2. bench/raw_nntp_client with the same depth and connections, the same method as the run
#      (HEADs of the range sent ahead, each BODY once its HEAD's reply is in, the range shared
#      out over the connections), deeper than 1 after the overview's format and the range's first
#      XOVER block, as the run reads them; for the replies, the range's XOVER blocks only.
# Prints headers per second for the text group and MB/s for the binaries, of gleanwick from its
# "Connecting to" line to "Extract Complete" (the stretch the raw client times, from its connect
# to its QUIT) and as a whole process, CPU seconds and peak RSS. Not part of the test suite; run as root (INN2 runs as the news user).
#
#   bench/rtt_bench.sh [GLEANWICK_BINARY]      RTTS="20 50" DEPTHS="256" CONNECTIONS="1 4"
#                                              TEXT_ARTICLES=2000 SINGLES=200 BIN_MB=200 ROUNDS=3
#                                              CONNECTION_RATE=MB/s (a limit per connection)
# Rows deeper than 1 show the best of ROUNDS rounds (gleanwick and the raw client alternating),
# since both only ever lose time to the machine's other work.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
GW_BINARY=$(realpath -m "${1:-$ROOT/build/gleanwick}")
RTTS=${RTTS:-20 50}
DEPTHS=${DEPTHS:-256}
CONNECTIONS=${CONNECTIONS:-1 4}
TEXT_ARTICLES=${TEXT_ARTICLES:-2000}
SINGLES=${SINGLES:-200}
BIN_MB=${BIN_MB:-200}
ROUNDS=${ROUNDS:-3}
# MB/s each connection may pass (a provider's limit per connection); empty for none.
CONNECTION_RATE=${CONNECTION_RATE:-}
TEXT_GROUP=alt.bench.text
REPLY_GROUP=alt.bench.replies
SINGLE_GROUP=alt.binaries.bench.singles
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
. "$ROOT/bench/lib_stamp.sh"

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
    corpus_article "$WORK/articles/reply.$i" "$REPLY_GROUP" "Poster <p@poster.test>" "Re: Note $i" "$WORK/text"
    articles+=("$WORK/articles/reply.$i")
done
mkdir -p "$WORK/singles"
for ((i = 1; i <= SINGLES; i++)); do
    corpus_random "$WORK/singles/single$i.bin" 65536
    (cd "$WORK/parts" && uuenview -y -5000 -od . "$WORK/singles/single$i.bin" >/dev/null 2>&1) ||
        die "uuenview failed"
    corpus_article "$WORK/articles/single.$i" "$SINGLE_GROUP" "Poster <p@poster.test>" \
        "\"single$i.bin\" yEnc (1/1)" "$WORK/parts/single$i.001"
    articles+=("$WORK/articles/single.$i")
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
inn_newgroup "$TEXT_GROUP" && inn_newgroup "$REPLY_GROUP" && inn_newgroup "$SINGLE_GROUP" &&
    inn_newgroup "$BIN_GROUP" || exit 1
inn_feed "$WORK/batch" || exit 1
inn_sync
rm -f "$WORK/batch"

# "status wall user system maxrss_kb" of a command, its output to FILE.
measure() { # FILE COMMAND...
    local out=$1
    shift
    timeout -k 5 3600 /usr/bin/time -o "$WORK/last.time" -f '%x %e %U %S %M' "$@" >"$out" 2>&1
    # The last line: GNU time puts "Command exited with non-zero status" before it.
    tail -n 1 "$WORK/last.time"
}

# Prints "span wall cpu rss_mb": span from its "Connecting to" line to "Extract Complete" (the
# stretch the raw client times), wall for the whole process.
gleanwick() { # PORT GROUP DEPTH CONNECTIONS
    local home=$WORK/home-$2-$3-$4 fifo=$WORK/gw.fifo stamper status wall user sys rss span
    rm -rf "$home" "$fifo"
    GW_SETTINGS=('"m_uMinLines"=dword:00000032')
    GW_SERVER_ROWS=("\"Pipeline Depth\"=$(gw_dword "$3")" "\"Connections\"=$(gw_dword "$4")")
    gw_home "$home" "$1"
    gw_newsrc "$home" "$2: 0"
    mkfifo "$fifo"
    stamp_lines "$fifo" "$home.out" &
    stamper=$!
    read -r status wall user sys rss < <(GLEANWICK_HOME=$home QT_QPA_PLATFORM=offscreen \
        measure "$fifo" "$GW_BINARY" -headless)
    wait "$stamper"
    [[ $status -eq 0 ]] || die "gleanwick failed ($status): $(tail -n 3 "$home.out")"
    if [[ $2 == "$BIN_GROUP" ]]; then
        cmp -s "$WORK/orig/bench.bin" "$home/Decodes/bench.bin" || die "bench.bin decoded wrongly"
    fi
    if [[ $2 == "$SINGLE_GROUP" ]]; then
        diff -rq "$WORK/singles" "$home/Decodes" >/dev/null || die "the singles decoded wrongly"
    fi
    span=$(stamped_span "$home.out" "Connecting to" "Extract Complete") ||
        die "gleanwick printed no start or end line"
    awk -v p="$span" -v w="$wall" -v u="$user" -v s="$sys" -v r="$rss" 'BEGIN { printf "%s %s %.2f %.1f\n", p, w, u + s, r / 1024 }'
}

raw() { # PORT GROUP DEPTH HEADS_ONLY CONNECTIONS [OVERVIEW]: prints "seconds bytes cpu rss_mb"
    local out=$WORK/raw.out status wall user sys rss
    read -r status wall user sys rss < <(RAW_DEPTH=$3 RAW_HEADS_ONLY=$4 RAW_CONNECTIONS=$5 \
        RAW_OVERVIEW=${6:-0} measure "$out" \
        "$WORK/raw_nntp_client" 127.0.0.1 "$1" "$2")
    [[ $status -eq 0 ]] || die "raw client failed: $(cat "$out")"
    awk -v u="$user" -v s="$sys" -v r="$rss" '{
        for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
        printf "%s %s %.2f %.1f\n", v["seconds"], v["bytes"], u + s, r / 1024 }' "$out"
}

bin_bytes=$(raw "$INN_READ_PORT" "$BIN_GROUP" 1 0 1 | cut -d' ' -f2)
for rtt in $RTTS; do
    port=$(inn_free_port)
    python3 "$ROOT/bench/delay_relay.py" "$port" "$INN_READ_PORT" "$rtt" 7200 $CONNECTION_RATE \
        >"$WORK/relay.out" 2>&1 &
    RELAY_PID=$!
    for ((i = 0; i < 100; i++)); do grep -q ready "$WORK/relay.out" && break; sleep 0.1; done
    echo
    echo "== round trip $rtt ms${CONNECTION_RATE:+, at most $CONNECTION_RATE MB/s per connection} ($TEXT_ARTICLES text articles passed over; $((bin_bytes / 1000000)) MB of yEnc replies)"
    printf '%-28s %10s %10s %8s %10s %10s %8s %7s\n' "" "headers/s" "(process)" "CPU s" \
        "binary MB/s" "(process)" "CPU s" "RSS MB"
    for depth in 1 $DEPTHS; do
        counts=$CONNECTIONS
        [[ $depth -eq 1 ]] && counts=1
        for conns in $counts; do
            label="depth $depth, $conns conn."
            rounds=$ROUNDS
            # Deeper than 1 the run reads a group's first overview block before its HEADs.
            first_block=1
            [[ $depth -eq 1 ]] && rounds=1 first_block=0
            best_tp= best_bp= best_rts= best_rbs= best_op= best_ros= best_sp= best_rss=
            for ((round = 0; round < rounds; round++)); do
                read -r tp tw tc tr < <(gleanwick "$port" "$TEXT_GROUP" "$depth" "$conns")
                read -r bp bw bc br < <(gleanwick "$port" "$BIN_GROUP" "$depth" "$conns")
                read -r rts _ rtc _ < <(raw "$port" "$TEXT_GROUP" "$depth" 1 "$conns" "$first_block")
                read -r rbs _ rbc rr < <(raw "$port" "$BIN_GROUP" "$depth" 0 "$conns" "$first_block")
                read -r op ow oc _ < <(gleanwick "$port" "$REPLY_GROUP" "$depth" "$conns")
                read -r ros _ roc _ < <(raw "$port" "$REPLY_GROUP" "$depth" 1 "$conns" 2)
                read -r sp sw sc _ < <(gleanwick "$port" "$SINGLE_GROUP" "$depth" "$conns")
                read -r rss _ rsc _ < <(raw "$port" "$SINGLE_GROUP" "$depth" 0 "$conns" "$first_block")
                if [[ -z $best_sp ]] || awk -v a="$sp" -v b="$best_sp" 'BEGIN { exit !(a < b) }'; then
                    best_sp=$sp best_sw=$sw best_sc=$sc
                fi
                if [[ -z $best_rss ]] || awk -v a="$rss" -v b="$best_rss" 'BEGIN { exit !(a < b) }'; then
                    best_rss=$rss best_rsc=$rsc
                fi
                if [[ -z $best_op ]] || awk -v a="$op" -v b="$best_op" 'BEGIN { exit !(a < b) }'; then
                    best_op=$op best_ow=$ow best_oc=$oc
                fi
                if [[ -z $best_ros ]] || awk -v a="$ros" -v b="$best_ros" 'BEGIN { exit !(a < b) }'; then
                    best_ros=$ros best_roc=$roc
                fi
                # The best round of each, with the figures of that round.
                if [[ -z $best_tp ]] || awk -v a="$tp" -v b="$best_tp" 'BEGIN { exit !(a < b) }'; then
                    best_tp=$tp best_tw=$tw best_tc=$tc
                fi
                if [[ -z $best_bp ]] || awk -v a="$bp" -v b="$best_bp" 'BEGIN { exit !(a < b) }'; then
                    best_bp=$bp best_bw=$bw best_bc=$bc best_br=$br
                fi
                if [[ -z $best_rts ]] || awk -v a="$rts" -v b="$best_rts" 'BEGIN { exit !(a < b) }'; then
                    best_rts=$rts best_rtc=$rtc
                fi
                if [[ -z $best_rbs ]] || awk -v a="$rbs" -v b="$best_rbs" 'BEGIN { exit !(a < b) }'; then
                    best_rbs=$rbs best_rbc=$rbc best_rr=$rr
                fi
            done
            awk -v n="$TEXT_ARTICLES" -v b="$bin_bytes" -v l="$label" -v tp="$best_tp" \
                -v tw="$best_tw" -v tc="$best_tc" -v bp="$best_bp" -v bw="$best_bw" \
                -v bc="$best_bc" -v r="$best_br" 'BEGIN {
                printf "%-28s %10.1f %10.1f %8.2f %10.1f %10.1f %8.2f %7.1f\n", "gleanwick, " l,
                    n / tp, n / tw, tc, b / 1e6 / bp, b / 1e6 / bw, bc, r }'
            awk -v n="$TEXT_ARTICLES" -v b="$bin_bytes" -v l="$label" -v ts="$best_rts" \
                -v tc="$best_rtc" -v bs="$best_rbs" -v bc="$best_rbc" -v r="$best_rr" \
                -v gb="$best_bp" -v gt="$best_tp" 'BEGIN {
                printf "%-28s %10.1f %10s %8.2f %10.1f %10s %8.2f %7.1f\n", "raw client, " l,
                    n / ts, "", tc, b / 1e6 / bs, "", bc, r
                printf "%-28s gleanwick / raw client: headers %.2f, binaries %.2f\n", "", ts / gt, bs / gb }'
            awk -v n="$TEXT_ARTICLES" -v op="$best_op" -v ow="$best_ow" -v oc="$best_oc" \
                -v ros="$best_ros" -v roc="$best_roc" 'BEGIN {
                printf "%-28s replies passed over: gleanwick %.1f/s (process %.1f, CPU %.2f s), raw client XOVER %.1f/s (CPU %.2f s): %.2f\n",
                    "", n / op, n / ow, oc, n / ros, roc, ros / op }'
            awk -v n="$SINGLES" -v sp="$best_sp" -v sw="$best_sw" -v sc="$best_sc" \
                -v rss="$best_rss" -v rsc="$best_rsc" 'BEGIN {
                printf "%-28s singles (1/1): gleanwick %.1f/s (process %.1f, CPU %.2f s), raw client %.1f/s (CPU %.2f s): %.2f\n",
                    "", n / sp, n / sw, sc, n / rss, rsc, rss / sp }'
        done
    done
    kill "$RELAY_PID" 2>/dev/null
    wait "$RELAY_PID" 2>/dev/null
    RELAY_PID=
done
