#!/bin/bash
# Times 7-Zip's single-threaded extraction and ours on the same ~100 MB mixed
# solid LZMA2 archive, several rounds each, and prints the ratio ours / 7-Zip.
#
#   tools/bench-7z.sh [path/to/sz_extract]     (REPS=5 by default; KEEP=1 keeps the work folder)
#
# Build sz_extract in Release first, e.g.
#   cmake -G Ninja -DCMAKE_BUILD_TYPE=Release -B build-release && ninja -C build-release sz_extract
set -euo pipefail

ours=${1:-build-release/src/media/sz_extract}
reps=${REPS:-5}
[ -x "$ours" ] || { echo "bench-7z: $ours is not built" >&2; exit 2; }
command -v 7z >/dev/null || { echo "bench-7z: 7z (p7zip-full) is not installed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-7z.XXXXXX")
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
data="$work/data"
mkdir -p "$data/text" "$data/binary" "$data/random" "$data/small"

# Text, about 40 MB: pseudo-English from a fixed generator, so every run compresses alike.
awk 'BEGIN {
    split("the of and to in is that for it as was with be by on not he this are or his from at which but have an they you were her all she there would their we him been has when who will more no if out so said what up its about into than them can only other new some could time these two may then do first any my now such like our over man me even most made after also did many before must through back years where much your way well down should because each just those people", w, " ");
    n = length(w); seed = 12345;
    for (f = 0; f < 8; f++) {
        file = sprintf("'"$data"'/text/book%02d.txt", f);
        for (line = 0; line < 90000; line++) {
            out = "";
            for (k = 0; k < 10; k++) { seed = (seed * 1103515245 + 12345) % 2147483648; out = out w[int(seed / 65536) % n + 1] " "; }
            print out line > file;
        }
        close(file);
    }
}'

# Binary, about 30 MB: the system's own libraries and programs (x86 code gets the BCJ filter).
total=0
for f in /usr/lib/x86_64-linux-gnu/*.so* /usr/bin/*; do
    [ -f "$f" ] && [ ! -L "$f" ] || continue
    size=$(stat -c %s "$f")
    [ "$size" -gt 20000 ] && [ "$size" -lt 4000000 ] || continue
    cp "$f" "$data/binary/" 2>/dev/null || continue
    total=$((total + size))
    [ "$total" -lt 30000000 ] || break
done

# Already compressed: 20 MB that LZMA2 stores as it is.
head -c 20000000 /dev/urandom > "$data/random/noise.bin"

# Many small files: 4000 files of 1 to 4 KB.
for i in $(seq 0 3999); do
    head -c $((1024 + (i * 7919) % 3072)) "$data/text/book0$((i % 8)).txt" | tail -c +$((i % 97 + 1)) > "$data/small/f$i.txt"
done

archive="$work/mixed.7z"
(cd "$data" && 7z a -m0=lzma2 -ms=on -mmt=1 "$archive" . >/dev/null)
echo "archive: $(du -sh "$archive" | cut -f1) packed, $(du -sh "$data" | cut -f1) unpacked, $(find "$data" -type f | wc -l) files"

now() { date +%s.%N; }
time_of() { # command...: prints the seconds it took
    local start end
    rm -rf "$work/out"
    start=$(now)
    "$@" >/dev/null
    end=$(now)
    echo "$end - $start" | bc -l
}

# One untimed round each warms the page cache and checks that both extract the same.
7z x -mmt=1 -o"$work/out" "$archive" >/dev/null
"$ours" "$archive" "$work/out2" >/dev/null
diff -r "$work/out" "$work/out2" >/dev/null || { echo "bench-7z: extractions differ" >&2; exit 1; }
rm -rf "$work/out2"

best_7z=999999
best_ours=999999
sum_7z=0
sum_ours=0
for r in $(seq 1 "$reps"); do
    t7=$(time_of 7z x -mmt=1 -o"$work/out" "$archive")
    to=$(time_of "$ours" "$archive" "$work/out")
    printf 'round %d: 7z %.3f s, ours %.3f s\n' "$r" "$t7" "$to"
    sum_7z=$(echo "$sum_7z + $t7" | bc -l)
    sum_ours=$(echo "$sum_ours + $to" | bc -l)
    best_7z=$(echo "if ($t7 < $best_7z) $t7 else $best_7z" | bc -l)
    best_ours=$(echo "if ($to < $best_ours) $to else $best_ours" | bc -l)
done
printf 'best: 7z %.3f s, ours %.3f s, ratio ours/7z %.2f (goal <= 1.30)\n' "$best_7z" "$best_ours" \
    "$(echo "$best_ours / $best_7z" | bc -l)"
printf 'mean: 7z %.3f s, ours %.3f s, ratio ours/7z %.2f\n' "$(echo "$sum_7z / $reps" | bc -l)" \
    "$(echo "$sum_ours / $reps" | bc -l)" "$(echo "$sum_ours / $sum_7z" | bc -l)"
