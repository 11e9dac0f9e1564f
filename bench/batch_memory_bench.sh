#!/usr/bin/env bash
# Memory of a long batch: the peak resident size of mediawizard-cli convert over FILES short clips
# (1000 by default) against the same command over one clip, in one run on this machine, for MP3
# and for MP4 (each format's default preset). A batch needs no more than its longest single
# conversion plus a small record per file, so the ratio stays near 1 (target: the MP4 batch of
# 1000 under 250 MB). The ffmpeg tool's peak for one clip is printed beside it as the peer's.
#
# Usage: bench/batch_memory_bench.sh [BUILD]     (FILES=n to change the batch)
set -euo pipefail

. "$(dirname "$0")/lib.sh"
bench_setup batch-memory "${1:-build}"
FILES=${FILES:-1000}
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 2; }

clip="$MEDIA/clip.mp4"
[ -s "$clip" ] || ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=1" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=1" -ac 2 -c:v libx264 -preset veryfast \
  -pix_fmt yuv420p -c:a aac -shortest "$clip"

# The batch: links to the one clip, each its own source with its own output name.
clip=$(realpath "$clip")
mkdir -p "$WORK/in"
for i in $(seq -w 1 "$FILES"); do ln -s "$clip" "$WORK/in/c$i.mp4"; done
mapfile -t batch < <(printf '%s\n' "$WORK"/in/c*.mp4)

# Peak resident size in MB of a command (its output thrown away).
peak() {
  /usr/bin/time -f %M -o "$WORK/peak" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$WORK/peak" | awk '{ printf "%.1f", $1 / 1024 }'
}

for target in "Audio MP3 mp3" "Video MP4 mp4"; do
  set -- $target
  rm -rf "$WORK/one" "$WORK/all" "$WORK/peer.$3"
  one=$(peak "$CLI" convert --class "$1" --format "$2" --output "$WORK/one" "${batch[0]}")
  all=$(peak "$CLI" convert --class "$1" --format "$2" --output "$WORK/all" "${batch[@]}")
  converted=$(find "$WORK/all" -type f | wc -l)
  peer=$(peak ffmpeg -nostdin -v error -y -i "$clip" "$WORK/peer.$3")
  ratio=$(awk -v a="$all" -v o="$one" 'BEGIN { printf "%.2f", a / o }')
  echo "$2: one clip ${one} MB, $FILES clips ${all} MB ($converted converted), ratio ${ratio}; ffmpeg one clip ${peer} MB"
done
