#!/bin/bash
# Times a whole silent install of one ~85 MB payload (about 1,000 files in a few
# dozen folders: generated text, system binaries, random data), in one run:
#   - natively: 7-Zip (7zz x -mmt=1) and our extractor on the 7z archive that
#     qvoc packs for the setup (payload.7z), best of REPS each;
#   - under Wine: an NSIS 3 installer (makensis, solid LZMA, /S /D=) against a
#     Quillon setup (qvoc, "Extract 7Zip Archive" of payload.7z, /s TARGETDIR=),
#     wall-clock time, best of REPS each, a fresh target folder every time, and
#     every installed file compared byte for byte with the payload.
# Prints the ratios ours / 7zz and Quillon / NSIS.
#
#   tools/bench-install.sh [SZ_EXTRACT [QVOC [ENGINE [WORK]]]]
#
# Defaults: build/bench/src/media/sz_extract, build/native/src/qvoc/qvoc,
# dist/win64/engine.exe (./run build makes the last two) and build/bench-install
# as the work folder, which is removed at the end unless KEEP=1. REPS=3 by
# default. Starts the Wine session (tools/wine-session) when none is running
# and stops it again only then.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

sz_extract=$(realpath -m "${1:-$root/build/bench/src/media/sz_extract}")
qvoc=$(realpath -m "${2:-$root/build/native/src/qvoc/qvoc}")
engine=$(realpath -m "${3:-$root/dist/win64/engine.exe}")
work=$(realpath -m "${4:-$root/build/bench-install}")
reps=${REPS:-3}

fail() {
    echo "bench-install: $*" >&2
    exit 1
}
[ -x "$sz_extract" ] || fail "$sz_extract is not built (cmake --build build/bench --target sz_extract)"
[ -x "$qvoc" ] || fail "$qvoc is not built (./run build)"
[ -f "$engine" ] || fail "$engine is not built (./run build)"
for tool in 7zz makensis wine winepath /usr/bin/time; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (./run deps)"
done

session_started_here=0
cleanup() {
    [ "$session_started_here" = 0 ] || "$root/tools/wine-session" stop
    [ "${KEEP:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

# The work folder is replaced as a whole: never take a folder of someone else's for it.
if [ -e "$work" ] && [ -n "$(ls -A "$work")" ] && [ ! -f "$work/bench.qvp" ]; then
    fail "$work is not empty and not a work folder of this script"
fi
rm -rf "$work"
mkdir -p "$work"
payload=$work/payload

# shellcheck source=tools/bench-common.sh
. "$root/tools/bench-common.sh"

# ---- the payload -----------------------------------------------------------
"$root/tools/bench-payload.sh" "$payload"
files=$(find "$payload" -type f | wc -l)
folders=$(find "$payload" -mindepth 1 -type d | wc -l)
mb=$(awk -v b="$(du -sb "$payload" | cut -f1)" 'BEGIN { printf "%.1f", b / 1e6 }')

# ---- the two setups ----------------------------------------------------------
# The Quillon project: payload/ becomes payload.7z beside the setup, which the
# script extracts into the target folder given on the command line.
cat >"$work/bench.qvp" <<'EOF'
[setup]
title = Quillon Install Benchmark
publisher = Quillon Samples
product-code = {6C1E0F7A-3B52-4E0D-9A55-2F8C4B1D7E21}
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
EOF

cat >"$work/bench.nsi" <<'EOF'
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
Name "Install Benchmark"
OutFile "nsis-setup.exe"
InstallDir "$LOCALAPPDATA\Install Benchmark"
Page directory
Page instfiles

Section
    SetOutPath "$INSTDIR"
    File /r "payload\*"
SectionEnd
EOF

echo "== building the Quillon setup (qvoc, compression 5: LZMA2, BCJ for the programs)"
start=$(now)
"$qvoc" build "$work/bench.qvp" -o "$work/quillon" --engine "$engine" >"$work/qvoc.log" 2>&1 ||
    { cat "$work/qvoc.log" >&2; fail "qvoc failed"; }
echo "qvoc: $(seconds_since "$start") s, payload.7z $(du -sh "$work/quillon/payload.7z" | cut -f1) in" \
    "$(7zz l -slt "$work/quillon/payload.7z" | sed -n 's/^Blocks = //p') solid blocks"

# What qvoc's smaller solid blocks (parallel decoding) cost against one 7-Zip block.
(cd "$payload" && 7zz a -mx=5 -mmt=1 "$work/7z-mx5.7z" . >/dev/null)
echo "size: payload.7z $(stat -c %s "$work/quillon/payload.7z") bytes, 7zz a -mx=5 -mmt=1" \
    "$(stat -c %s "$work/7z-mx5.7z") bytes, ratio $(ratio "$(stat -c %s "$work/quillon/payload.7z")" \
        "$(stat -c %s "$work/7z-mx5.7z")")"
rm -f "$work/7z-mx5.7z"

echo "== building the NSIS installer (makensis, solid LZMA)"
start=$(now)
(cd "$work" && makensis -V2 bench.nsi) >"$work/makensis.log" 2>&1 ||
    { cat "$work/makensis.log" >&2; fail "makensis failed"; }
echo "makensis: $(seconds_since "$start") s, nsis-setup.exe $(du -sh "$work/nsis-setup.exe" | cut -f1)"

# ---- native: 7zz and ours on payload.7z ------------------------------------
archive=$work/quillon/payload.7z
out=$work/out
echo "== native extraction of qvoc's payload.7z (single-threaded), best of $reps"
# An untimed round each warms the page cache, checks both extract everything
# and gives their peak memory (the reader decodes folders in parallel and keeps
# a bounded amount of decoded data ahead of the writing).
peak() { # file with GNU time's %M (KiB)
    awk '{ printf "%.0f MB", $1 / 1024 }' "$1"
}
/usr/bin/time -f %M -o "$work/7zz.peak" 7zz x -mmt=1 -o"$out" "$archive" >/dev/null
check_install 7zz "$out"
rm -rf "$out"
/usr/bin/time -f %M -o "$work/ours.peak" "$sz_extract" "$archive" "$out" >/dev/null
check_install sz_extract "$out"

best_7zz=999999
best_ours=999999
for r in $(seq 1 "$reps"); do
    rm -rf "$out"
    start=$(now)
    7zz x -mmt=1 -o"$out" "$archive" >/dev/null
    t7=$(seconds_since "$start")
    rm -rf "$out"
    start=$(now)
    "$sz_extract" "$archive" "$out" >/dev/null
    to=$(seconds_since "$start")
    printf 'round %d: 7zz %.3f s, sz_extract %.3f s\n' "$r" "$t7" "$to"
    best_7zz=$(smaller "$best_7zz" "$t7")
    best_ours=$(smaller "$best_ours" "$to")
done
rm -rf "$out"

# ---- under Wine: NSIS against Quillon --------------------------------------
if ! "$root/tools/wine-session" env >/dev/null 2>&1; then
    "$root/tools/wine-session" start
    session_started_here=1
fi
eval "$("$root/tools/wine-session" env)"
# Wine's own start-up is in both times alike; start the server before timing.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

nsis_run() { # target folder
    wine "$work/nsis-setup.exe" /S "/D=$(winepath -w "$1")" </dev/null >>"$work/wine.log" 2>&1
}
quillon_run() { # target folder
    wine "$work/quillon/setup.exe" /s "TARGETDIR=$(winepath -w "$1")" </dev/null >>"$work/wine.log" 2>&1
}

echo "== silent installs under Wine (wall clock, fresh target folder each time), best of $reps"
best_nsis=999999
best_quillon=999999
for r in $(seq 1 "$reps"); do
    target=$work/target-nsis
    rm -rf "$target"
    start=$(now)
    rc=0
    nsis_run "$target" || rc=$?
    tn=$(seconds_since "$start")
    [ "$rc" -eq 0 ] || fail "the NSIS installer exited with $rc (see $work/wine.log)"
    check_install NSIS "$target"
    rm -rf "$target"

    target=$work/target-quillon
    rm -rf "$target"
    start=$(now)
    rc=0
    quillon_run "$target" || rc=$?
    tq=$(seconds_since "$start")
    [ "$rc" -eq 0 ] || fail "the Quillon setup exited with $rc (see $work/wine.log)"
    check_install Quillon "$target"
    rm -rf "$target"

    printf 'round %d: NSIS %.3f s, Quillon %.3f s\n' "$r" "$tn" "$tq"
    best_nsis=$(smaller "$best_nsis" "$tn")
    best_quillon=$(smaller "$best_quillon" "$tq")
done

echo "== install benchmark summary: $files files in $folders folders, $mb MB, best of $reps"
printf 'native  7zz x -mmt=1 (payload.7z)      %7.3f s\n' "$best_7zz"
printf 'native  sz_extract (payload.7z)        %7.3f s   ours / 7zz      = %s\n' "$best_ours" \
    "$(ratio "$best_ours" "$best_7zz")"
printf 'native  peak memory                    7zz %s, sz_extract %s\n' "$(peak "$work/7zz.peak")" \
    "$(peak "$work/ours.peak")"
printf 'Wine    NSIS 3 installer /S            %7.3f s   (%s)\n' "$best_nsis" "$(du -sh "$work/nsis-setup.exe" | cut -f1)"
printf 'Wine    Quillon setup /s               %7.3f s   Quillon / NSIS  = %s\n' "$best_quillon" \
    "$(ratio "$best_quillon" "$best_nsis")"
