#!/usr/bin/env bash
# Parallel conversion: 8 short files converted with --parallel 2 against the same 8 one after
# another (--parallel 1), both by mediawizard-cli convert in one run on this machine.
#
# Prints both times and the ratio parallel/serial (target on 2 cores: at most 0.65).
# Usage: bench/convert_bench.sh [BUILD]
set -euo pipefail

. "$(dirname "$0")/lib.sh"
bench_setup convert "${1:-build}"
ROUNDS=${ROUNDS:-2}

# 8 files of 6 s, 640x360 with stereo sound: long enough that start-up does not dominate.
FILES=()
for n in 1 2 3 4 5 6 7 8; do
  f="$MEDIA/clip$n.mp4"
  [ -s "$f" ] || ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25:duration=6" \
    -f lavfi -i "sine=frequency=$((300 + n * 50)):sample_rate=48000:duration=6" -ac 2 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "$f"
  FILES+=("$f")
done

now() { date +%s.%N; }

# Video / AVI, its default preset (MPEG-4 video with MP3 sound).
run() {
  local out="$WORK/out$1"
  rm -rf "$out"
  "$CLI" convert --class Video --format AVI --parallel "$1" --output "$out" "${FILES[@]}" >/dev/null
}

best_serial=999999; best_parallel=999999
for r in $(seq "$ROUNDS"); do
  t0=$(now); run 1; t1=$(now); run 2; t2=$(now)
  best_serial=$(awk -v a="$t0" -v b="$t1" -v m="$best_serial" 'BEGIN { d = b - a; print (d < m ? d : m) }')
  best_parallel=$(awk -v a="$t1" -v b="$t2" -v m="$best_parallel" 'BEGIN { d = b - a; print (d < m ? d : m) }')
done

ratio=$(awk -v p="$best_parallel" -v s="$best_serial" 'BEGIN { printf "%.3f", p / s }')
echo "one after another (--parallel 1): ${best_serial}s"
echo "two at once       (--parallel 2): ${best_parallel}s"
echo "ratio parallel/serial: $ratio (target <= 0.65)"
