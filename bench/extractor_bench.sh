#!/usr/bin/env bash
# Download throughput of mediawizard-cli on the extractor road against yt-dlp run by hand with the
# same selection: an HLS video of about 200 MB (720p lossless noise with an audio group, made once
# by the ffmpeg tool) served by nginx on 127.0.0.1, fetched alternately by both, best run of each.
# The program asks yt-dlp for the formats (-J) and then downloads; by hand the same two calls are
# made. Prints the throughput ratio program/yt-dlp (target: at least 0.9), and for information the
# ratio against the download call alone.
#
# Usage: bench/extractor_bench.sh [BUILD_DIR]   (env: SECONDS_OF_VIDEO=6 RUNS=3)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
bench_setup extractor "${1:-build}"
seconds=${SECONDS_OF_VIDEO:-6}
runs=${RUNS:-3}
command -v yt-dlp >/dev/null || { echo "yt-dlp is missing: run scripts/setup.sh" >&2; exit 2; }
ffmpeg_tool=$(command -v ffmpeg)

hls="$MEDIA/hls-$seconds"
if [ ! -f "$hls/master.m3u8" ]; then
  rm -rf "$hls.tmp"
  mkdir -p "$hls.tmp"
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=$seconds,noise=alls=30:allf=t" \
    -f lavfi -i "sine=frequency=440:duration=$seconds" -c:v libx264 -preset ultrafast -qp 0 -pix_fmt yuv420p \
    -g 25 -c:a aac -b:a 128k -shortest -f hls -hls_time 1 -hls_playlist_type vod -master_pl_name master.m3u8 \
    -var_stream_map "v:0,agroup:aud,name:720 a:0,agroup:aud,name:audio" \
    -hls_segment_filename "$hls.tmp/%v_%03d.ts" "$hls.tmp/%v.m3u8"
  mv "$hls.tmp" "$hls"
fi
cat > "$hls/watch.html" <<'PAGE'
<!DOCTYPE html><html><head><title>bench</title></head><body>
<video controls><source src="master.m3u8" type="application/x-mpegURL"></video></body></html>
PAGE
mb=$(du -sm "$hls" | cut -f1)

bench_nginx "$hls"
url="http://127.0.0.1:$NGINX_PORT/watch.html"
selection='bv*[height<=720]+ba/b'

now() { date +%s.%N; }
best_hand=999999 best_call=999999 best_cli=999999
for i in $(seq "$runs"); do
  rm -rf "$WORK/out"
  mkdir -p "$WORK/out/hand"
  t0=$(now)
  yt-dlp --ignore-config --no-playlist -J --skip-download -- "$url" >/dev/null 2>&1
  t1=$(now)
  yt-dlp --ignore-config --no-playlist -f "$selection" --merge-output-format mp4 --ffmpeg-location "$ffmpeg_tool" \
    --no-mtime -o "$WORK/out/hand/bench.mp4" -- "$url" >/dev/null 2>&1
  t2=$(now)
  "$CLI" download --engine extractor --folder "$WORK/out/cli" "$url" >/dev/null 2>&1
  t3=$(now)
  for f in "$WORK/out/hand/bench.mp4" "$WORK/out/cli/"*.mp4; do
    streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$f" | sort | tr '\n' ' ')
    [ "$streams" = "audio video " ] || { echo "unexpected streams in $f: $streams" >&2; exit 1; }
  done
  h=$(awk "BEGIN { print $t2 - $t0 }")
  c=$(awk "BEGIN { print $t2 - $t1 }")
  m=$(awk "BEGIN { print $t3 - $t2 }")
  printf 'run %d: yt-dlp -J + download %.2f s (download alone %.2f s), mediawizard-cli %.2f s\n' "$i" "$h" "$c" "$m"
  best_hand=$(awk "BEGIN { print ($h < $best_hand) ? $h : $best_hand }")
  best_call=$(awk "BEGIN { print ($c < $best_call) ? $c : $best_call }")
  best_cli=$(awk "BEGIN { print ($m < $best_cli) ? $m : $best_cli }")
done
awk -v mb="$mb" -v h="$best_hand" -v c="$best_call" -v m="$best_cli" 'BEGIN {
  printf "HLS video %d MB: yt-dlp by hand %.0f MB/s, mediawizard-cli %.0f MB/s\n", mb, mb / h, mb / m
  printf "throughput ratio mediawizard-cli/yt-dlp (same calls): %.2f (target >= 0.90)\n", h / m
  printf "against the download call alone: %.2f\n", c / m
}'
