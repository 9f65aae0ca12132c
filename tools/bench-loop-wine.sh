#!/usr/bin/env bash
# The execution loop of the real engine under Wine: a silent setup of 100,000
# "Set Variable" and "If"/"End" commands against the same setup with none, so
# that start-up and clean-up cancel out. Prints commands per second.
set -euo pipefail
qvoc=$1
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/bench-loop
rm -rf "$work" && mkdir -p "$work"
count=100000
project() {
    echo "[setup]"
    echo "title = Loop Bench"
    echo "product-code = {5E5E5E5E-1111-2222-3333-444444444444}"
    echo "[script]"
    local i
    for ((i = 0; i < $1; i += 4)); do
        printf 'Set Variable\n| VALUE%d\n| $COUNTER$ step\nIf\n| COUNTER\n| 0\n| 7\n| %s\nSet Variable\n| COUNTER\n| 7\nEnd\n' \
            $((i % 64)) $([ $((i % 8)) = 0 ] && echo TRUE || echo FALSE)
    done
}
project 0 >"$work/empty.qvp"
printf 'Set Variable\n| COUNTER\n| 7\n' >>"$work/empty.qvp"
project $count >"$work/loop.qvp"
printf 'Set Variable\n| COUNTER\n| 7\n' >>"$work/loop.qvp"
"$qvoc" build "$work/empty.qvp" -o "$work/empty" --engine "$root/dist/win64/engine.exe" >/dev/null
"$qvoc" build "$work/loop.qvp" -o "$work/loop" --engine "$root/dist/win64/engine.exe" >/dev/null
best() {
    local b=999999 t s e
    for _ in 1 2 3; do
        s=$(date +%s%N)
        (cd "$1" && wine setup.exe /s)
        e=$(date +%s%N)
        t=$(((e - s) / 1000000))
        ((t < b)) && b=$t
    done
    echo $b
}
empty_ms=$(best "$work/empty")
loop_ms=$(best "$work/loop")
echo "engine under Wine: empty setup ${empty_ms} ms, ${count} commands ${loop_ms} ms"
awk -v n=$count -v a="$loop_ms" -v b="$empty_ms" 'BEGIN { d = a - b; if (d < 1) d = 1; printf "loop under Wine: %.0f commands per second\n", n / (d / 1000) }'
