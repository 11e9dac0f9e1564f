#!/usr/bin/env bash
# Probing plus thumbnails: mediawizard-cli against the peer tools, side by side on this machine.
#
#   ours: mediawizard-cli probe --thumbnail DIR --force FILE...  (one process for all files)
#   peer: per file, ffprobe (streams and duration) then ffmpeg -ss <middle> -frames:v 1
#
# Prints both times and the ratio ours/peer (target: below 0.5). Usage: bench/probe_bench.sh [BUILD]
set -euo pipefail

. "$(dirname "$0")/lib.sh"
bench_setup probe "${1:-build}"
ROUNDS=${ROUNDS:-3}
mkdir -p "$WORK/ours" "$WORK/peer"

# 20 short files of the kinds the file list meets: 4 containers x 5 pictures/sounds.
SRC="-f lavfi -i testsrc2=size=320x240:rate=25:duration=2 -f lavfi -i sine=frequency=440:duration=2"
declare -a CODECS=(
  "avi|-c:v mpeg4 -c:a libmp3lame"
  "mp4|-c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac"
  "mkv|-c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a libvorbis"
  "flv|-c:v flv1 -c:a libmp3lame -ar 44100"
)
FILES=()
for n in 1 2 3 4 5; do
  for row in "${CODECS[@]}"; do
    ext=${row%%|*}; args=${row#*|}
    f="$MEDIA/clip$n.$ext"
    [ -s "$f" ] || ffmpeg -nostdin -v error -y $SRC $args -g $((n * 6)) -shortest "$f"
    FILES+=("$f")
  done
done

now() { date +%s.%N; }

ours() {
  "$CLI" probe --thumbnail "$WORK/ours" --force "${FILES[@]}" >/dev/null
}

peer() {
  local f dur i=0
  for f in "${FILES[@]}"; do
    i=$((i + 1))
    dur=$(ffprobe -v error -show_entries format=duration:stream=codec_type,codec_name,width,height,sample_rate,channels,bit_rate,avg_frame_rate \
          -of default=nw=1 "$f" | sed -n 's/^duration=//p')
    ffmpeg -nostdin -v error -y -ss "$(awk -v d="$dur" 'BEGIN { print d / 2 }')" -i "$f" -frames:v 1 "$WORK/peer/$i.png"
  done
}

best_ours=999999; best_peer=999999
for r in $(seq "$ROUNDS"); do
  t0=$(now); ours; t1=$(now); peer; t2=$(now)
  best_ours=$(awk -v a="$t0" -v b="$t1" -v m="$best_ours" 'BEGIN { d = b - a; print (d < m ? d : m) }')
  best_peer=$(awk -v a="$t1" -v b="$t2" -v m="$best_peer" 'BEGIN { d = b - a; print (d < m ? d : m) }')
done

[ "$(ls "$WORK/ours" | wc -l)" -eq ${#FILES[@]} ] || { echo "mediawizard-cli wrote too few thumbnails" >&2; exit 1; }
printf 'files: %d, rounds: %d (best of each)\n' "${#FILES[@]}" "$ROUNDS"
printf 'mediawizard-cli probe --thumbnail: %.3f s\n' "$best_ours"
printf 'ffprobe + ffmpeg per file:         %.3f s\n' "$best_peer"
printf 'ratio ours/peer: %.3f (target < 0.5)\n' "$(awk -v o="$best_ours" -v p="$best_peer" 'BEGIN { print o / p }')"
