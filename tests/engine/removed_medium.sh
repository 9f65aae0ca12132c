#!/usr/bin/env bash
# A setup started from a removable medium (a CD drive) whose medium is taken
# out while the script runs: the run ends on its own after the clean-up, says
# so in the log and keeps the script's exit code. The drive is a Wine drive
# letter of type cdrom on a folder; "taking the medium out" removes the letter.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
qvoc=$1   # qvoc.exe
plugin=$2 # qtestplug.dll
work=$3
rm -rf "$work" && mkdir -p "$work/project/res" "$work/medium"
"$root/tools/wine-session" start
eval "$("$root/tools/wine-session" env)"

cp "$plugin" "$work/project/res/qtestplug.dll"
go=$(winepath -w "$work/go")
cat >"$work/project/medium.qvp" <<PROJECT
[setup]
title = Medium Test
product-code = {6B6B6B6B-1111-2222-3333-444444444444}
resources = res
[plugins]
Run Test Plug-In
[script]
Run Test Plug-In
| wait-file:$go
| mTest.dll\\qtestplug.dll
Terminate with Exit Code
| 42
PROJECT
wine "$qvoc" build "$(winepath -w "$work/project/medium.qvp")" -o "$(winepath -w "$work/medium")" \
    --engine "$(winepath -w "$root/dist/win64/engine.exe")" >/dev/null

# A free drive letter of type cdrom on the medium's folder.
letter=""
for l in r s t u v w; do
    if [ ! -e "$WINEPREFIX/dosdevices/$l:" ]; then letter=$l; break; fi
done
[ -n "$letter" ] || { echo "FAILED: no free drive letter"; exit 1; }
cleanup() {
    rm -f "$WINEPREFIX/dosdevices/$letter:"
    wine reg delete 'HKLM\Software\Wine\Drives' /v "$letter:" /f >/dev/null 2>&1 || true
}
trap cleanup EXIT
ln -s "$work/medium" "$WINEPREFIX/dosdevices/$letter:"
wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /f >/dev/null


temp_unix=$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')")
support_before=$(cd "$temp_unix" && ls -d qvo[0-9]* 2>/dev/null | sort || true)
log=$(winepath -w "$work/setup.log")
rc=0
(timeout 120 wine "$letter:\\setup.exe" /s "/l=$log") &
runner=$!
for _ in $(seq 1 600); do
    [ -e "$work/go.started" ] && break
    sleep 0.1
done
fail=0
if [ ! -e "$work/go.started" ]; then
    echo "FAILED: the script did not reach its waiting command"
    fail=1
fi
# The medium goes; then the script goes on to its end.
rm -f "$WINEPREFIX/dosdevices/$letter:"
touch "$work/go"
wait $runner || rc=$?

text=$(iconv -f UTF-16LE -t UTF-8 "$work/setup.log" 2>/dev/null || true)
if [ "$rc" != 42 ]; then
    echo "FAILED: exit code $rc, expected the script's 42"
    fail=1
fi
if ! grep -q "<RemovableMediaPrematureEject>" <<<"$text"; then
    echo "FAILED: the log does not say the medium was removed"
    fail=1
fi
support_after=$(cd "$temp_unix" && ls -d qvo[0-9]* 2>/dev/null | sort || true)
if [ "$support_after" != "$support_before" ]; then
    echo "FAILED: a support folder was left behind: $(comm -13 <(echo "$support_before") <(echo "$support_after"))"
    fail=1
fi
[ $fail = 0 ] || { echo "$text"; exit 1; }
echo "removed medium: the run ended after its clean-up with the script's exit code"
