#!/bin/bash
# Times, under Wine and in one run, a whole silent install of the benchmarks'
# ~85 MB payload through "Install Files" and "Apply Changes" (the engine, the
# package edits, the hand-over and the Windows Installer run that copies the
# files) against the same payload extracted by "Extract 7Zip Archive" alone.
# Best of REPS each (2 by default), a fresh target folder every time, every
# installed file compared with the payload, and the product removed again
# (REMOVE=TRUE) after each install, its files gone. Prints the ratio.
#
#   tools/bench-apply.sh [QVOC [ENGINE [WORK]]]
#
# Defaults: build/native/src/qvoc/qvoc, dist/win64/engine.exe, build/bench-apply
# (removed at the end unless KEEP=1). Starts the Wine session when none runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

qvoc=$(realpath -m "${1:-$root/build/native/src/qvoc/qvoc}")
engine=$(realpath -m "${2:-$root/dist/win64/engine.exe}")
work=$(realpath -m "${3:-$root/build/bench-apply}")
reps=${REPS:-2}

fail() {
    echo "bench-apply: $*" >&2
    exit 1
}
[ -x "$qvoc" ] || fail "$qvoc is not built (./run build)"
[ -f "$engine" ] || fail "$engine is not built (./run build)"

session_started_here=0
cleanup() {
    [ "$session_started_here" = 0 ] || "$root/tools/wine-session" stop
    [ "${KEEP:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

if [ -e "$work" ] && [ -n "$(ls -A "$work")" ] && [ ! -f "$work/apply.qvp" ]; then
    fail "$work is not empty and not a work folder of this script"
fi
rm -rf "$work"
mkdir -p "$work"
payload=$work/payload
"$root/tools/bench-payload.sh" "$payload"
files=$(find "$payload" -type f | wc -l)

# shellcheck source=tools/bench-common.sh
. "$root/tools/bench-common.sh"

# The same payload two ways: an archive the script extracts, and a media
# folder whose files the package installs.
cat >"$work/extract.qvp" <<'QVP'
[setup]
title = Quillon Extract Benchmark
publisher = Quillon Samples
product-code = {8D0B3E51-6A2C-4F17-B0E4-3C9A5D2E7F41}
output = setup
archive-folder = payload
compression = 5

[script]
Extract 7Zip Archive
| $EXEDIR$payload.7z
| $TARGETDIR$
| EXTRACTRESULT
|
| TRUE
| TRUE

If
| EXTRACTRESULT
| 0
| SUCCESS
| TRUE
    Terminate with Exit Code
    | 1603
End
QVP

cat >"$work/apply.qvp" <<'QVP'
[setup]
title = Quillon Apply Benchmark
publisher = Quillon Samples
product-code = {4E7A2C19-8B3D-4D61-9F0A-6B5C1E8D2A73}
output = setup
media-folder = payload

[script]
Set Variable
| INSTALLING
| TRUE
If
| REMOVE
| 0
| TRUE
| FALSE
    Set Variable
    | INSTALLING
    | FALSE
End

Install Files
@media-folder = payload\
| *
|
| $TARGETDIR$

Apply Changes
|
| INSTALLRESULT
| $INSTALLING$
| $REMOVE$

If
| INSTALLRESULT
| 0
| COMPLETE
| TRUE
    Terminate with Exit Code
    | 1603
End
QVP

for name in extract apply; do
    "$qvoc" build "$work/$name.qvp" -o "$work/$name" --engine "$engine" >"$work/$name.log" 2>&1 ||
        { cat "$work/$name.log" >&2; fail "qvoc failed on $name.qvp"; }
done

if [ -z "${WINEPREFIX:-}" ]; then
    "$root/tools/wine-session" start >/dev/null
    session_started_here=1
    eval "$("$root/tools/wine-session" env)"
fi

target=$work/target
wtarget=$(winepath -w "$target")
best_extract=999999
best_apply=999999
best_remove=999999
for r in $(seq 1 "$reps"); do
    rm -rf "$target"
    start=$(now)
    (cd "$work/extract" && wine setup.exe /s "TARGETDIR=$wtarget\\") || fail "the extracting setup failed"
    t=$(seconds_since "$start")
    check_install "Extract 7Zip Archive" "$target"
    best_extract=$(smaller "$best_extract" "$t")
    echo "round $r: extraction alone $t s"

    rm -rf "$target"
    start=$(now)
    (cd "$work/apply" && wine setup.exe /s "TARGETDIR=$wtarget\\") || fail "the installing setup failed"
    t=$(seconds_since "$start")
    check_install "Apply Changes" "$target"
    best_apply=$(smaller "$best_apply" "$t")
    start=$(now)
    (cd "$work/apply" && wine setup.exe /s REMOVE=TRUE) || fail "the removal failed"
    tr=$(seconds_since "$start")
    best_remove=$(smaller "$best_remove" "$tr")
    [ -z "$(find "$target" -type f 2>/dev/null)" ] || fail "the removal left files behind"
    echo "round $r: install through Apply Changes $t s, its removal $tr s"
done
echo "best of $reps: extraction alone $best_extract s, install through Apply Changes $best_apply s" \
    "(ratio $(ratio "$best_apply" "$best_extract")), removal $best_remove s"
