#!/bin/bash
# Checks the Debian package without installing it: its contents, the validators of each kind
# of file, and its extracted copy run against a private INN2 news server, headless and as the
# window started by the menu entry, so that the installed layout finds its files.
#
#   tests/e2e/package_check.sh PACKAGE.deb
#
# GW_E2E_KEEP=1 keeps the work folder. Prints one line per check and ends with
# "N passed, M failed"; exits non-zero on any failure. Run as root (INN2 runs as news).
set -uo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
if [[ $# -ne 1 ]]; then
    echo "usage: $0 PACKAGE.deb" >&2
    exit 2
fi
DEB=$(realpath -m "$1")

. "$HERE/lib_inn.sh"
. "$HERE/lib_corpus.sh"
. "$HERE/lib_gw.sh"
. "$HERE/lib_check.sh"

[[ $(id -u) -eq 0 || $(id -un) == news ]] || abort "run as root (INN2 runs as the news user)"
[[ -f $DEB ]] || abort "package $DEB is missing"

WORK=$(mktemp -d /tmp/gleanwick-package.XXXXXX)
cleanup() {
    inn_stop
    if [[ -n ${GW_E2E_KEEP:-} ]]; then
        echo "work folder kept: $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

APP_ID=com.hollowfen.Gleanwick
ROOT=$WORK/root
ICON_SIZES=(16 22 24 32 48 64 128 256)
VERSION=$(dpkg-deb -f "$DEB" Version)
PNG_FILES=()
for size in "${ICON_SIZES[@]}"; do
    PNG_FILES+=("usr/share/icons/hicolor/${size}x$size/apps/$APP_ID.png")
done

echo "== contents"
dpkg-deb -c "$DEB" | awk '{ print $6 }' | sed 's|^\./||' >"$WORK/contents"
for path in usr/bin/gleanwick usr/share/gleanwick/Gleanwick.hlp \
    "usr/share/applications/$APP_ID.desktop" "usr/share/icons/hicolor/scalable/apps/$APP_ID.svg" \
    "${PNG_FILES[@]}" "usr/share/metainfo/$APP_ID.metainfo.xml" usr/share/man/man1/gleanwick.1.gz \
    usr/share/doc/gleanwick/copyright usr/share/doc/gleanwick/changelog.gz; do
    check "package holds /$path" grep -qxF "$path" "$WORK/contents"
done
check_eq "nothing outside /usr" "" "$(grep -v '^usr/' "$WORK/contents")"
check_eq "file named after package, version and architecture" \
    "gleanwick_${VERSION}_$(dpkg-deb -f "$DEB" Architecture).deb" "$(basename "$DEB")"
check "dependencies computed from the binary (libqt6widgets6)" \
    grep -q 'libqt6widgets6 (>=' <(dpkg-deb -f "$DEB" Depends)

dpkg-deb -x "$DEB" "$ROOT" || abort "cannot extract the package"
GW_BINARY=$ROOT/usr/bin/gleanwick
for i in "${!ICON_SIZES[@]}"; do
    size=${ICON_SIZES[i]}
    check "the ${size}x$size icon is a PNG of that size" \
        grep -q "PNG image data, $size x $size," <(file "$ROOT/${PNG_FILES[i]}")
done
check "the installed binary is stripped" grep -q ', stripped' <(file "$GW_BINARY")

echo "== validators"
validator() { # NAME OUT COMMAND...: passes when COMMAND succeeds; its output is shown otherwise
    local name=$1 out=$2
    shift 2
    "$@" >"$out" 2>&1
    local rc=$?
    if [[ $rc -eq 0 ]]; then pass "$name"; else fail "$name" "exit status $rc"; fi
    grep . "$out" | sed 's/^/    /'
}
validator "desktop-file-validate" "$WORK/desktop.out" \
    desktop-file-validate "$ROOT/usr/share/applications/$APP_ID.desktop"
validator "appstreamcli validate --no-net" "$WORK/metainfo.out" \
    appstreamcli validate --no-net "$ROOT/usr/share/metainfo/$APP_ID.metainfo.xml"
# lintian refuses to run as root without saying so each time; it reads the package only.
validator "lintian: no errors or warnings" "$WORK/lintian.out" \
    lintian -I --fail-on error,warning "$DEB"
zcat "$ROOT/usr/share/man/man1/gleanwick.1.gz" >"$WORK/gleanwick.1"
validator "groff -man -ww -z: no warnings" "$WORK/groff.out" \
    bash -c '! groff -man -ww -z "$1" 2>&1 | grep .' _ "$WORK/gleanwick.1"
validator "man -l: no warnings" "$WORK/man.out" \
    bash -c '! LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null | grep .' _ \
    "$WORK/gleanwick.1"
check_eq "the metadata's release is the package version" "$VERSION" \
    "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$ROOT/usr/share/metainfo/$APP_ID.metainfo.xml")"
check_eq "the manual page names the package version" "$VERSION" \
    "$(sed -n 's/^\.TH .* "Gleanwick \([^"]*\)".*/\1/p' "$WORK/gleanwick.1")"
EXEC=$(sed -n 's/^Exec=//p' "$ROOT/usr/share/applications/$APP_ID.desktop")
check_eq "the menu entry starts the packaged program" gleanwick "$EXEC"
ICON=$(sed -n 's/^Icon=//p' "$ROOT/usr/share/applications/$APP_ID.desktop")
check_eq "the menu entry's icon is the packaged one" "$APP_ID" "$ICON"

# --- the extracted copy against INN2 ---------------------------------------------------------

TEST_GROUP=alt.binaries.test
POSTER='Poster <poster@poster.test>'
ORIG=$WORK/orig
ART=$WORK/articles
mkdir -p "$ORIG" "$ART" "$WORK/tmp"

build_corpus() {
    corpus_random "$ORIG/single.bin" 30000
    (cd "$ORIG" && uuencode single.bin single.bin) >"$WORK/tmp/single.uue"
    corpus_article "$ART/single" "$TEST_GROUP" "$POSTER" "single.bin" "$WORK/tmp/single.uue"
    corpus_random "$ORIG/multi.bin" 30000
    mapfile -t PARTS < <(corpus_uuenview_parts "$WORK/tmp/parts" "$ORIG/multi.bin" 200)
    local i
    for i in "${!PARTS[@]}"; do
        corpus_article "$ART/multi.$i" "$TEST_GROUP" "$POSTER" \
            "$(printf 'multi.bin (%03d/%03d) - [ multi.bin ]' $((i + 1)) "${#PARTS[@]}")" "${PARTS[i]}"
    done
    [[ ${#PARTS[@]} -gt 1 ]] || return 1
    corpus_random "$ORIG/picture.jpg" 20000
    printf 'A picture.\n' >"$WORK/tmp/desc"
    mpack -s "A picture" -d "$WORK/tmp/desc" -c image/jpeg -o "$WORK/tmp/mpack.msg" \
        "$ORIG/picture.jpg" || return 1
    grep -E '^(MIME-Version|Content-Type): ' <(sed '/^$/q' "$WORK/tmp/mpack.msg") >"$WORK/tmp/mpack.h"
    sed '1,/^$/d' "$WORK/tmp/mpack.msg" >"$WORK/tmp/mpack.body"
    corpus_article "$ART/mpack" "$TEST_GROUP" "$POSTER" "A picture" "$WORK/tmp/mpack.body" \
        "$WORK/tmp/mpack.h"
}

DECODED=(multi.bin picture.jpg single.bin)
check_decoded() { # WHAT HOME
    local f
    for f in "${DECODED[@]}"; do
        check_same "$1: $f decoded byte for byte" "$ORIG/$f" "$2/Decodes/$f"
    done
    check_eq "$1: nothing else decoded" "$(printf './%s\n' "${DECODED[@]}")" \
        "$(cd "$2/Decodes" 2>/dev/null && find . -type f | sort)"
}

echo "== the extracted copy against INN2"
build_corpus || abort "cannot build the corpus"
inn_setup "$WORK/inn" || abort "cannot set up INN2"
inn_start || { tail -n 20 "$WORK"/inn/log/*; abort "cannot start INN2"; }
inn_newgroup "$TEST_GROUP" || abort "cannot create the group"
corpus_batch "$WORK/batch" "$ART"/*
inn_feed "$WORK/batch" || abort "cannot post the corpus"
inn_sync
last=$(python3 "$HERE/nntp_probe.py" "$INN_READ_PORT" group "$TEST_GROUP" | cut -d' ' -f2)

HOME1=$WORK/home-headless
gw_home "$HOME1" "$INN_READ_PORT"
gw_newsrc "$HOME1" "$TEST_GROUP: 0"
gw_run "$HOME1" "$WORK/headless.out"
rc=$?
check_context "$WORK/headless.out"
check_eq "headless: status 0" 0 "$rc"
check_output "$WORK/headless.out" "Extract Complete"
check_decoded headless "$HOME1"
check_newsrc "headless: position after the walk" "$HOME1/$GW_SERVER.newsrc" "$TEST_GROUP: $((last + 1))"

# The window as the menu entry starts it (its Exec command found on PATH), offscreen; it
# extracts at once and closes itself. A private TMPDIR keeps its single-instance socket apart
# from any other Gleanwick window on the machine.
GW_SETTINGS=('"m_uMinLines"=dword:00000000' '"m_bAutoStart"=dword:00000001'
    '"m_bAutoExit"=dword:00000001')
window_run() { # HOME BINDIR OUT
    mkdir -p "$1/tmp"
    GLEANWICK_HOME=$1 TMPDIR=$1/tmp PATH=$2:$PATH QT_QPA_PLATFORM=offscreen \
        timeout -k 5 "$GW_TIMEOUT" $EXEC -debug:1 >"$3" 2>&1
}
HOME2=$WORK/home-window
gw_home "$HOME2" "$INN_READ_PORT"
gw_newsrc "$HOME2" "$TEST_GROUP: 0"
window_run "$HOME2" "$ROOT/usr/bin" "$WORK/window.out"
rc=$?
check_context "$WORK/window.out"
check_eq "window from the menu entry: status 0" 0 "$rc"
check_decoded window "$HOME2"
check "window: the help file read is the packaged one" \
    grep -qxF "Help file $ROOT/usr/share/gleanwick/Gleanwick.hlp" <(tr -d '\r' <"$HOME2/GLEANWICK.DBG")
check_no_output "$WORK/window.out" "was not found"

# The same binary away from its share folder says that it has no help file: the check above
# sees the difference.
mkdir -p "$WORK/lone"
cp "$GW_BINARY" "$WORK/lone/"
HOME3=$WORK/home-lone
gw_home "$HOME3" "$INN_READ_PORT"
gw_newsrc "$HOME3" "$TEST_GROUP: 0"
window_run "$HOME3" "$WORK/lone" "$WORK/lone.out"
check_context "$WORK/lone.out"
check "without its share folder the binary reports the missing help file" \
    grep -qF "The help file Gleanwick.hlp was not found." "$WORK/lone.out"

check_summary
