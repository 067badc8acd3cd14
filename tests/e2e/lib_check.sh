# Check helpers for the end-to-end tests (sourced, not run). Each check prints one line;
# check_summary prints "N passed, M failed" and returns non-zero when something failed.

CHECK_PASSED=0
CHECK_FAILED=0
CHECK_CONTEXT=""
CHECK_CONTEXT_SHOWN=""

# The program output that a failing check shows (once) to explain itself.
check_context() {
    CHECK_CONTEXT=$1
    CHECK_CONTEXT_SHOWN=""
}

pass() {
    CHECK_PASSED=$((CHECK_PASSED + 1))
    echo "PASS  $1"
}

fail() {
    CHECK_FAILED=$((CHECK_FAILED + 1))
    echo "FAIL  $1"
    shift
    local detail
    for detail in "$@"; do
        printf '        %s\n' "$detail"
    done
    if [[ -n $CHECK_CONTEXT && -z $CHECK_CONTEXT_SHOWN ]]; then
        CHECK_CONTEXT_SHOWN=1
        echo "        --- last lines of $(basename "$CHECK_CONTEXT"):"
        tail -n 25 "$CHECK_CONTEXT" 2>/dev/null | sed 's/^/        | /'
    fi
}

check() { # NAME COMMAND...
    local name=$1
    shift
    if "$@" >/dev/null 2>&1; then pass "$name"; else fail "$name"; fi
}

check_not() { # NAME COMMAND...
    local name=$1
    shift
    if "$@" >/dev/null 2>&1; then fail "$name"; else pass "$name"; fi
}

check_eq() { # NAME EXPECTED ACTUAL
    if [[ $2 == "$3" ]]; then pass "$1"; else fail "$1" "expected: $2" "actual:   $3"; fi
}

check_ne() { # NAME UNEXPECTED ACTUAL
    if [[ $2 != "$3" ]]; then pass "$1"; else fail "$1" "got $3"; fi
}

check_output() { # FILE TEXT: a whole line of FILE is TEXT
    if grep -qxF -- "$2" "$1"; then pass "output has \"$2\""; else fail "output has \"$2\""; fi
}

check_no_output() { # FILE TEXT: no line of FILE contains TEXT
    if grep -qF -- "$2" "$1"; then fail "output lacks \"$2\""; else pass "output lacks \"$2\""; fi
}

check_log_line() { # FILE TEXT: a line of FILE is TEXT behind a "[mm/dd/yyyy hh:mm:ss] " stamp
    local stamp='^\[[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\] '
    if tr -d '\r' <"$1" 2>/dev/null | grep -E "$stamp" | sed -E "s#$stamp##" | grep -qxF -- "$2"; then
        pass "log file has \"$2\" with its time stamp"
    else
        fail "log file has \"$2\" with its time stamp"
    fi
}

check_same() { # NAME ORIGINAL DECODED
    if [[ ! -f $3 ]]; then
        fail "$1" "$3 is missing"
    elif cmp -s "$2" "$3"; then
        pass "$1"
    else
        fail "$1" "$(cmp "$2" "$3" 2>&1 | head -n 1)" "sizes: $(stat -c %s "$2") $(stat -c %s "$3")"
    fi
}

check_absent() { # NAME PATH
    if [[ -e $2 ]]; then fail "$1" "$2 exists"; else pass "$1"; fi
}

check_newsrc() { # NAME FILE LINE...: the file holds exactly these lines (CR LF accepted)
    local name=$1 file=$2 expected actual
    shift 2
    expected=$(printf '%s\n' "$@")
    actual=$(tr -d '\r' <"$file" 2>/dev/null)
    if [[ $expected == "$actual" ]]; then
        pass "$name"
    else
        fail "$name" "expected: $(echo "$expected" | paste -sd'|')" \
            "actual:   $(echo "$actual" | paste -sd'|')"
    fi
}

# Infrastructure failure: counted, summarised, and the run ends.
abort() { # MESSAGE
    fail "$1"
    check_summary
    exit 1
}

check_summary() {
    echo "$CHECK_PASSED passed, $CHECK_FAILED failed"
    [[ $CHECK_FAILED -eq 0 ]]
}
