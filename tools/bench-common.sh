# Shell helpers the install benchmarks share; sourced, not run.
# Expects fail() of the sourcing script, and for check_install the payload
# folder in $payload and its file count in $files.

now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b < a) ? b : a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# Every file of the payload, byte for byte, and nothing else.
check_install() { # name folder
    local got
    [ -d "$2" ] || fail "$1 installed nothing: $2 does not exist"
    got=$(find "$2" -type f | wc -l)
    [ "$got" -eq "$files" ] || fail "$1 installed $got files, not $files"
    diff -r "$payload" "$2" >/dev/null || fail "$1 installed files that differ from the payload"
}
