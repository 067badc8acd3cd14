#!/bin/bash
# End-to-end tests: gleanwick -headless against a private INN2 news server on 127.0.0.1,
# with articles made by the real encoders (uuencode, uuenview, mpack).
#
#   tests/e2e/run.sh GLEANWICK_BINARY
#
# GW_E2E_KEEP=1 keeps the work folder (server, corpus, homes, program output) for a look.
# Prints one line per check and ends with "N passed, M failed"; exits non-zero on any failure.
set -uo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
if [[ $# -ne 1 ]]; then
    echo "usage: $0 GLEANWICK_BINARY" >&2
    exit 2
fi
GW_BINARY=$(realpath -m "$1")

for tool in uuencode uuenview uudeview mpack python3 openssl /usr/lib/news/bin/innd; do
    if ! command -v "$tool" >/dev/null; then
        "$HERE/../../scripts/install-deps.sh" --tests || { echo "0 passed, 1 failed"; exit 1; }
        break
    fi
done

. "$HERE/lib_inn.sh"
. "$HERE/lib_corpus.sh"
. "$HERE/lib_gw.sh"
. "$HERE/lib_check.sh"

# INN2 runs as the news user; root starts it and hands it the work folder.
[[ $(id -u) -eq 0 || $(id -un) == news ]] || abort "run as root (INN2 runs as the news user)"

WORK=$(mktemp -d /tmp/gleanwick-e2e.XXXXXX)
BACKGROUND_PIDS=()
cleanup() {
    local pid
    for pid in "${BACKGROUND_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    inn_stop
    mountpoint -q "$WORK/small" 2>/dev/null && umount "$WORK/small"
    if [[ -n ${GW_E2E_KEEP:-} ]]; then
        echo "work folder kept: $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ORIG=$WORK/orig
ART=$WORK/articles
mkdir -p "$ORIG" "$ART" "$WORK/tmp"

TEST_GROUP=alt.binaries.test
OTHER_GROUP=alt.binaries.other
STOP_GROUP=alt.binaries.stop
POSTER='Poster <poster@poster.test>'

# --- the corpus --------------------------------------------------------------------------

# A single uuencoded file.
make_uuencoded() { # ARTICLE GROUP FROM SUBJECT FILE SIZE
    corpus_random "$ORIG/$5" "$6"
    (cd "$ORIG" && uuencode "$5" "$5") >"$WORK/tmp/$5.uue"
    corpus_article "$1" "$2" "$3" "$4" "$WORK/tmp/$5.uue"
}

# A file split by uuenview into parts of LINES lines; one article per part, subjects as
# uuenview gives them when it posts ("name (001/003) - [ file ]").
make_uuenview_set() { # PREFIX FILE SIZE LINES
    local prefix=$1 file=$2 part total i=0
    corpus_random "$ORIG/$file" "$3"
    mapfile -t parts < <(corpus_uuenview_parts "$WORK/tmp/$file.parts" "$ORIG/$file" "$4")
    total=${#parts[@]}
    for part in "${parts[@]}"; do
        i=$((i + 1))
        corpus_article "$ART/$prefix.$i" "$TEST_GROUP" "$POSTER" \
            "$(printf '%s (%03d/%03d) - [ %s ]' "$file" "$i" "$total" "$file")" "$part"
    done
    echo "$total"
}

# A file posted by uuenview itself (-p): its posting program is replaced by one that keeps
# each message, which then becomes an article with uuenview's own headers (MIME
# message/partial, a folded Content-Type) and subjects ("subject (001/003) - [ file ]").
make_uuenview_posted_set() { # PREFIX FILE SIZE LINES
    local prefix=$1 file=$2 dir=$WORK/tmp/$2.posted msg i=0
    mkdir -p "$dir/msgs"
    printf '#!/bin/bash\ncat >"%s/msgs/$(ls "%s/msgs" | wc -l | xargs printf %%03d)"\n' \
        "$dir" "$dir" >"$dir/inews"
    chmod +x "$dir/inews"
    corpus_random "$ORIG/$file" "$3"
    (cd "$ORIG" && INEWS=$dir/inews uuenview -u "-$4" -p "$TEST_GROUP" -s "$file" "$file") \
        >/dev/null 2>&1 || return 1
    for msg in "$dir"/msgs/*; do
        i=$((i + 1))
        sed '/^$/q' "$msg" | grep -vE '^(From|Newsgroups|Subject): |^$' >"$msg.h"
        sed '1,/^$/d' "$msg" >"$msg.body"
        corpus_article "$ART/$prefix.$i" "$TEST_GROUP" "$POSTER" \
            "$(sed -n 's/^Subject: //p' "$msg" | head -n 1)" "$msg.body" "$msg.h"
    done
    [[ $i -gt 1 ]]
}

# A MIME post made by mpack: its message for the first file (a description part, then the
# attachment), with the attachment parts mpack makes for the further files added before the
# closing boundary. TYPE FILE SIZE for each attachment.
make_mpack_post() { # ARTICLE SUBJECT TYPE1 FILE1 SIZE1 [TYPE2 FILE2 SIZE2]...
    local art=$1 subject=$2 msg=$WORK/tmp/$(basename "$1").mpack
    shift 2
    corpus_random "$ORIG/$2" "$3"
    printf 'The files.\n' >"$WORK/tmp/desc"
    mpack -s "$subject" -d "$WORK/tmp/desc" -c "$1" -o "$msg" "$ORIG/$2" || return 1
    grep -E '^(MIME-Version|Content-Type): ' <(sed '/^$/q' "$msg") >"$msg.h"
    sed '1,/^$/d; /^-----$/d' "$msg" >"$msg.body"
    shift 3
    while [[ $# -ge 3 ]]; do
        corpus_random "$ORIG/$2" "$3"
        printf -- '---\n' >>"$msg.body"
        corpus_mpack_parts "$WORK/tmp" "$1" "$ORIG/$2" >>"$msg.body" || return 1
        shift 3
    done
    printf -- '-----\n' >>"$msg.body"
    corpus_article "$art" "$TEST_GROUP" "$POSTER" "$subject" "$msg.body" "$msg.h"
}

# uuenview's attach mode: part headers without a name, the file named by Content-Disposition.
make_uuenview_attach_post() { # ARTICLE SUBJECT FILE1 SIZE1 FILE2 SIZE2
    local msg=$WORK/tmp/attach.msg
    corpus_random "$ORIG/$3" "$4"
    corpus_random "$ORIG/$5" "$6"
    printf 'Subject: x\n\nThe files.\n' | (cd "$ORIG" && uuenview -b -a "$3" "$5") >"$msg"
    sed -n '2,/^$/p' "$msg" | sed '/^$/d' >"$msg.h"
    sed '1,/^$/d' "$msg" >"$msg.body"
    corpus_article "$1" "$TEST_GROUP" "$POSTER" "$2" "$msg.body" "$msg.h"
}

build_corpus() {
    make_uuencoded "$ART/single" "$TEST_GROUP" "$POSTER" "single.bin" single.bin 40000
    make_uuenview_set multi multi.bin 40000 200 >/dev/null
    make_uuenview_posted_set posted posted.bin 25000 200
    GAP_PARTS=$(make_uuenview_set gap gap.bin 22000 200)
    make_mpack_post "$ART/mpack" "Two pictures" application/octet-stream a.bin 30000 image/jpeg b.jpg 25000
    make_mpack_post "$ART/video" "A clip" video/mpeg clip.mpg 20000
    make_uuenview_attach_post "$ART/attach" "Attached files" c.bin 9000 d.png 12000
    make_uuencoded "$ART/reply" "$TEST_GROUP" "$POSTER" "Re: reply.bin" reply.bin 20000
    make_uuencoded "$ART/short" "$TEST_GROUP" "$POSTER" "short.bin" short.bin 1000
    make_uuencoded "$ART/spam" "$TEST_GROUP" "Spam Bot <bot@spam.test>" "spam.bin" spam.bin 20000
    make_uuencoded "$ART/evil" "$TEST_GROUP" "$POSTER" "evil.exe" evil.exe 20000
    make_uuencoded "$ART/other" "$OTHER_GROUP" "$POSTER" "other.bin" other.bin 20000
    make_uuencoded "$ART/late" "$TEST_GROUP" "$POSTER" "late.bin" late.bin 20000
    make_uuencoded "$ART/big" "$STOP_GROUP" "$POSTER" "big.bin" big.bin 2000000
    # 45 * 100 + 14 bytes: the last data line starts with "." and travels dot-stuffed.
    make_uuencoded "$ART/dots" "$TEST_GROUP" "$POSTER" "dots.bin" dots.bin 4514
    # Overlong lines (a 20,000-character header, a 300,000-character body line) before the data.
    corpus_random "$ORIG/long.bin" 9000
    printf 'X-Note: %s\n' "$(head -c 20000 /dev/zero | tr '\0' n)" >"$WORK/tmp/long.h"
    { head -c 300000 /dev/zero | tr '\0' x && echo && (cd "$ORIG" && uuencode long.bin long.bin); } \
        >"$WORK/tmp/long.uue"
    corpus_article "$ART/long" "$TEST_GROUP" "$POSTER" "long.bin" "$WORK/tmp/long.uue" "$WORK/tmp/long.h"
    # Two uuencoded files in one body.
    corpus_random "$ORIG/pair1.bin" 9000
    corpus_random "$ORIG/pair2.bin" 7000
    (cd "$ORIG" && uuencode pair1.bin pair1.bin && printf 'and the second one\n' &&
        uuencode pair2.bin pair2.bin) >"$WORK/tmp/pair.uue"
    corpus_article "$ART/pair" "$TEST_GROUP" "$POSTER" "Two files" "$WORK/tmp/pair.uue"
    printf 'Just a few words.\n' >"$WORK/tmp/text"
    corpus_article "$ART/text" "$TEST_GROUP" "$POSTER" "Hello" "$WORK/tmp/text"
}

# --- checks on the program's results -----------------------------------------------------

# Article number of the article whose subject is given, from the server's overview.
article_number() {
    python3 "$HERE/nntp_probe.py" "$INN_READ_PORT" subjects "$TEST_GROUP" |
        awk -F'\t' -v s="$1" '$2 == s { print $1 }'
}

group_last() {
    python3 "$HERE/nntp_probe.py" "$INN_READ_PORT" group "$1" | cut -d' ' -f2
}

# The articles as the server serves them, decoded by a peer decoder (uudeview), give back
# every original of the first batch: the server stores and serves the corpus intact.
server_serves_corpus() {
    local dir=$WORK/served f
    mkdir -p "$dir/articles" "$dir/files"
    python3 "$HERE/nntp_probe.py" "$INN_READ_PORT" articles "$TEST_GROUP" "$dir/articles" || return 1
    uudeview -i -q -p "$dir/files/" "$dir"/articles/* >/dev/null 2>&1
    for f in single.bin multi.bin posted.bin a.bin b.jpg c.bin d.png clip.mpg reply.bin spam.bin \
        evil.exe long.bin; do
        cmp -s "$ORIG/$f" "$dir/files/$f" || return 1
    done
}

# Polls COMMAND every 0.1 s for at most SECONDS; true once it succeeds.
wait_for() { # SECONDS COMMAND...
    local tries=$(($1 * 10)) i
    shift
    for ((i = 0; i < tries; i++)); do
        "$@" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# Exit status of background process PID, which is killed if it is still there after SECONDS.
wait_exit() { # PID SECONDS
    wait_for "$2" bash -c "! kill -0 $1" || kill -KILL "$1" 2>/dev/null
    wait "$1"
}

# True while a file is being written in folder DIR (under its temporary name).
part_file_in() {
    compgen -G "$1/.gleanwick-*.part" >/dev/null
}

# Sorted list of files below a Decodes folder.
decoded_list() {
    (cd "$1" 2>/dev/null && find . -type f | sort)
}

# --- the run -----------------------------------------------------------------------------

echo "== building the corpus"
build_corpus || abort "cannot build the corpus"
GAP_SUBJECT() { printf 'gap.bin (%03d/%03d) - [ gap.bin ]' "$1" "$GAP_PARTS"; }

echo "== starting INN2"
inn_setup "$WORK/inn" || abort "cannot set up INN2"
inn_start || { tail -n 20 "$WORK"/inn/log/*; abort "cannot start INN2"; }
inn_newgroup "$TEST_GROUP" && inn_newgroup "$OTHER_GROUP" && inn_newgroup "$STOP_GROUP" ||
    abort "cannot create the groups"

# First batch: everything but the middle part of the gap set, the multipart set out of order.
batch1=("$ART/text" "$ART/multi.3" "$ART/single" "$ART/gap.1" "$ART/multi.1" "$ART/mpack"
    "$ART/reply" "$ART/multi.5" "$ART/short" "$ART/gap.3" "$ART/spam" "$ART/multi.2"
    "$ART/video" "$ART/dots" "$ART/evil" "$ART/attach" "$ART/long" "$ART/pair" "$ART/multi.4"
    "$ART/posted.2" "$ART/posted.3" "$ART/posted.1" "$ART/other")
corpus_batch "$WORK/batch1" "${batch1[@]}"
inn_feed "$WORK/batch1" || abort "cannot post batch1"
inn_sync

echo "== the server"
check_eq "server holds the first batch" "$((${#batch1[@]} - 1))" \
    "$(python3 "$HERE/nntp_probe.py" "$INN_READ_PORT" group "$TEST_GROUP" | cut -d' ' -f3)"
check "server serves the corpus intact (peer decoder)" server_serves_corpus
check_eq "open reader port greets with 201 (no posting)" 201 "$(inn_greeting "$INN_READ_PORT")"
check "reader port with AUTHINFO accepts the account" \
    python3 "$HERE/nntp_probe.py" "$INN_AUTH_PORT" login "$INN_USER" "$INN_PASS" "$TEST_GROUP"
check_not "reader port with AUTHINFO refuses a wrong password" \
    python3 "$HERE/nntp_probe.py" "$INN_AUTH_PORT" login "$INN_USER" wrong "$TEST_GROUP"

[[ -x $GW_BINARY ]] || abort "gleanwick binary $GW_BINARY is missing"

HOME1=$WORK/home1
GW_SETTINGS=('"m_uMinLines"=dword:00000032')
gw_home "$HOME1" "$INN_READ_PORT"
gw_newsrc "$HOME1" "$TEST_GROUP: 0" "$OTHER_GROUP! 0"
printf '0,*@spam.test>\n2,*.exe\n' >"$HOME1/Gleanwick.killfile"
last1=$(group_last "$TEST_GROUP")
gap1=$(article_number "$(GAP_SUBJECT 1)")
gap3=$(article_number "$(GAP_SUBJECT 3)")

echo "== first extraction"
gw_run "$HOME1" "$WORK/run1.out"
rc=$?
check_context "$WORK/run1.out"
check_eq "run ends with status 0" 0 "$rc"
check_output "$WORK/run1.out" "Connecting to 127.0.0.1"
check_output "$WORK/run1.out" "Checking group $TEST_GROUP for attachments"
check_no_output "$WORK/run1.out" "Checking group $OTHER_GROUP for attachments"
check_output "$WORK/run1.out" "Killing message with author of: Spam Bot <bot@spam.test>"
check_output "$WORK/run1.out" "Killing message with file name of: evil.exe"
check_output "$WORK/run1.out" "Extract Complete"
for f in single.bin multi.bin posted.bin a.bin b.jpg c.bin d.png dots.bin long.bin pair1.bin \
    pair2.bin; do
    check_same "$f decoded byte for byte" "$ORIG/$f" "$HOME1/Decodes/$f"
done
for f in gap.bin reply.bin short.bin spam.bin evil.exe clip.mpg other.bin; do
    check_absent "$f not extracted" "$HOME1/Decodes/$f"
done
check_eq "nothing else decoded" \
    "$(printf './%s\n' a.bin b.jpg c.bin d.png dots.bin long.bin multi.bin pair1.bin pair2.bin \
        posted.bin single.bin)" \
    "$(decoded_list "$HOME1/Decodes")"
check_newsrc "position after the walk, incomplete set pending" "$HOME1/$GW_SERVER.newsrc" \
    "$TEST_GROUP: $((last1 + 1)) $gap1 $gap3" "$OTHER_GROUP! 0"

echo "== second extraction, nothing new"
before=$(cd "$HOME1/Decodes" && find . -type f -printf '%p %s %T@\n' | sort)
gw_run "$HOME1" "$WORK/run2.out"
rc=$?
check_context "$WORK/run2.out"
check_eq "run ends with status 0" 0 "$rc"
check_output "$WORK/run2.out" "Extract Complete"
check_eq "no file decoded or touched" "$before" \
    "$(cd "$HOME1/Decodes" && find . -type f -printf '%p %s %T@\n' | sort)"
check_newsrc "same position and pending numbers" "$HOME1/$GW_SERVER.newsrc" \
    "$TEST_GROUP: $((last1 + 1)) $gap1 $gap3" "$OTHER_GROUP! 0"

echo "== the missing part arrives"
corpus_batch "$WORK/batch2" "$ART/gap.2"
inn_feed "$WORK/batch2" || abort "cannot post batch2"
inn_sync
last2=$(group_last "$TEST_GROUP")
gw_run "$HOME1" "$WORK/run3.out"
rc=$?
check_context "$WORK/run3.out"
check_eq "run ends with status 0" 0 "$rc"
check_same "gap.bin completed once its missing part is posted" "$ORIG/gap.bin" "$HOME1/Decodes/gap.bin"
check_newsrc "position moved, nothing pending" "$HOME1/$GW_SERVER.newsrc" \
    "$TEST_GROUP: $((last2 + 1))" "$OTHER_GROUP! 0"

echo "== the group read again from its first article"
gw_newsrc "$HOME1" "$TEST_GROUP: 0" "$OTHER_GROUP! 0"
before=$(cd "$HOME1/Decodes" && find . -type f -printf '%p %s %T@\n' | sort)
gw_run "$HOME1" "$WORK/run3b.out"
rc=$?
check_context "$WORK/run3b.out"
check_eq "run ends with status 0" 0 "$rc"
for f in single.bin multi.bin a.bin gap.bin pair2.bin; do
    check_output "$WORK/run3b.out" "Already decoded $f"
done
check_eq "existing files left untouched" "$before" \
    "$(cd "$HOME1/Decodes" && find . -type f -printf '%p %s %T@\n' | sort)"
check_newsrc "position back at the end" "$HOME1/$GW_SERVER.newsrc" \
    "$TEST_GROUP: $((last2 + 1))" "$OTHER_GROUP! 0"

echo "== catch-up"
corpus_batch "$WORK/batch3" "$ART/late"
inn_feed "$WORK/batch3" || abort "cannot post batch3"
inn_sync
last3=$(group_last "$TEST_GROUP")
gw_run "$HOME1" "$WORK/run4.out" -catchup
rc=$?
check_context "$WORK/run4.out"
check_eq "catch-up ends with status 0" 0 "$rc"
check_output "$WORK/run4.out" "Catching up group $TEST_GROUP."
check_output "$WORK/run4.out" "Catch-up Complete"
check_absent "catch-up decodes nothing" "$HOME1/Decodes/late.bin"
check_newsrc "catch-up moves the position to the last article" "$HOME1/$GW_SERVER.newsrc" \
    "$TEST_GROUP: $last3" "$OTHER_GROUP! 0"

echo "== server requiring AUTHINFO"
# This home also puts files into one folder per group, writes a log file, and subscribes to
# a group that the server does not carry.
HOME2=$WORK/home2
GW_SETTINGS=('"m_uMinLines"=dword:00000000' '"m_bGroupDirs"=dword:00000001' '"m_bLog"=dword:00000001')
# Through a relay at 200 kB/s a connection, so that the run lasts long enough for the server's
# other connections (4 in all by default) to log in with the same account and take a share.
AUTH_PROXY_PORT=$(inn_free_port)
python3 "$HERE/slow_proxy.py" "$AUTH_PROXY_PORT" "$INN_AUTH_PORT" 200000 120 >"$WORK/auth-proxy.out" 2>&1 &
BACKGROUND_PIDS+=($!)
wait_for 10 grep -q ready "$WORK/auth-proxy.out" || abort "the relay did not start"
gw_home "$HOME2" "$AUTH_PROXY_PORT" "$INN_USER" "$INN_PASS"
gw_newsrc "$HOME2" "alt.binaries.missing: 5 7" "$TEST_GROUP: 0"
gw_run "$HOME2" "$WORK/run5.out" -debug:1
rc=$?
check_context "$WORK/run5.out"
check_eq "run with the stored account ends with status 0" 0 "$rc"
check_output "$HOME2/GLEANWICK.DBG" "Helper connection to 127.0.0.1 logged in (4 open)"
check_no_output "$WORK/run5.out" "Failed to connect to"
check_output "$WORK/run5.out" "Invalid group alt.binaries.missing"
for f in single.bin multi.bin gap.bin late.bin; do
    check_same "$f decoded through the login into the group's folder" "$ORIG/$f" \
        "$HOME2/Decodes/$TEST_GROUP/$f"
done
check_newsrc "position stored after the login run, the unknown group kept as it was" \
    "$HOME2/$GW_SERVER.newsrc" "alt.binaries.missing: 5 7" "$TEST_GROUP: $((last3 + 1))"
logs=("$HOME2"/Gleanwick.[0-9]*.log)
check_eq "one log file for the run" 1 "$(ls "${logs[@]}" 2>/dev/null | wc -l)"
for line in "Connecting to 127.0.0.1" "Invalid group alt.binaries.missing" \
    "File Decode: single.bin, $POSTER, single.bin" "Extract Complete"; do
    check_log_line "${logs[0]}" "$line"
done

HOME3=$WORK/home3
gw_home "$HOME3" "$INN_AUTH_PORT" "$INN_USER" "not-the-password"
gw_newsrc "$HOME3" "$TEST_GROUP: 0"
gw_run "$HOME3" "$WORK/run6.out"
rc=$?
check_context "$WORK/run6.out"
check_ne "wrong password ends with a non-zero status" 0 "$rc"
check_output "$WORK/run6.out" "Failed to connect to 127.0.0.1"
check_eq "wrong password decodes nothing" "" "$(decoded_list "$HOME3/Decodes")"
check_newsrc "wrong password leaves the position" "$HOME3/$GW_SERVER.newsrc" "$TEST_GROUP: 0"

echo "== yEnc"
# Files encoded by uuenview -y, which writes part numbers and ranges but no totals, posted with
# today's subjects: a single file, a set in order and one out of order, a set missing a part
# until the next batch, a set whose second part has a corrupt byte, and a collection whose
# "[k/K]" counter is all that tells its sets apart.
YENC_GROUP=alt.binaries.yenc
inn_newgroup "$YENC_GROUP"
yenc_set() { # PREFIX FILE SIZE LINES SUBJECT-FORMAT (printf: part, total); prints the total
    local prefix=$1 file=$2 format=$5 dir=$WORK/tmp/$2.yenc part total i=0
    corpus_random "$ORIG/$file" "$3"
    mkdir -p "$dir"
    (cd "$dir" && uuenview -y "-$4" -od . "$ORIG/$file" >/dev/null 2>&1) || return 1
    mapfile -t parts < <(ls "$dir/${file%.*}".[0-9][0-9][0-9] | sort)
    total=${#parts[@]}
    for part in "${parts[@]}"; do
        i=$((i + 1))
        # shellcheck disable=SC2059
        corpus_article "$ART/$prefix.$i" "$YENC_GROUP" "$POSTER" \
            "$(printf "$format" "$i" "$total")" "$part"
    done
    echo "$total"
}
# One data character of an article's body changed (never an escape or the one after it).
corrupt_body() { # ARTICLE
    python3 - "$1" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
body = data.index(b"\n\n") + 2
lines = data[body:].split(b"\n")
line = lines[5]  # a data line: the header, the range and a few data lines come first
at = next(i for i in range(1, len(line)) if line[i] != 0x3D and line[i - 1] != 0x3D)
line[at] = 0x41 if line[at] != 0x41 else 0x42
lines[5] = line
open(sys.argv[1], "wb").write(data[:body] + b"\n".join(lines))
PY
}
yenc_set ysingle ysingle.bin 50000 100000 '"ysingle.bin" yEnc (%d/%d)' >/dev/null &&
    yenc_set ynomark ynomark.bin 20000 100000 'ynomark.bin' >/dev/null &&
    yenc_set yorder yorder.bin 100000 200 '"yorder.bin" yEnc (%d/%d) 100000 bytes' >/dev/null &&
    yenc_set yshuffle yshuffle.bin 110000 200 'yshuffle.bin (%02d/%02d) yEnc' >/dev/null &&
    yenc_set ygap ygap.bin 80000 200 '"ygap.bin" yEnc (%03d/%03d)' >/dev/null &&
    yenc_set ycorrupt ycorrupt.bin 60000 200 '"ycorrupt.bin" yEnc (%d/%d)' >/dev/null ||
    abort "cannot build the yEnc corpus"
corrupt_body "$ART/ycorrupt.2"
for k in 1 2 3; do
    yenc_set "ycoll$k" "ycoll.part$k.rar" 40000 200 \
        "[$k/3] - \"ycoll.part$k.rar\" yEnc (%d/%d) 40000 bytes" >/dev/null ||
        abort "cannot build the yEnc collection"
done
ybatch=("$ART/ysingle.1" "$ART/ynomark.1" "$ART/yorder".{1..4} "$ART/yshuffle.3"
    "$ART/yshuffle.1" "$ART/yshuffle.5" "$ART/yshuffle.2" "$ART/yshuffle.4" "$ART/ygap.1"
    "$ART/ygap.3" "$ART/ygap.4" "$ART/ycorrupt".{1..3} "$ART/ycoll3.2" "$ART/ycoll1.1"
    "$ART/ycoll2.2" "$ART/ycoll3.1" "$ART/ycoll1.2" "$ART/ycoll2.1")
corpus_batch "$WORK/ybatch1" "${ybatch[@]}"
inn_feed "$WORK/ybatch1" || abort "cannot post the yEnc batch"
inn_sync
HOME_Y=$WORK/home-yenc
GW_SETTINGS=('"m_uMinLines"=dword:00000000')
gw_home "$HOME_Y" "$INN_READ_PORT"
gw_newsrc "$HOME_Y" "$YENC_GROUP: 0"
ylast=$(group_last "$YENC_GROUP")
gw_run "$HOME_Y" "$WORK/yenc1.out"
rc=$?
check_context "$WORK/yenc1.out"
check_eq "yEnc run ends with status 0" 0 "$rc"
for f in ysingle.bin ynomark.bin yorder.bin yshuffle.bin ycoll.part1.rar ycoll.part2.rar \
    ycoll.part3.rar; do
    check_same "yEnc $f decoded byte for byte" "$ORIG/$f" "$HOME_Y/Decodes/$f"
done
check_output "$WORK/yenc1.out" "Error during file decode of: ycorrupt.bin"
check_absent "the yEnc file with a CRC error is deleted" "$HOME_Y/Decodes/ycorrupt.bin"
check_absent "the yEnc set missing a part is not decoded" "$HOME_Y/Decodes/ygap.bin"
ygap=$(python3 "$HERE/nntp_probe.py" "$INN_READ_PORT" subjects "$YENC_GROUP" |
    awk -F'\t' '$2 ~ /^"ygap.bin"/ { printf " %s", $1 }')
check_newsrc "the yEnc set missing a part stays pending" "$HOME_Y/$GW_SERVER.newsrc" \
    "$YENC_GROUP: $((ylast + 1))$ygap"
corpus_batch "$WORK/ybatch2" "$ART/ygap.2"
inn_feed "$WORK/ybatch2" || abort "cannot post the missing yEnc part"
inn_sync
gw_run "$HOME_Y" "$WORK/yenc2.out"
rc=$?
check_context "$WORK/yenc2.out"
check_eq "yEnc run with the missing part ends with status 0" 0 "$rc"
check_same "the yEnc set completes once its missing part is posted" "$ORIG/ygap.bin" \
    "$HOME_Y/Decodes/ygap.bin"
check_newsrc "nothing pending after the yEnc set completed" "$HOME_Y/$GW_SERVER.newsrc" \
    "$YENC_GROUP: $(($(group_last "$YENC_GROUP") + 1))"

echo "== a run stopped while a file is written"
corpus_batch "$WORK/batch4" "$ART/big"
inn_feed "$WORK/batch4" || abort "cannot post batch4"
inn_sync
# The replies pass through a relay at 400 kB/s, so the 2.7 MB article takes seconds.
PROXY_PORT=$(inn_free_port)
python3 "$HERE/slow_proxy.py" "$PROXY_PORT" "$INN_READ_PORT" 400000 120 >"$WORK/proxy.out" 2>&1 &
BACKGROUND_PIDS+=($!)
wait_for 10 grep -q ready "$WORK/proxy.out" || abort "the relay did not start"
HOME4=$WORK/home4
GW_SETTINGS=('"m_uMinLines"=dword:00000000')
gw_home "$HOME4" "$PROXY_PORT"
gw_newsrc "$HOME4" "$STOP_GROUP: 0"
GLEANWICK_HOME=$HOME4 QT_QPA_PLATFORM=offscreen "$GW_BINARY" -headless >"$WORK/run7.out" 2>&1 &
gw_pid=$!
BACKGROUND_PIDS+=("$gw_pid")
check_context "$WORK/run7.out"
if wait_for 30 part_file_in "$HOME4/Decodes"; then
    kill -INT "$gw_pid"
fi
wait_exit "$gw_pid" 20
rc=$?
check_ne "stopped run ends with a non-zero status" 0 "$rc"
check_no_output "$WORK/run7.out" "Extract Complete"
check_absent "the partly written file is deleted" "$HOME4/Decodes/big.bin"
gw_home "$HOME4" "$INN_READ_PORT"
gw_run "$HOME4" "$WORK/run8.out"
rc=$?
check_context "$WORK/run8.out"
check_eq "the next run ends with status 0" 0 "$rc"
check_same "the next run decodes the stopped article whole" "$ORIG/big.bin" "$HOME4/Decodes/big.bin"

echo "== a connection dropped while a file is written"
# The relay cuts the connection after 1 MB of replies, in the middle of the 2.7 MB article.
CUT_PORT=$(inn_free_port)
python3 "$HERE/slow_proxy.py" "$CUT_PORT" "$INN_READ_PORT" 0 120 1000000 >"$WORK/cut.out" 2>&1 &
BACKGROUND_PIDS+=($!)
wait_for 10 grep -q ready "$WORK/cut.out" || abort "the relay did not start"
HOME5=$WORK/home5
gw_home "$HOME5" "$CUT_PORT"
gw_newsrc "$HOME5" "$STOP_GROUP: 0"
gw_run "$HOME5" "$WORK/run9.out"
rc=$?
check_context "$WORK/run9.out"
check_ne "dropped connection ends with a non-zero status" 0 "$rc"
check_output "$WORK/run9.out" "Error communicating with host 127.0.0.1"
check_absent "the partly written file is deleted" "$HOME5/Decodes/big.bin"
gw_home "$HOME5" "$INN_READ_PORT"
gw_run "$HOME5" "$WORK/run10.out"
rc=$?
check_context "$WORK/run10.out"
check_eq "the next run ends with status 0" 0 "$rc"
check_same "the next run decodes the article whole" "$ORIG/big.bin" "$HOME5/Decodes/big.bin"

echo "== faults: a process killed in the middle of a file"
# SIGKILL leaves no chance to clean up: the cut-off file must not carry the final name, or
# the next run would log "Already decoded" and keep it broken for good.
KILL_PORT=$(inn_free_port)
python3 "$HERE/slow_proxy.py" "$KILL_PORT" "$INN_READ_PORT" 400000 120 >"$WORK/kill-proxy.out" 2>&1 &
BACKGROUND_PIDS+=($!)
wait_for 10 grep -q ready "$WORK/kill-proxy.out" || abort "the relay did not start"
HOME_KILL=$WORK/home-kill
gw_home "$HOME_KILL" "$KILL_PORT"
gw_newsrc "$HOME_KILL" "$STOP_GROUP: 0"
GLEANWICK_HOME=$HOME_KILL QT_QPA_PLATFORM=offscreen "$GW_BINARY" -headless >"$WORK/kill.out" 2>&1 &
gw_pid=$!
BACKGROUND_PIDS+=("$gw_pid")
check "the killed run was writing the file" wait_for 30 part_file_in "$HOME_KILL/Decodes"
kill -KILL "$gw_pid"
wait_exit "$gw_pid" 10
check_absent "no cut-off file under the final name" "$HOME_KILL/Decodes/big.bin"
gw_home "$HOME_KILL" "$INN_READ_PORT"
gw_run "$HOME_KILL" "$WORK/kill2.out"
check_eq "the run after the kill ends with status 0" 0 "$?"
check_same "the run after the kill decodes the file whole" "$ORIG/big.bin" \
    "$HOME_KILL/Decodes/big.bin"
check_not "the killed run's temporary file is gone" part_file_in "$HOME_KILL/Decodes"
check_newsrc "the backup holds the .newsrc from before the run" \
    "$HOME_KILL/$GW_SERVER.newsrc.backup" "$STOP_GROUP: 0"

echo "== faults: a group list cut by a dropped connection"
# The relay cuts after 150 bytes of replies: the greeting, the LIST code and part of the list.
LIST_CUT_PORT=$(inn_free_port)
python3 "$HERE/slow_proxy.py" "$LIST_CUT_PORT" "$INN_READ_PORT" 0 120 150 >"$WORK/listcut.out" 2>&1 &
BACKGROUND_PIDS+=($!)
wait_for 10 grep -q ready "$WORK/listcut.out" || abort "the relay did not start"
HOME_LIST=$WORK/home-list
gw_home "$HOME_LIST" "$LIST_CUT_PORT"
gw_run "$HOME_LIST" "$WORK/listcut1.out"
check_context "$WORK/listcut1.out"
check_output "$WORK/listcut1.out" "Unable to access newsgroups for 127.0.0.1."
check_absent "the partial list is not stored as the server's" "$HOME_LIST/$GW_SERVER.newsrc"
gw_home "$HOME_LIST" "$INN_READ_PORT"
gw_run "$HOME_LIST" "$WORK/listcut2.out"
check "the next start fetches the whole list" grep -q "^$OTHER_GROUP! " "$HOME_LIST/$GW_SERVER.newsrc"

echo "== faults: files the program cannot read"
# As an unprivileged user, a .newsrc and a kill file of mode 000 are reported and left as they
# are instead of being replaced by a fresh list and an empty rule list.
HOME_LOCKED=$WORK/home-locked
gw_home "$HOME_LOCKED" "$INN_READ_PORT"
gw_newsrc "$HOME_LOCKED" "$TEST_GROUP: 7"
printf '0,*@spam.test>\n' >"$HOME_LOCKED/Gleanwick.killfile"
chmod 000 "$HOME_LOCKED/$GW_SERVER.newsrc" "$HOME_LOCKED/Gleanwick.killfile"
chown -R nobody "$HOME_LOCKED"
chmod 755 "$WORK"
GLEANWICK_HOME=$HOME_LOCKED QT_QPA_PLATFORM=offscreen timeout -k 5 "$GW_TIMEOUT" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$GW_BINARY" -headless \
    >"$WORK/locked.out" 2>&1
check_context "$WORK/locked.out"
check_output "$WORK/locked.out" "Unable to access newsgroups for 127.0.0.1."
check "the kill file's problem is reported" grep -q "Unable to read the kill rules" "$WORK/locked.out"
chmod 600 "$HOME_LOCKED/$GW_SERVER.newsrc" "$HOME_LOCKED/Gleanwick.killfile"
check_newsrc "the unreadable .newsrc is left as it was" "$HOME_LOCKED/$GW_SERVER.newsrc" \
    "$TEST_GROUP: 7"
check_eq "the unreadable kill file is left as it was" "0,*@spam.test>" \
    "$(tr -d '\r' <"$HOME_LOCKED/Gleanwick.killfile")"
check_absent "no backup replaces it either" "$HOME_LOCKED/$GW_SERVER.newsrc.backup"

echo "== faults: hostile servers"
# Each case ends by itself, within its time limit and in bounded memory (peak RSS under
# 100 MB, measured by GNU time).
hostile() { # MODE: starts the server, sets HOSTILE_PORT
    HOSTILE_PORT=$(inn_free_port)
    python3 "$HERE/hostile_server.py" "$HOSTILE_PORT" "$1" 120 >"$WORK/hostile-$1.out" 2>&1 &
    BACKGROUND_PIDS+=($!)
    wait_for 10 grep -q ready "$WORK/hostile-$1.out" || abort "the $1 server did not start"
}
measured_run() { # HOME NAME: a headless run under GNU time; sets PEAK_MB and SECONDS_TAKEN
    GLEANWICK_HOME=$1 QT_QPA_PLATFORM=offscreen timeout -k 5 "$GW_TIMEOUT" /usr/bin/time \
        -f "%M %e" -o "$WORK/$2.time" "$GW_BINARY" -headless >"$WORK/$2.out" 2>&1
    local kb seconds
    # The last line: GNU time puts "Command exited with non-zero status" before it.
    read -r kb seconds < <(tail -n 1 "$WORK/$2.time")
    PEAK_MB=$((kb / 1024))
    SECONDS_TAKEN=${seconds%.*}
}
GW_SERVER_TIMEOUT_MS=2000
hostile trickle
HOME_TRICKLE=$WORK/home-trickle
gw_home "$HOME_TRICKLE" "$HOSTILE_PORT"
gw_newsrc "$HOME_TRICKLE" "alt.hostile: 0"
measured_run "$HOME_TRICKLE" trickle
check_context "$WORK/trickle.out"
check "a reply trickling in is given up within the 2 s limit and a second" \
    test "$SECONDS_TAKEN" -lt 3
check_output "$WORK/trickle.out" "Error communicating with host 127.0.0.1"
hostile endless-list
HOME_ENDLESS=$WORK/home-endless
gw_home "$HOME_ENDLESS" "$HOSTILE_PORT"
measured_run "$HOME_ENDLESS" endless
check_context "$WORK/endless.out"
check "a LIST without end is refused" grep -q "larger than any real server's" "$WORK/endless.out"
check "a LIST without end stays under 100 MB (peak $PEAK_MB MB)" test "$PEAK_MB" -lt 100
check_absent "nothing of it is stored" "$HOME_ENDLESS/$GW_SERVER.newsrc"
GW_SERVER_TIMEOUT_MS=30000
# SIGINT while the group list stalls: the download stops within a second, not after the 30 s
# limit, and keeps the groups received, as a Cancel does.
hostile stalled-list
HOME_STALLED=$WORK/home-stalled
gw_home "$HOME_STALLED" "$HOSTILE_PORT"
GLEANWICK_HOME=$HOME_STALLED QT_QPA_PLATFORM=offscreen "$GW_BINARY" -headless \
    >"$WORK/stalled.out" 2>&1 &
gw_pid=$!
BACKGROUND_PIDS+=("$gw_pid")
sleep 2
kill -INT "$gw_pid"
started=$(date +%s%N)
wait_exit "$gw_pid" 10
check "SIGINT ends a stalled group-list download within a second" \
    test $((($(date +%s%N) - started) / 1000000)) -lt 1000
check "the groups received before the stop are kept" grep -q "^alt.two! " \
    "$HOME_STALLED/$GW_SERVER.newsrc"
hostile huge-subjects
HOME_HUGE=$WORK/home-huge
gw_home "$HOME_HUGE" "$HOSTILE_PORT"
gw_newsrc "$HOME_HUGE" "alt.hostile: 0"
measured_run "$HOME_HUGE" huge
check_context "$WORK/huge.out"
check "400 pending parts with 1 MB headers stay under 100 MB (peak $PEAK_MB MB)" \
    test "$PEAK_MB" -lt 100
check_eq "all 400 stay pending" 401 "$(sed -n 's/^alt.hostile: //p' "$HOME_HUGE/$GW_SERVER.newsrc" | wc -w)"

echo "== faults: a full disk"
# The decode folder on a 1 MB file system: the 2.7 MB file cannot be written. The run stops
# with status 1 instead of passing over every following article, and the article is fetched
# again once there is room.
SMALL=$WORK/small
mkdir -p "$SMALL"
mount -t tmpfs -o size=1m tmpfs "$SMALL" || abort "cannot mount a small tmpfs"
HOME_FULL=$WORK/home-full
gw_home "$HOME_FULL" "$INN_READ_PORT"
sed -i "s|\"m_DecodeDir\"=.*|\"m_DecodeDir\"=\"$SMALL/\"|" "$HOME_FULL/HKCU.reg"
gw_newsrc "$HOME_FULL" "$STOP_GROUP: 0"
gw_run "$HOME_FULL" "$WORK/full1.out"
rc=$?
check_context "$WORK/full1.out"
check_eq "a full disk ends the run with status 1" 1 "$rc"
check_output "$WORK/full1.out" \
    "Cannot write the decoded file to $SMALL/: No space left on device. The run stops; the article is fetched again by the next run."
check_no_output "$WORK/full1.out" "Extract Complete"
check_eq "nothing is left on the full disk" "" "$(ls -A "$SMALL")"
umount "$SMALL"
gw_run "$HOME_FULL" "$WORK/full2.out"
check_eq "the run with room again ends with status 0" 0 "$?"
check_same "the run with room again decodes the article" "$ORIG/big.bin" "$SMALL/big.bin"

echo "== the window: Auto Start Extract and Exit when Complete"
# The same corpus through the window program, offscreen, against a twin home run headless.
# The replies pass through a relay at 1 MB/s so that the run lasts while a second instance
# is started.
WIN_PORT=$(inn_free_port)
python3 "$HERE/slow_proxy.py" "$WIN_PORT" "$INN_READ_PORT" 1000000 120 >"$WORK/win-proxy.out" 2>&1 &
BACKGROUND_PIDS+=($!)
wait_for 10 grep -q ready "$WORK/win-proxy.out" || abort "the relay did not start"
HOME6=$WORK/home6
HOME6H=$WORK/home6-headless
GW_SETTINGS=('"m_uMinLines"=dword:00000032' '"m_bLog"=dword:00000001'
    '"m_bAutoStart"=dword:00000001' '"m_bAutoExit"=dword:00000001')
for home in "$HOME6" "$HOME6H"; do
    gw_home "$home" "$WIN_PORT"
    gw_newsrc "$home" "$TEST_GROUP: 0" "$OTHER_GROUP! 0"
    printf '0,*@spam.test>\n2,*.exe\n' >"$home/Gleanwick.killfile"
done
gw_run "$HOME6H" "$WORK/run11.out"
check_eq "the headless twin ends with status 0" 0 "$?"
INSTANCE_SOCKET=${TMPDIR:-/tmp}/Q5528461-$(id -u)
rm -f "$INSTANCE_SOCKET"
GLEANWICK_HOME=$HOME6 QT_QPA_PLATFORM=offscreen timeout -k 5 "$GW_TIMEOUT" "$GW_BINARY" \
    >"$WORK/run12.out" 2>&1 &
gw_pid=$!
BACKGROUND_PIDS+=("$gw_pid")
check_context "$WORK/run12.out"
check "the window program listens for a second instance" wait_for 20 test -S "$INSTANCE_SOCKET"
HOME7=$WORK/home7
mkdir -p "$HOME7"
started=$SECONDS
GLEANWICK_HOME=$HOME7 QT_QPA_PLATFORM=offscreen timeout -k 5 20 "$GW_BINARY" -debug:1 \
    >"$WORK/run13.out" 2>&1
check_eq "a second instance ends at once with status 0" 0 "$?"
check "a second instance takes less than 5 s" test $((SECONDS - started)) -lt 5
check_eq "a second instance loads and writes nothing" "" "$(ls -A "$HOME7")"
check "the first window is still running after the second instance" kill -0 "$gw_pid"
wait_exit "$gw_pid" "$GW_TIMEOUT"
check_eq "the window closes itself after the run with status 0" 0 "$?"
check_eq "the window decodes what the headless run decodes" "$(decoded_list "$HOME6H/Decodes")" \
    "$(decoded_list "$HOME6/Decodes")"
for f in single.bin multi.bin posted.bin a.bin b.jpg c.bin d.png dots.bin long.bin pair1.bin \
    pair2.bin gap.bin late.bin; do
    check_same "$f decoded byte for byte in the window" "$ORIG/$f" "$HOME6/Decodes/$f"
done
check_eq "the window writes the .newsrc the headless run writes" \
    "$(cat "$HOME6H/$GW_SERVER.newsrc")" "$(cat "$HOME6/$GW_SERVER.newsrc")"
logs=("$HOME6"/Gleanwick.[0-9]*.log)
for line in "File Decode: single.bin, $POSTER, single.bin" "Extract Complete"; do
    check_log_line "${logs[0]}" "$line"
done
for value in m_rcNormal.left m_uShow nSplitTop nFileNameWidth; do
    check "the window saves \"$value\"" grep -q "\"$value\"" "$HOME6/HKCU.reg"
done

echo "== set up through the dialogs only, then extract in the window"
# A fresh home with no hive file: the driver adds the server, subscribes the test group with
# the filter, writes the kill rules and sets the options as a user would, then extracts. The
# result must equal that of the hand-written twin run headless above.
GW_DRIVER=$(dirname "$GW_BINARY")/tests/gw_dialog_driver
# The port field of the server pages takes four digits: a relay on such a port leads to INN2.
DLG_PORT=$(inn_free_short_port)
python3 "$HERE/slow_proxy.py" "$DLG_PORT" "$INN_READ_PORT" 0 120 >"$WORK/dlg-proxy.out" 2>&1 &
BACKGROUND_PIDS+=($!)
wait_for 10 grep -q ready "$WORK/dlg-proxy.out" || abort "the relay did not start"
HOME9=$WORK/home9
mkdir -p "$HOME9"
rm -f "$INSTANCE_SOCKET"
GLEANWICK_HOME=$HOME9 QT_QPA_PLATFORM=offscreen timeout -k 5 "$GW_TIMEOUT" "$GW_DRIVER" \
    "$GW_SERVER" "$DLG_PORT" "$TEST_GROUP" "$HOME9/Decodes" 50 >"$WORK/run14.out" 2>&1
rc=$?
check_context "$WORK/run14.out"
check_eq "the dialog-driven window ends with status 0" 0 "$rc"
check_eq "the dialog-driven window decodes what the headless run decodes" \
    "$(decoded_list "$HOME6H/Decodes")" "$(decoded_list "$HOME9/Decodes")"
for f in single.bin multi.bin b.jpg d.png late.bin; do
    check_same "$f decoded byte for byte after the dialogs" "$ORIG/$f" "$HOME9/Decodes/$f"
done
check_eq "the test group's .newsrc line equals the headless run's" \
    "$(grep "^$TEST_GROUP[:!]" "$HOME6H/$GW_SERVER.newsrc")" \
    "$(grep "^$TEST_GROUP[:!]" "$HOME9/$GW_SERVER.newsrc")"
check "the full group list was fetched for the new server" \
    grep -q "^$OTHER_GROUP! " "$HOME9/$GW_SERVER.newsrc"
check_eq "the kill file holds the rules typed in the dialog" "$(printf '0,*@spam.test>\n2,*.exe')" \
    "$(tr -d '\r' <"$HOME9/Gleanwick.killfile")"
for value in '"Port"=dword:'"$(printf %08x "$DLG_PORT")" '"image"=dword:00000001' \
    '"application"=dword:00000001' '"m_uMinLines"=dword:00000032'; do
    check "the hive holds $value" grep -qF "$value" "$HOME9/HKCU.reg"
done

if [[ -n ${GW_E2E_SCREENSHOT:-} ]]; then
    echo "== screenshot of the window during a run"
    HOME8=$WORK/home8
    SHOT_PORT=$(inn_free_port)
    python3 "$HERE/slow_proxy.py" "$SHOT_PORT" "$INN_READ_PORT" 300000 120 >"$WORK/shot-proxy.out" 2>&1 &
    BACKGROUND_PIDS+=($!)
    wait_for 10 grep -q ready "$WORK/shot-proxy.out" || abort "the relay did not start"
    GW_SETTINGS=('"m_uMinLines"=dword:00000032' '"m_bLog"=dword:00000001'
        '"m_bAutoStart"=dword:00000001' '"m_rcNormal.left"=dword:00000000'
        '"m_rcNormal.top"=dword:00000000' '"m_rcNormal.right"=dword:00000460'
        '"m_rcNormal.bottom"=dword:000002d0' '"m_uShow"=dword:00000001')
    gw_home "$HOME8" "$SHOT_PORT"
    gw_newsrc "$HOME8" "$TEST_GROUP: 0" "$STOP_GROUP: 0"
    printf '0,*@spam.test>\n2,*.exe\n' >"$HOME8/Gleanwick.killfile"
    GLEANWICK_HOME=$HOME8 timeout -k 5 120 xvfb-run -a -s "-screen 0 1120x720x24" bash -c '
        "$1" & pid=$!
        sleep 3.5 # the splash goes after 3 s
        for ((i = 0; i < 600; i++)); do
            [[ $(grep -c "File Decode" "$2"/Gleanwick.[0-9]*.log 2>/dev/null) -ge 6 ]] && break
            sleep 0.1
        done
        sleep 1
        import -window root "$3"
        kill -TERM $pid
        wait $pid' _ "$GW_BINARY" "$HOME8" "$GW_E2E_SCREENSHOT" >"$WORK/shot.out" 2>&1
    check "screenshot written to $GW_E2E_SCREENSHOT" test -s "$GW_E2E_SCREENSHOT"
fi

echo "== servers that do not answer"
HUNG_PORT=$(inn_free_port)
python3 "$HERE/slow_proxy.py" "$HUNG_PORT" 0 0 120 >"$WORK/hung.out" 2>&1 &
BACKGROUND_PIDS+=($!)
wait_for 10 grep -q ready "$WORK/hung.out" || abort "the silent server did not start"
GW_SERVER_TIMEOUT_MS=2000 GW_TIMEOUT=30
for case in "silent server:$HUNG_PORT" "closed port:$(inn_free_port)"; do
    home=$WORK/home-${case%%:*}
    home=${home// /-}
    gw_home "$home" "${case##*:}"
    gw_newsrc "$home" "$TEST_GROUP: 0"
    gw_run "$home" "$home.out"
    rc=$?
    check_context "$home.out"
    check_ne "${case%%:*}: run ends with a non-zero status" 0 "$rc"
    check_ne "${case%%:*}: run gives up by itself within 30 s" 124 "$rc"
    check_output "$home.out" "Failed to connect to 127.0.0.1"
    check_newsrc "${case%%:*}: position unchanged" "$home/$GW_SERVER.newsrc" "$TEST_GROUP: 0"
done
GW_SERVER_TIMEOUT_MS=30000 GW_TIMEOUT=120

echo "== encrypted connections"
# Three more reader daemons with certificates of their own: TLS from the first byte (-S) on an
# open port, STARTTLS on a port that requires AUTHINFO, and TLS with a certificate for another
# host. The program trusts the test authority's server certificate through its fingerprint.
TLS_DIR=$WORK/tls
mkdir -p "$TLS_DIR"
tls_key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
(
    cd "$TLS_DIR" &&
        openssl req -x509 $tls_key -keyout ca.key -out ca.pem -days 2 -subj "/CN=Gleanwick e2e CA" &&
        openssl req $tls_key -keyout good.key -out good.csr -subj "/CN=127.0.0.1" &&
        printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >good.ext &&
        openssl x509 -req -in good.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
            -extfile good.ext -out good.pem &&
        openssl req -x509 $tls_key -keyout wrong.key -out wrong.pem -days 2 \
            -subj "/CN=elsewhere.example" -addext subjectAltName=DNS:elsewhere.example
) >"$WORK/tls-certificates.out" 2>&1 || abort "openssl could not make the certificates"
tls_fingerprint=$(openssl x509 -in "$TLS_DIR/good.pem" -noout -fingerprint -sha256 | sed 's/.*=//')
wrong_fingerprint=$(openssl x509 -in "$TLS_DIR/wrong.pem" -noout -fingerprint -sha256 |
    sed 's/.*=//; s/://g')
[[ $(id -u) -eq 0 ]] && chown -R news:news "$TLS_DIR"
chmod 600 "$TLS_DIR"/*.key
# nnrpd reads its certificate from inn.conf: one copy per certificate.
for cert in good wrong; do
    sed "/^pathetc:/a tlscertfile:            $TLS_DIR/$cert.pem\ntlskeyfile:             $TLS_DIR/$cert.key" \
        "$INNCONF" >"$INN_DIR/etc/inn-$cert.conf"
done
read -r TLS_PORT STARTTLS_PORT WRONG_PORT < <(inn_free_port 3)
tls_nnrpd() { # CERT PORT READERS [-S]
    INNCONF=$INN_DIR/etc/inn-$1.conf "$INN_BIN/nnrpd" -D -f -n -4 "$INN_HOST" -p "$2" -c "$3" \
        ${4:-} >"$INN_DIR/log/nnrpd-tls-$2.out" 2>&1 &
    INN_PIDS+=($!)
}
tls_nnrpd good "$TLS_PORT" "$INN_DIR/etc/readers-open.conf" -S
tls_nnrpd good "$STARTTLS_PORT" "$INN_DIR/etc/readers-auth.conf"
tls_nnrpd wrong "$WRONG_PORT" "$INN_DIR/etc/readers-open.conf" -S
wait_for 10 openssl s_client -connect "$INN_HOST:$TLS_PORT" -brief </dev/null ||
    abort "nnrpd does not serve TLS"
wait_for 10 inn_wait_greeting "$STARTTLS_PORT" || abort "nnrpd with STARTTLS did not start"

tls_expected=$(decoded_list "$HOME2/Decodes/$TEST_GROUP")
GW_SETTINGS=('"m_uMinLines"=dword:00000000' '"m_bGroupDirs"=dword:00000001')
for case in "tls:$TLS_PORT:1" "starttls:$STARTTLS_PORT:2"; do
    IFS=: read -r name port mode <<<"$case"
    home=$WORK/home-$name
    GW_SERVER_ROWS=("\"Encryption\"=$(gw_dword "$mode")"
        "\"Certificate Fingerprint\"=$(gw_reg_string "$tls_fingerprint")")
    if [[ $name == starttls ]]; then
        gw_home "$home" "$port" "$INN_USER" "$INN_PASS"
    else
        gw_home "$home" "$port"
    fi
    gw_newsrc "$home" "$TEST_GROUP: 0"
    gw_run "$home" "$home.out"
    rc=$?
    check_context "$home.out"
    check_eq "$name: run ends with status 0" 0 "$rc"
    check_no_output "$home.out" "Failed to connect to"
    check_no_output "$home.out" "certificate"
    check_output "$home.out" "Extract Complete"
    check_eq "$name: the same files as over plain text" "$tls_expected" \
        "$(decoded_list "$home/Decodes/$TEST_GROUP")"
    for f in $tls_expected; do
        check_same "$name: ${f#./} decoded byte for byte" "$ORIG/${f#./}" \
            "$home/Decodes/$TEST_GROUP/${f#./}"
    done
    check_newsrc "$name: position stored" "$home/$GW_SERVER.newsrc" "$TEST_GROUP: $((last3 + 1))"
done

# A server whose certificate is neither trusted nor the pinned one: refused before anything is
# sent, status 1, .newsrc untouched. Without a pinned fingerprint the message tells how to trust.
for pin in "" "$tls_fingerprint"; do
    home=$WORK/home-wrong${pin:+-pinned}
    GW_SERVER_ROWS=('"Encryption"=dword:00000001')
    [[ -n $pin ]] && GW_SERVER_ROWS+=("\"Certificate Fingerprint\"=$(gw_reg_string "$pin")")
    gw_home "$home" "$WRONG_PORT"
    gw_newsrc "$home" "$TEST_GROUP: 0"
    cp "$home/$GW_SERVER.newsrc" "$home/newsrc.before"
    gw_run "$home" "$home.out"
    rc=$?
    check_context "$home.out"
    check_eq "wrong certificate${pin:+ (another pinned)}: run ends with status 1" 1 "$rc"
    check_output "$home.out" "Failed to connect to 127.0.0.1"
    check "wrong certificate${pin:+ (another pinned)}: the message names the fingerprint" \
        grep -qF "fingerprint is $wrong_fingerprint" "$home.out"
    check_eq "wrong certificate${pin:+ (another pinned)}: nothing decoded" "" \
        "$(decoded_list "$home/Decodes")"
    check_same "wrong certificate${pin:+ (another pinned)}: .newsrc intact" \
        "$home/newsrc.before" "$home/$GW_SERVER.newsrc"
done
check "wrong certificate: the message says which value trusts it" \
    grep -qF "set the value \"Certificate Fingerprint\" of the server 127.0.0.1 to $wrong_fingerprint" \
    "$WORK/home-wrong.out"
check "pinned fingerprint kept" grep -qF "$(gw_reg_string "$tls_fingerprint")" \
    "$WORK/home-wrong-pinned/HKCU.reg"
GW_SERVER_ROWS=()

# With a sanitizer build, runs that are meant to fail must not hide a report either.
check_context ""
reports=$(grep -lE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$WORK"/*.out 2>/dev/null)
check_eq "no sanitizer report in any run" "" "$reports"

check_summary
