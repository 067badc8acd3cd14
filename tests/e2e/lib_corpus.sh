# Builds news articles with the real encoders (sourced, not run).
#
#   corpus_random FILE SIZE              random binary original of SIZE bytes
#   corpus_article OUT GROUP FROM SUBJECT BODY [HEADERS]
#                                        one article: standard headers, a Lines header
#                                        counting BODY, the extra header lines of HEADERS
#   corpus_batch OUT ARTICLE...          an rnews batch holding the articles in that order
#   corpus_uuenview_parts DIR FILE LINES splits FILE with uuenview (banner lines at the top
#                                        of each part); prints the part files in part order
#   corpus_mpack_parts DIR TYPE FILE     the body part mpack makes for FILE (headers and base64
#                                        data of one attachment), for assembling MIME posts

CORPUS_SEQ=0

corpus_random() {
    head -c "$2" /dev/urandom >"$1"
}

corpus_article() {
    local out=$1 group=$2 from=$3 subject=$4 body=$5 headers=${6:-}
    local lines
    lines=$(wc -l <"$body")
    CORPUS_SEQ=$((CORPUS_SEQ + 1))
    {
        printf 'Path: poster.test!not-for-mail\n'
        printf 'From: %s\n' "$from"
        printf 'Newsgroups: %s\n' "$group"
        printf 'Subject: %s\n' "$subject"
        # BASHPID keeps identifiers apart when articles are made in subshells.
        printf 'Message-ID: <gw%d.%d.%(%s)T@poster.test>\n' "$CORPUS_SEQ" "$BASHPID" -1
        TZ=UTC LC_ALL=C printf 'Date: %(%a, %d %b %Y %H:%M:%S +0000)T\n' -1
        printf 'Lines: %d\n' "$lines"
        [[ -n $headers ]] && cat "$headers"
        printf '\n'
        cat "$body"
    } >"$out"
}

corpus_batch() {
    local out=$1 art
    shift
    : >"$out"
    for art in "$@"; do
        printf '#! rnews %d\n' "$(stat -c %s "$art")" >>"$out"
        cat "$art" >>"$out"
    done
}

corpus_uuenview_parts() {
    local dir=$1 file=$2 lines=$3 base
    base=$(basename "$file")
    mkdir -p "$dir"
    (cd "$dir" && uuenview -u "-$lines" -od . "$file" >/dev/null 2>&1) || return 1
    ls "$dir/${base%.*}".[0-9][0-9][0-9] 2>/dev/null | sort
}

# mpack writes one attachment per message; its part (between the "---" boundary lines of a
# message with a description) is cut out so that several can share one post.
corpus_mpack_parts() {
    local dir=$1 type=$2 file=$3 msg
    msg=$dir/$(basename "$file").mpack
    printf 'attachment\n' >"$dir/desc.txt"
    mpack -s x -d "$dir/desc.txt" -c "$type" -o "$msg" "$file" || return 1
    # The second "---" opens the attachment's part; the closing "-----" ends it.
    awk '/^---$/ { n++; if (n == 2) { on = 1; next } } /^-----$/ { on = 0 } on' "$msg"
}
