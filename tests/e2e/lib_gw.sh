# Prepares a Gleanwick home folder and runs the program headless (sourced, not run).
#
#   gw_home DIR PORT [USER PASSWORD]   a fresh GLEANWICK_HOME: HKCU.reg with one server
#                                      127.0.0.1 on PORT (with a login when USER is given),
#                                      the settings of GW_SETTINGS, the MIME rows of GW_MIME,
#                                      the server's further rows of GW_SERVER_ROWS
#   gw_newsrc DIR LINE...              writes the server's .newsrc
#   gw_run DIR OUT [ARG...]            gleanwick -headless ARG... with GLEANWICK_HOME=DIR;
#                                      standard output and error go to OUT, the exit status
#                                      is returned; the run is killed after GW_TIMEOUT seconds

GW_SERVER=127.0.0.1
GW_SERVER_TIMEOUT_MS=30000 # the server's "Timeout" value
GW_TIMEOUT=${GW_TIMEOUT:-120}
# Settings rows ("name"=value, .reg syntax) and MIME rows; callers may replace them.
GW_SETTINGS=('"m_uMinLines"=dword:00000000')
GW_MIME=('"image"=dword:00000001' '"application"=dword:00000001')
GW_SERVER_ROWS=()

# A string in .reg syntax: backslash and double quote escaped by a backslash.
gw_reg_string() {
    local s=${1//\\/\\\\}
    printf '"%s"' "${s//\"/\\\"}"
}

gw_dword() {
    printf 'dword:%08x' "$1"
}

gw_home() {
    local dir=$1 port=$2 user=${3:-} pass=${4:-} row
    mkdir -p "$dir"
    {
        printf 'Windows Registry Editor Version 5.00\n\n'
        printf '[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Servers\\%s]\n' "$GW_SERVER"
        printf '"Port"=%s\n' "$(gw_dword "$port")"
        printf '"Timeout"=%s\n' "$(gw_dword "$GW_SERVER_TIMEOUT_MS")"
        if [[ -n $user ]]; then
            printf '"Login Required"=%s\n' "$(gw_dword 1)"
            printf '"Login User"=%s\n' "$(gw_reg_string "$user")"
            printf '"Login Password"=%s\n' "$(gw_reg_string "$pass")"
        else
            printf '"Login Required"=%s\n' "$(gw_dword 0)"
        fi
        for row in "${GW_SERVER_ROWS[@]}"; do
            printf '%s\n' "$row"
        done
        printf '"NEWSRC File"=%s\n\n' "$(gw_reg_string "$dir/$GW_SERVER.newsrc")"
        printf '[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Settings]\n'
        printf '"m_DecodeDir"=%s\n' "$(gw_reg_string "$dir/Decodes/")"
        for row in "${GW_SETTINGS[@]}"; do
            printf '%s\n' "$row"
        done
        printf '\n[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Mime]\n'
        for row in "${GW_MIME[@]}"; do
            printf '%s\n' "$row"
        done
    } >"$dir/HKCU.reg"
}

gw_newsrc() {
    local dir=$1
    shift
    printf '%s\n' "$@" >"$dir/$GW_SERVER.newsrc"
}

gw_run() {
    local dir=$1 out=$2
    shift 2
    GLEANWICK_HOME=$dir QT_QPA_PLATFORM=offscreen \
        timeout -k 5 "$GW_TIMEOUT" "$GW_BINARY" -headless "$@" >"$out" 2>&1
}
