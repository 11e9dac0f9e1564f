#!/usr/bin/env bash
# The desktop's batch path: 8 short files converted by the conversion run with its automatic count
# of files at once (mediawizard-cli convert --parallel auto, the same run the desktop starts)
# against the same 8 one at a time (--parallel 1), in one run on this machine; also 2 and 3 at
# once, the measurements behind the automatic count. Two presets: MPEG-4 video (AVI preset 3) and
# H.264 video (AVI preset 8), both with MP3 sound.
#
# Prints each time and its ratio to one at a time (target on 2 cores: auto at most 0.55).
# ROUNDS=n keeps the best of n rounds (default 2); COUNTS="1 2 3" the counts measured beside auto.
# Usage: bench/convert_bench.sh [BUILD]
set -euo pipefail

. "$(dirname "$0")/lib.sh"
bench_setup convert "${1:-build}"
ROUNDS=${ROUNDS:-2}
COUNTS=${COUNTS:-1 2 3}

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

# Prints the seconds one batch takes: preset index, count of files at once.
batch() {
  local out="$WORK/out-$1-$2" t0 t1
  rm -rf "$out"
  t0=$(now)
  "$CLI" convert --class Video --format AVI --preset "$1" --parallel "$2" --output "$out" "${FILES[@]}" \
    >/dev/null 2>"$WORK/err" || { cat "$WORK/err" >&2; echo "convert --preset $1 --parallel $2 failed" >&2; exit 1; }
  t1=$(now)
  [ "$(find "$out" -name '*.avi' | wc -l)" -eq 8 ] || { echo "not 8 outputs" >&2; exit 1; }
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc)"
for preset in "3 MPEG-4" "8 H.264"; do
  read -r index label <<<"$preset"
  declare -A best=()
  for r in $(seq "$ROUNDS"); do
    # Interleaved, so that a change of the machine's load falls on every count alike.
    for n in $COUNTS auto; do
      t=$(batch "$index" "$n")
      best[$n]=$(awk -v t="$t" -v m="${best[$n]:-999999}" 'BEGIN { print (t < m ? t : m) }')
    done
  done
  serial=${best[1]:-}
  [ -n "$serial" ] || serial=$(batch "$index" 1)
  for n in $COUNTS auto; do
    awk -v l="$label" -v n="$n" -v t="${best[$n]}" -v s="$serial" \
      'BEGIN { printf "%-7s %-4s at once: %7.2f s  ratio to one at a time %.3f%s\n", l, n, t, t / s,
               (n == "auto" ? "  (target <= 0.55)" : "") }'
  done
  unset best
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
