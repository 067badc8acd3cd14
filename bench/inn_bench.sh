#!/bin/bash
# Whole-run benchmark against a private INN2 server on 127.0.0.1: a large multipart
# uuencoded corpus (parts of about 5,000 lines) is posted to one group, then fetched by
#   1. bench/raw_nntp_client (GROUP, then HEAD and BODY per article, data discarded): the
#      server's raw transfer rate, measured before and after the extraction;
#   2. gleanwick -headless extracting the same group (every file checked against its original).
# Prints MB/s, articles and headers per second, user+system CPU seconds and peak RSS of both,
# and the ratio of the extraction's rate to the raw one. Not part of the test suite.
#
#   bench/inn_bench.sh [GLEANWICK_BINARY]     (default build/gleanwick)
#
# BENCH_MB sets the size of the posted corpus in MB (default 200), BENCH_FILES the number of
# files it is made of (default 4), BENCH_LINES the lines per part (default 5000).
# BENCH_RT=1 (the default when run as root) runs the reader daemon and both clients under
# SCHED_FIFO, so that other work on a shared machine does not preempt them; BENCH_RT=0 runs
# them as ordinary processes.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
GW_BINARY=$(realpath -m "${1:-$ROOT/build/gleanwick}")
BENCH_MB=${BENCH_MB:-200}
BENCH_FILES=${BENCH_FILES:-4}
BENCH_LINES=${BENCH_LINES:-5000}
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

. "$ROOT/tests/e2e/lib_inn.sh"
. "$ROOT/tests/e2e/lib_corpus.sh"
. "$ROOT/tests/e2e/lib_gw.sh"

WORK=$(mktemp -d /tmp/gleanwick-bench.XXXXXX)
trap 'inn_stop; rm -rf "$WORK"' EXIT
trap 'exit 130' INT TERM
mkdir -p "$WORK/orig" "$WORK/articles" "$WORK/parts"

echo "== building the raw client"
g++ -std=c++20 -O2 -Wall -Wextra -o "$WORK/raw_nntp_client" "$ROOT/bench/raw_nntp_client.cpp" ||
    die "cannot build the raw client"

# Runs a command, its output to FILE, and prints "status wall user system maxrss_kb".
# GNU time forks before it executes the command, so the peak RSS is the command's own.
measure() { # FILE COMMAND...
    local out=$1
    shift
    /usr/bin/time -o "$out.time" -f '%x %e %U %S %M' "$@" >"$out" 2>&1
    cat "$out.time"
}

echo "== building a corpus of $BENCH_MB MB (uuencoded) in parts of $BENCH_LINES lines"
# uuencoding turns 45 bytes into a 62-byte line (61 characters and the line end).
file_size=$((BENCH_MB * 1000000 * 45 / 62 / BENCH_FILES + 1))
articles=()
for ((f = 1; f <= BENCH_FILES; f++)); do
    name=bench$f.bin
    corpus_random "$WORK/orig/$name" "$file_size"
    mapfile -t parts < <(corpus_uuenview_parts "$WORK/parts/$name" "$WORK/orig/$name" "$BENCH_LINES")
    [[ ${#parts[@]} -gt 0 ]] || die "uuenview made no parts of $name"
    for ((p = 0; p < ${#parts[@]}; p++)); do
        art=$WORK/articles/$name.$((p + 1))
        corpus_article "$art" "$GROUP" "Bench <bench@poster.test>" \
            "$(printf '%s (%03d/%03d) - [ %s ]' "$name" $((p + 1)) ${#parts[@]} "$name")" "${parts[p]}"
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
count=$(python3 "$ROOT/tests/e2e/nntp_probe.py" "$INN_READ_PORT" group "$GROUP" | cut -d' ' -f3)
[[ $count -eq ${#articles[@]} ]] || die "the server holds $count of ${#articles[@]} articles"

raw_run() { # OUTPUT
    measure "$1" "${RT[@]}" "$WORK/raw_nntp_client" "$INN_HOST" "$INN_READ_PORT" "$GROUP"
}

echo "== raw client"
read -r raw1_status raw1_wall raw1_user raw1_sys raw1_rss < <(raw_run "$WORK/raw1.out")
[[ $raw1_status -eq 0 ]] || die "raw client failed: $(cat "$WORK/raw1.out")"
echo "   $(cat "$WORK/raw1.out")"

echo "== gleanwick -headless"
HOME_DIR=$WORK/home
gw_home "$HOME_DIR" "$INN_READ_PORT"
gw_newsrc "$HOME_DIR" "$GROUP: 0"
read -r gw_status gw_wall gw_user gw_sys gw_rss < <(
    GLEANWICK_HOME=$HOME_DIR QT_QPA_PLATFORM=offscreen \
        measure "$WORK/gw.out" "${RT[@]}" timeout -k 5 1800 "$GW_BINARY" -headless)
echo "   ${gw_wall} s"
[[ $gw_status -eq 0 ]] || die "gleanwick failed ($gw_status): $(tail -n 5 "$WORK/gw.out")"
for ((f = 1; f <= BENCH_FILES; f++)); do
    cmp -s "$WORK/orig/bench$f.bin" "$HOME_DIR/Decodes/bench$f.bin" ||
        die "bench$f.bin was not decoded correctly"
done

echo "== raw client again"
read -r raw2_status raw2_wall raw2_user raw2_sys raw2_rss < <(raw_run "$WORK/raw2.out")
[[ $raw2_status -eq 0 ]] || die "raw client failed: $(cat "$WORK/raw2.out")"
echo "   $(cat "$WORK/raw2.out")"

# The faster raw run is the ceiling; both runs transfer the same replies.
raw_out=$WORK/raw1.out raw_wall=$raw1_wall raw_user=$raw1_user raw_sys=$raw1_sys raw_rss=$raw1_rss
if awk -v a="$raw2_wall" -v b="$raw1_wall" 'BEGIN { exit !(a < b) }'; then
    raw_out=$WORK/raw2.out raw_wall=$raw2_wall raw_user=$raw2_user raw_sys=$raw2_sys raw_rss=$raw2_rss
fi
bytes=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' "$raw_out")
seconds=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' "$raw_out")

echo
echo "corpus: $BENCH_FILES files, $count articles of about $BENCH_LINES lines, $((posted_bytes / 1000000)) MB posted;"
echo "        HEAD and BODY replies of the group: $((bytes / 1000000)) MB (measured by the raw client)"
echo "raw runs: ${raw1_wall} s and ${raw2_wall} s (the faster one is shown); SCHED_FIFO: $([[ $BENCH_RT == 1 ]] && echo yes || echo no)"
awk -v bytes="$bytes" -v n="$count" \
    -v rs="$seconds" -v ru="$raw_user" -v rsys="$raw_sys" -v rr="$raw_rss" \
    -v gs="$gw_wall" -v gu="$gw_user" -v gsys="$gw_sys" -v gr="$gw_rss" 'BEGIN {
    printf "%-22s %9s %11s %11s %9s %12s\n", "", "MB/s", "articles/s", "headers/s", "CPU s", "peak RSS MB"
    printf "%-22s %9.1f %11.1f %11.1f %9.2f %12.1f\n", "raw client", bytes / 1e6 / rs, n / rs, n / rs, ru + rsys, rr / 1024
    printf "%-22s %9.1f %11.1f %11.1f %9.2f %12.1f\n", "gleanwick -headless", bytes / 1e6 / gs, n / gs, n / gs, gu + gsys, gr / 1024
    printf "extraction rate / raw rate: %.0f%% (target at least 80%%); gleanwick peak RSS target: under 50 MB\n", 100 * rs / gs
}'
