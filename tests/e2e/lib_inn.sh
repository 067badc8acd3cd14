# A private INN2 news server for the end-to-end tests and the benchmark (sourced, not run).
#
#   inn_setup DIR       writes the instance under DIR (every path INN uses lies below it)
#   inn_start           starts innd (feeding port) and two nnrpd daemons: an open read-only
#                       port (greeting 201) and one that requires AUTHINFO (user $INN_USER,
#                       password $INN_PASS; greeting 200)
#   inn_newgroup NAME   creates a newsgroup
#   inn_feed FILE       hands an rnews batch to innd
#   inn_stop            stops what inn_start started, by pid
#
# After inn_start: INN_FEED_PORT, INN_READ_PORT, INN_AUTH_PORT (all on 127.0.0.1).
# Everything listens on 127.0.0.1 only, and every wait is bounded.

INN_BIN=/usr/lib/news/bin
INN_HOST=127.0.0.1
INN_USER=gwuser
INN_PASS=gw-secret
INN_PIDS=()

inn_die() {
    echo "inn: $*" >&2
    return 1
}

# COUNT (default 1) distinct ports nobody listens on now (the kernel's choice for ephemeral
# binds, all held at once so that they differ), on one line.
inn_free_port() {
    python3 -c 'import socket, sys
socks = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in socks:
    s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in socks))' "${1:-1}"
}

# A free port of four digits on 127.0.0.1, for a field that takes no more (the server pages').
inn_free_short_port() {
    python3 -c 'import random, socket
for _ in range(500):
    port = random.randint(2000, 9999)
    try:
        socket.socket().bind(("127.0.0.1", port))
    except OSError:
        continue
    print(port)
    break'
}

# Waits until PORT answers with an NNTP greeting (2xx), at most about 10 s.
inn_wait_greeting() {
    local port=$1 line i
    for ((i = 0; i < 100; i++)); do
        if { exec 9<>"/dev/tcp/$INN_HOST/$port"; } 2>/dev/null; then
            line=""
            read -r -t 5 line <&9 || true
            printf 'QUIT\r\n' >&9 2>/dev/null || true
            exec 9<&- 9>&-
            [[ $line == 2* ]] && return 0
        fi
        sleep 0.1
    done
    inn_die "no greeting on port $port"
}

# The reply code of the greeting on PORT.
inn_greeting() {
    local line=""
    { exec 9<>"/dev/tcp/$INN_HOST/$1"; } 2>/dev/null || return 1
    read -r -t 5 line <&9 || true
    printf 'QUIT\r\n' >&9 2>/dev/null || true
    exec 9<&- 9>&-
    echo "${line:0:3}"
}

inn_setup() {
    INN_DIR=$1
    local d=$INN_DIR
    mkdir -p "$d"/{etc,db,run,log,tmp,spool/articles,spool/overview,spool/incoming/bad,spool/outgoing,spool/archive,http}
    read -r INN_FEED_PORT INN_READ_PORT INN_AUTH_PORT < <(inn_free_port 3)
    export INNCONF=$d/etc/inn.conf

    # Sizes are unlimited (the benchmark posts large parts); old Date headers are accepted.
    cat >"$INNCONF" <<EOF
domain:                 localdomain
pathhost:               gleanwick.test
server:                 $INN_HOST
port:                   $INN_FEED_PORT
bindaddress:            $INN_HOST
nnrpdposthost:          $INN_HOST
nnrpdpostport:          $INN_FEED_PORT
noreader:               true
maxartsize:             0
localmaxartsize:        0
artcutoff:              0
maxconnections:         50
enableoverview:         true
ovmethod:               tradindexed
hismethod:              hisv6
wireformat:             true
mta:                    "/bin/true %s"
moderatormailer:        "%s@localdomain"
status:                 0
docnfsstat:             false
syslog_facility:        none
pathnews:               $d
pathbin:                $INN_BIN
pathcontrol:            $INN_BIN/control
pathfilter:             $INN_BIN/filter
pathetc:                $d/etc
pathdb:                 $d/db
pathrun:                $d/run
pathlog:                $d/log
pathtmp:                $d/tmp
pathhttp:               $d/http
pathspool:              $d/spool
patharticles:           $d/spool/articles
pathoverview:           $d/spool/overview
pathincoming:           $d/spool/incoming
pathoutgoing:           $d/spool/outgoing
patharchive:            $d/spool/archive
EOF
    cat >"$d/etc/newsfeeds" <<'EOF'
ME:*::
EOF
    cat >"$d/etc/incoming.conf" <<'EOF'
peer ME {
  hostname: "localhost, 127.0.0.1"
}
EOF
    cat >"$d/etc/storage.conf" <<'EOF'
method timehash {
    newsgroups: *
    class: 0
}
EOF
    cat >"$d/etc/expire.ctl" <<'EOF'
/remember/:0
*:A:never:never:never
EOF
    : >"$d/etc/moderators"
    : >"$d/etc/passwd.nntp"
    cat >"$d/etc/readers-open.conf" <<EOF
auth "local" {
    hosts: "$INN_HOST, localhost"
    default: "<local>"
}
access "local" {
    users: "<local>"
    newsgroups: "*"
    access: R
}
EOF
    # No default identity: nothing can be read before AUTHINFO succeeds.
    cat >"$d/etc/readers-auth.conf" <<EOF
auth "accounts" {
    hosts: "$INN_HOST, localhost"
    auth: "ckpasswd -f $d/etc/newsusers"
}
access "accounts" {
    users: "$INN_USER"
    newsgroups: "*"
    access: RPA
}
EOF
    printf '%s:%s\n' "$INN_USER" "$(openssl passwd -5 "$INN_PASS")" >"$d/etc/newsusers"
    cp "$d/etc/readers-open.conf" "$d/etc/readers.conf"

    printf '%s 0000000000 0000000001 n\n' control control.cancel junk >"$d/db/active"
    printf 'control\tVarious control messages.\njunk\tUnfiled articles.\n' >"$d/db/newsgroups"
    : >"$d/db/active.times"
    : >"$d/db/history"
    # INN runs as the news user; when started by root it changes to that user itself.
    if [[ $(id -u) -eq 0 ]]; then
        chown -R news:news "$d"
        chmod 755 "$d"
        chmod a+x "$(dirname "$d")" # mktemp -d makes it 0700
    fi
    (cd "$d/db" && inn_as_news "$INN_BIN/makedbz" -i -o) || inn_die "makedbz failed"
}

# Runs a command as the news user (directly when that is who we are).
inn_as_news() {
    if [[ $(id -u) -eq 0 ]]; then
        setpriv --reuid=news --regid=news --init-groups --reset-env -- \
            env INNCONF="$INNCONF" PATH="$INN_BIN:/usr/bin:/bin" "$@"
    else
        "$@"
    fi
}

inn_start() {
    local d=$INN_DIR
    "$INN_BIN/innd" -f -c 0 -l 0 >"$d/log/innd.out" 2>&1 &
    INN_PIDS+=($!)
    inn_wait_greeting "$INN_FEED_PORT" || return 1
    "$INN_BIN/nnrpd" -D -f -n -4 "$INN_HOST" -p "$INN_READ_PORT" -c "$d/etc/readers-open.conf" \
        >"$d/log/nnrpd-open.out" 2>&1 &
    INN_PIDS+=($!)
    "$INN_BIN/nnrpd" -D -f -n -4 "$INN_HOST" -p "$INN_AUTH_PORT" -c "$d/etc/readers-auth.conf" \
        >"$d/log/nnrpd-auth.out" 2>&1 &
    INN_PIDS+=($!)
    inn_wait_greeting "$INN_READ_PORT" && inn_wait_greeting "$INN_AUTH_PORT"
}

inn_stop() {
    local pid i
    # nnrpd serves each connection in a child of its own; those go too.
    for pid in "${INN_PIDS[@]}"; do
        kill -TERM $(pgrep -P "$pid" 2>/dev/null) "$pid" 2>/dev/null || true
    done
    for pid in "${INN_PIDS[@]}"; do
        for ((i = 0; i < 50; i++)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    INN_PIDS=()
}

inn_newgroup() {
    inn_as_news "$INN_BIN/ctlinnd" -s -t 10 newgroup "$1" y gleanwick-test ||
        inn_die "cannot create group $1"
}

# Feeds an rnews batch ("#! rnews SIZE" before each article) to innd over NNTP.
inn_feed() {
    inn_as_news "$INN_BIN/rnews" -N -r "$INN_HOST" -P "$INN_FEED_PORT" <"$1" ||
        inn_die "rnews failed on $1"
}

# Makes sure innd has written overview and active data before readers look at them.
inn_sync() {
    inn_as_news "$INN_BIN/ctlinnd" -s -t 30 flush '' >/dev/null 2>&1 || true
}
