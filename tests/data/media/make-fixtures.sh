#!/bin/bash
# Rebuilds the 7z fixtures of the archive tests with Debian's 7z (p7zip-full).
# The tests regenerate the same file contents to compare with; keep both in step.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
tree="$work/tree"
mkdir -p "$tree/docs" "$tree/data" "$tree/emptydir" "$tree/nested/a/b/c"
for i in $(seq 0 199); do echo "Quillon fixture line $i"; done > "$tree/docs/readme.txt"
echo "Latin-1 name" > "$tree/docs/$(printf '\xc3\x9cn\xc3\xafc\xc3\xb6d\xc3\xa9').txt"
python3 -c "import struct,sys; sys.stdout.buffer.write(b''.join(struct.pack('<I', i * 3) for i in range(2048)))" \
    > "$tree/data/pattern.bin"
: > "$tree/empty.txt"
echo "deep" > "$tree/nested/a/b/c/deep.txt"
chmod 0644 "$tree/docs/readme.txt"
chmod 0755 "$tree/data/pattern.bin"
find "$tree" -exec touch -d '2020-01-02 03:04:05 UTC' {} +

# 12 KiB of real x86-64 code (calls and jumps for the BCJ filter), kept beside the archives.
dd if=/usr/bin/true of="$here/code.bin" bs=4096 skip=2 count=3 status=none

rm -f "$here"/*.7z
(cd "$tree" && 7z a -m0=lzma2 -ms=on "$here/tree_lzma2.7z" . >/dev/null)
(cd "$tree" && 7z a -m0=lzma -ms=off "$here/tree_lzma.7z" . >/dev/null)
(cd "$tree" && 7z a -m0=lzma2 -mf=Delta:4 "$here/tree_delta.7z" . >/dev/null)
(cd "$tree" && 7z a -m0=lzma2 -pQuillon -mhe=on "$here/tree_aes.7z" . >/dev/null)
(cd "$here" && 7z a -m0=lzma2 -mf=BCJ "$here/bcj.7z" code.bin >/dev/null)
(cd "$here" && 7z a -m0=lzma -mf=BCJ -pQuillon "$here/bcj_aes.7z" code.bin >/dev/null)
(cd "$tree" && 7z a -m0=PPMd "$here/ppmd.7z" docs/readme.txt >/dev/null)
(cd "$tree" && 7z a -m0=BZip2 "$here/bzip2.7z" docs/readme.txt >/dev/null)
ls -l "$here"
