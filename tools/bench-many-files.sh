#!/bin/bash
# Many small files under Wine: 100,000 empty members in 1,000 folders, packed
# by 7-Zip, extracted through qvo.lib as the engine does it, against a plain
# Windows program that creates the same folders and files; prints the ratio.
#
#   tools/bench-many-files.sh BUILD_WIN64 DIST_WIN64     (FOLDERS=1000 FILES=100 by default)
#
# Needs a running Wine session (tools/wine-session start; eval "$(tools/wine-session env)").
set -euo pipefail
build=$1
dist=$2
folders=${FOLDERS:-1000}
files=${FILES:-100}
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-many-files.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/run"
(
    cd "$work/src"
    for ((d = 0; d < folders; d++)); do
        mkdir "d$d"
        (cd "d$d" && seq -f "f%g" 0 $((files - 1)) | xargs touch)
    done
)
(cd "$work/src" && 7z a -bd -mmt=1 "$work/many.7z" . >/dev/null)
echo "$((folders * files)) empty members in $folders folders"
wine "$build/bench/many_files_wine.exe" "$(winepath -w "$dist/qvo.lib")" "$(winepath -w "$work/many.7z")" \
    "$(winepath -w "$work/run")" "$folders" "$files"
