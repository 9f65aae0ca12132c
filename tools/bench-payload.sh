#!/bin/bash
# Makes the benchmarks' payload of about 85 MB in about 1,000 files in a few
# dozen folders (generated text, the system's own binaries, random data) in
# the folder given, which must not exist yet, and prints its size.
#
#   tools/bench-payload.sh FOLDER
set -euo pipefail
payload=${1:?usage: tools/bench-payload.sh FOLDER}
[ ! -e "$payload" ] || { echo "bench-payload: $payload exists already" >&2; exit 1; }

echo "== making the payload in $payload"
for d in $(seq -f 't%02g' 0 23); do mkdir -p "$payload/text/$d"; done
for d in $(seq -f 'b%02g' 0 7); do mkdir -p "$payload/bin/$d"; done
for d in $(seq -f 'r%02g' 0 5); do mkdir -p "$payload/data/$d"; done

# Text, about 36 MB in 700 files of 4 to 100 KB: pseudo-English from a fixed
# generator, so every run compresses alike.
awk -v root="$payload/text" 'BEGIN {
    n = split("the of and to in is that for it as was with be by on not he this are or his from at which but have an they you were her all she there would their we him been has when who will more no if out so said what up its about into than them can only other new some could time these two may then do first any my now such like our over man me even most made after also did many before must through back years where much your way well down should because each just those people setup install folder file registry value", w, " ");
    seed = 12345;
    for (f = 0; f < 700; f++) {
        ext = (f % 5 == 0) ? "xml" : (f % 5 == 1) ? "ini" : "txt";
        file = sprintf("%s/t%02d/doc%03d.%s", root, f % 24, f, ext);
        size = 4096 + (f * 7919 % 97) * 1024;
        for (bytes = 0; bytes < size; bytes += length(out) + 1) {
            out = "";
            for (k = 0; k < 10; k++) { seed = (seed * 1103515245 + 12345) % 2147483648; out = out w[int(seed / 65536) % n + 1] " "; }
            out = out bytes;
            print out > file;
        }
        close(file);
    }
}'

# Binaries, about 35 MB: the system's own libraries and programs, under names
# that Windows accepts (a number in front keeps names unique without regard to case).
count=0
total=0
for f in /usr/lib/x86_64-linux-gnu/*.so* /usr/bin/*; do
    [ -f "$f" ] && [ ! -L "$f" ] || continue
    name=$(basename "$f")
    [[ $name =~ ^[A-Za-z0-9._+-]+$ ]] || continue
    size=$(stat -c %s "$f")
    [ "$size" -gt 60000 ] && [ "$size" -lt 4000000 ] || continue
    cp "$f" "$payload/bin/b$(printf %02d $((count % 8)))/$(printf %03d "$count")-$name" 2>/dev/null || continue
    count=$((count + 1))
    total=$((total + size))
    [ "$total" -lt 35000000 ] && [ "$count" -lt 150 ] || break
done

# Random data, about 15 MB in 200 files that LZMA stores as they are.
for i in $(seq 0 199); do
    head -c $((8192 + i * 104729 % 135000)) /dev/urandom >"$payload/data/r$(printf %02d $((i % 6)))/blob$i.bin"
done

files=$(find "$payload" -type f | wc -l)
folders=$(find "$payload" -mindepth 1 -type d | wc -l)
bytes=$(du -sb "$payload" | cut -f1)
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }')
echo "payload: $files files in $folders folders, $mb MB"

