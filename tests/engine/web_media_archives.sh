#!/usr/bin/env bash
# The web media blocks of the end-to-end fetch tests, made by Debian's 7-Zip:
#   web_media_archives.sh FOLDER PLUGIN
# FOLDER/Web1.7zip, Web2.7zip: the test plug-in library and a few files below
#   a top folder named after the block (where the engine looks for them);
# FOLDER/Broken.7zip: a stored archive with one byte of a member changed (its CRC fails);
# FOLDER/Secret.7zip: encrypted with the password "secret", names included;
# FOLDER/Cut.7zip: a block of 1.2 MB, for a download that is cut and resumed;
# FOLDER/Cyr.7zip: a member with a Cyrillic name.
set -euo pipefail
# 7-Zip reads file names in the locale's encoding: UTF-8, whatever the caller's locale.
export LC_ALL=C.UTF-8
folder=$(realpath -m "$1")
plugin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$folder"
make_block() {
    local name=$1
    mkdir -p "$work/$name/plug" "$work/$name/docs" "$work/$name/extra"
    cp "$plugin" "$work/$name/plug/qtestplug.dll"
    printf 'readme of %s\r\n' "$name" >"$work/$name/docs/readme.txt"
    printf 'notes of %s\r\n' "$name" >"$work/$name/extra/notes.txt"
}
for block in Web1 Web2 Broken Secret Cut Cyr; do
    make_block "$block"
done
# Cyr: a member whose name the ANSI code page (1252) cannot spell.
printf 'cyrillic\r\n' >"$work/Cyr/docs/$(printf '\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82').txt"
# Cut: large enough (1 MB that does not compress) to be cut in the middle of a slow download.
head -c 1048576 /dev/urandom >"$work/Cut/extra/random.bin"
(cd "$work" && rm -f "$folder"/*.7zip &&
    7z a -t7z -bd -y "$folder/Web1.7zip" Web1 >/dev/null &&
    7z a -t7z -bd -y "$folder/Web2.7zip" Web2 >/dev/null &&
    7z a -t7z -bd -y -mx=0 "$folder/Broken.7zip" Broken >/dev/null &&
    7z a -t7z -bd -y -psecret -mhe=on "$folder/Secret.7zip" Secret >/dev/null &&
    7z a -t7z -bd -y "$folder/Cut.7zip" Cut >/dev/null &&
    7z a -t7z -bd -y "$folder/Cyr.7zip" Cyr >/dev/null)
# The first member's bytes start right after the 32-byte signature header of a stored archive.
printf 'X' | dd of="$folder/Broken.7zip" bs=1 seek=40 conv=notrunc status=none
