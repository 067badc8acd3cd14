# Time stamps for the benchmarks: sourced by inn_bench.sh and rtt_bench.sh.

# Time-stamps the lines written to FIFO into OUTPUT; it waits in open() before the program
# starts, so its own start-up does not shift the stamps.
stamp_lines() { # FIFO OUTPUT
    python3 -c '
import sys, time
with open(sys.argv[1], "rb") as pipe, open(sys.argv[2], "w") as out:
    for line in pipe:
        out.write("%.6f %s" % (time.monotonic(), line.decode("latin-1")))
' "$1" "$2"
}

# Seconds from the line starting with FIRST to the line starting with LAST in a stamped file.
stamped_span() { # FILE FIRST LAST
    awk -v first="$2" -v last="$3" '
        { text = substr($0, index($0, " ") + 1) }
        start == "" && index(text, first) == 1 { start = $1 }
        index(text, last) == 1 { end = $1 }
        END { if (start == "" || end == "") exit 1; printf "%.3f\n", end - start }' "$1"
}
