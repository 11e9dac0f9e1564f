#!/usr/bin/env bash
# Transcoding: mediawizard-cli transcode against the ffmpeg tool of the same FFmpeg build, with
# equivalent settings, side by side on this machine.
#
#   1. 30 s 1280x720 H.264+AAC -> MPEG-4 Part 2 + MP3 in AVI at 1500 kbit/s
#   2. the same clip -> H.264 (libx264 "default" preset) + AAC in MP4 at 640x480
#   3. 5 min 44.1 kHz stereo WAV -> MP3 at 256 kbit/s
#
# Prints ffmpeg-time / our-time per case (target: at least 0.95), by wall-clock time and by CPU time
# (user + system; steadier on a shared machine), and our peak memory for a 1080p job of 10 s and of
# 20 s (target: under 300 MB, not growing with the length). ROUNDS=n keeps the best of n runs.
#
# The x264 case also against HandBrakeCLI (a peer installed here, Debian handbrake-cli, when it is
# missing) with the same x264 settings: HandBrakeCLI-time / our-time (target: at least 1.1), and
# whether the x264 option strings embedded in both outputs agree.
# ONE_THREAD=1 also times our run with its encoders kept on one thread (MW_ONE_THREAD_RUN) and
# prints one-thread-time / our-time: what the encoders' worker threads gain.
# Usage: bench/transcode_bench.sh [BUILD]
set -euo pipefail

. "$(dirname "$0")/lib.sh"
bench_setup transcode "${1:-build}"
ROUNDS=${ROUNDS:-1}
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 2; }

make_fixture() { # file, ffmpeg arguments...
  local f=$1; shift
  [ -s "$f" ] || ffmpeg -nostdin -v error -y "$@" "$f"
}
CLIP="$MEDIA/clip720.mp4"
WAV="$MEDIA/long.wav"
make_fixture "$CLIP" -f lavfi -i testsrc2=size=1280x720:rate=25:duration=30 \
  -f lavfi -i sine=frequency=440:sample_rate=48000:duration=30 -ac 2 \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k -shortest
make_fixture "$WAV" -f lavfi -i sine=frequency=440:sample_rate=44100:duration=300 -ac 2 -c:a pcm_s16le
for d in 10 20; do
  make_fixture "$MEDIA/clip1080-$d.mp4" -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=$d \
    -f lavfi -i sine=frequency=440:duration=$d -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest
done

# case name | our arguments (transcoder vocabulary) | ffmpeg arguments | output extension
CASES=(
  "avi-mpeg4-mp3|-vcodec mpeg4 -vb 1500k -acodec libmp3lame -ab 128k|-c:v mpeg4 -b:v 1500k -c:a libmp3lame -b:a 128k|avi"
  "mp4-x264-aac|-vcodec libx264 -vpre default -s 640x480 -acodec aac -ab 128k|-c:v libx264 -s 640x480 -c:a aac -b:a 128k|mp4"
  "wav-mp3|-acodec libmp3lame -ab 256k|-c:a libmp3lame -b:a 256k|mp3"
)

# Prints "wall-seconds cpu-seconds peak-kB" of one command.
measure() {
  /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "$@" >/dev/null 2>"$WORK/err" || { cat "$WORK/err" >&2; return 1; }
  awk '{ print $1, $2 + $3, $4 }' "$WORK/time"
}
best() { awk -v a="$1" -v m="$2" 'BEGIN { print (a < m ? a : m) }'; }

for row in "${CASES[@]}"; do
  IFS='|' read -r name ours peer ext <<<"$row"
  input=$CLIP; [ "$ext" = mp3 ] && input=$WAV
  wall_ours=999999; wall_peer=999999; cpu_ours=999999; cpu_peer=999999; wall_one=999999
  for r in $(seq "$ROUNDS"); do
    if [ "${ONE_THREAD:-0}" = 1 ]; then
      # shellcheck disable=SC2086
      read -r w _ _ < <(MW_ONE_THREAD_RUN=1 measure "$CLI" transcode -y -i "$input" $ours "$WORK/one.$ext")
      wall_one=$(best "$w" "$wall_one")
    fi
    # shellcheck disable=SC2086
    read -r w c _ < <(measure "$CLI" transcode -y -i "$input" $ours "$WORK/ours.$ext")
    wall_ours=$(best "$w" "$wall_ours"); cpu_ours=$(best "$c" "$cpu_ours")
    # shellcheck disable=SC2086
    read -r w c _ < <(measure ffmpeg -nostdin -v error -y -i "$input" $peer "$WORK/peer.$ext")
    wall_peer=$(best "$w" "$wall_peer"); cpu_peer=$(best "$c" "$cpu_peer")
  done
  awk -v n="$name" -v wo="$wall_ours" -v wp="$wall_peer" -v co="$cpu_ours" -v cp="$cpu_peer" \
    'BEGIN { printf "%-14s wall: ours %6.2f s ffmpeg %6.2f s ratio %.3f | cpu: ours %6.2f s ffmpeg %6.2f s ratio %.3f\n",
             n, wo, wp, (wo > 0 ? wp / wo : 0), co, cp, (co > 0 ? cp / co : 0) }'
  if [ "${ONE_THREAD:-0}" = 1 ]; then
    awk -v n="$name" -v wo="$wall_ours" -v w1="$wall_one" \
      'BEGIN { printf "%-14s one thread %6.2f s, one-thread/ours %.3f\n", n, w1, (wo > 0 ? w1 / wo : 0) }'
  fi
done

for d in 10 20; do
  read -r _ _ peak < <(measure "$CLI" transcode -y -i "$MEDIA/clip1080-$d.mp4" -vcodec mpeg4 -vb 4000k \
    -acodec libmp3lame -ab 128k "$WORK/mem$d.avi")
  awk -v d="$d" -v k="$peak" 'BEGIN { printf "1080p %2d s job: peak memory %.1f MB\n", d, k / 1024 }'
done

# The x264 case against HandBrakeCLI. Our "-vpre default" is x264's medium preset at CRF 23 with
# qpmin 10, qpmax 51, open GOPs and an I/P ratio of 1.41; the picture is 640x480 with the source's
# display shape (pixel aspect 4:3), as ours is.
bench_peer HandBrakeCLI handbrake-cli
x264_options() { strings "$1" | grep -m1 -o 'x264 - core.*' | sed 's/.*options: //' | tr ' ' '\n'; }
wall_ours=999999; wall_peer=999999; cpu_ours=999999; cpu_peer=999999
for r in $(seq "$ROUNDS"); do
  read -r w c _ < <(measure "$CLI" transcode -y -i "$CLIP" -vcodec libx264 -vpre default -s 640x480 \
    -acodec aac -ab 128k "$WORK/ours-hb.mp4")
  wall_ours=$(best "$w" "$wall_ours"); cpu_ours=$(best "$c" "$cpu_ours")
  read -r w c _ < <(measure HandBrakeCLI -i "$CLIP" -o "$WORK/peer-hb.mp4" -e x264 --encoder-preset medium \
    -q 23 -x qpmin=10:qpmax=51:open-gop=1:ipratio=1.41 --crop-mode none --custom-anamorphic \
    --pixel-aspect 4:3 --no-keep-display-aspect -w 640 -l 480 --min-duration 0 -E av_aac -B 128)
  wall_peer=$(best "$w" "$wall_peer"); cpu_peer=$(best "$c" "$cpu_peer")
done
awk -v wo="$wall_ours" -v wp="$wall_peer" -v co="$cpu_ours" -v cp="$cpu_peer" \
  'BEGIN { printf "%-14s wall: ours %6.2f s HandBrakeCLI %6.2f s ratio %.3f (target >= 1.1) | cpu: ours %6.2f s HandBrakeCLI %6.2f s ratio %.3f\n",
           "mp4-x264-hb", wo, wp, (wo > 0 ? wp / wo : 0), co, cp, (co > 0 ? cp / co : 0) }'
if diff <(x264_options "$WORK/ours-hb.mp4") <(x264_options "$WORK/peer-hb.mp4") >"$WORK/x264.diff"; then
  echo "x264 options of both outputs: the same"
else
  echo "x264 options differ (ours <, HandBrakeCLI >):"; grep '^[<>]' "$WORK/x264.diff"
fi
