#!/usr/bin/env bash
# "Reboot and Resume" restarts Windows, which under Wine ends every process of
# the prefix. So this runs in a prefix of its own that is thrown away
# afterwards, and reads the RunOnce entry from the saved registry files rather
# than starting Wine there again (a start would run the entry).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
qvoc=$1 # qvoc.exe
work=$2
rm -rf "$work" && mkdir -p "$work"
"$root/tools/wine-session" start
eval "$("$root/tools/wine-session" env)"

cat >"$work/resume.qvp" <<'PROJECT'
[setup]
title = Resume Test
product-code = {6A6A6A6A-1111-2222-3333-444444444444}
[script]
Reboot and Resume
Terminate with Exit Code
| 7
PROJECT
# The setup is built in the project's session; only the run gets the throw-away prefix.
wine "$qvoc" build "$(winepath -w "$work/resume.qvp")" -o "$(winepath -w "$work/Setup Folder")" \
    --engine "$(winepath -w "$root/dist/win64/engine.exe")" >/dev/null
win_folder=$(winepath -w "$work/Setup Folder" | sed 's/\\/\\\\/g')

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"; }
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
wineserver -w

fail=0
check() { # hive file, expected data (as the .reg file escapes it)
    local file=$WINEPREFIX/$1 expected=$2
    if ! grep -A20 -i '^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\RunOnce\]' "$file" |
        grep -qF "\"6A6A6A6A\"=\"$expected\""; then
        echo "FAILED: no RunOnce entry $expected in $1"
        grep -A5 -i 'RunOnce\]' "$file" || true
        fail=1
    fi
}
# ALLUSERS given on the command line decides the hive; the tail travels along unchanged.
rc=0
(cd "$work/Setup Folder" && timeout 120 wine setup.exe /s ALLUSERS=FALSE) || rc=$?
wineserver -w
# The command after "Reboot and Resume" would end the run with 7.
if [ "$rc" = 7 ] || [ "$rc" = 124 ]; then
    echo "FAILED: the run went on after the restart request (exit code $rc)"
    fail=1
fi
check user.reg "\\\"$win_folder\\\\setup.exe\\\" /s ALLUSERS=FALSE"
# Wine's restart runs the entries of HKEY_LOCAL_MACHINE at once, so the machine
# hive cannot be read back here; the hive choice is covered by the native tests.
[ $fail = 0 ] && echo "reboot and resume: RunOnce entry written, the script ended"
exit $fail
