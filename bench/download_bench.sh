#!/usr/bin/env bash
# Download throughput of mediawizard-cli against curl: one large file served by nginx on
# 127.0.0.1 (its own config and a free port), fetched alternately by both, best run of each.
# Prints the throughput ratio program/curl (target: at least 0.9).
#
# Usage: bench/download_bench.sh [BUILD_DIR]   (env: SIZE_MB=500 RUNS=3)
set -euo pipefail

build=${1:-build}
size_mb=${SIZE_MB:-500}
runs=${RUNS:-3}
cli=$(realpath "$build/run/mediawizard-cli")
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$cli" ] || { echo "no $cli: build mediawizard-cli first" >&2; exit 2; }
[ -x "$nginx_bin" ] || { echo "nginx is missing: run scripts/setup.sh" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl is missing" >&2; exit 2; }

work=$(mktemp -d /tmp/mw-download-bench.XXXXXX)
cleanup() {
  if [ -f "$work/nginx.pid" ]; then kill "$(cat "$work/nginx.pid")" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A free port: one that nothing answers on.
port=0
for _ in $(seq 100); do
  p=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then port=$p; break; fi
done
[ "$port" -ne 0 ] || { echo "no free port" >&2; exit 2; }
mkdir -p "$work/root" "$work/out" "$work/tmp"
dd if=/dev/urandom of="$work/root/stream.bin" bs=1M count="$size_mb" status=none

# The video site in three static files: the watch page, the information, the stream.
cat > "$work/root/watch" <<PAGE
<html><head><meta name="title" content="bench"></head>
<body><a href="http://127.0.0.1:$port/watch?v=bench">bench</a></body></html>
PAGE
# The stream address, percent-encoded twice (once as a map entry's value, once as the map's).
stream_url="http%253A%252F%252F127.0.0.1%253A$port%252Fstream.bin%253Fx%253D1"
printf 'status=ok&url_encoded_fmt_stream_map=itag%%3D5%%26url%%3D%s%%26sig%%3DS' "$stream_url" > "$work/root/get_video_info"

# nginx workers may run as another user when started by root.
chmod -R a+rX "$work"
cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  server {
    listen 127.0.0.1:$port;
    root $work/root;
    location / { default_type application/octet-stream; }
  }
}
CONF
"$nginx_bin" -c "$work/nginx.conf" -p "$work" -e "$work/error.log" || { cat "$work/error.log" >&2; exit 1; }
for _ in $(seq 50); do curl -sf -o /dev/null "http://127.0.0.1:$port/watch" && break; sleep 0.1; done

now() { date +%s.%N; }
best_curl=999999
best_cli=999999
for i in $(seq "$runs"); do
  rm -rf "$work/out"/*
  t0=$(now)
  curl -sSf -o "$work/out/curl.bin" "http://127.0.0.1:$port/stream.bin?x=1&signature=S"
  t1=$(now)
  "$cli" download --engine builtin --folder "$work/out/cli" --no-hq --site "127.0.0.1:$port" "http://127.0.0.1:$port/watch?v=bench" >/dev/null
  t2=$(now)
  cmp -s "$work/root/stream.bin" "$work/out/cli/bench.flv" || { echo "the program's file differs" >&2; exit 1; }
  cmp -s "$work/root/stream.bin" "$work/out/curl.bin" || { echo "curl's file differs" >&2; exit 1; }
  c=$(awk "BEGIN { print $t1 - $t0 }")
  m=$(awk "BEGIN { print $t2 - $t1 }")
  printf 'run %d: curl %.3f s, mediawizard-cli %.3f s\n' "$i" "$c" "$m"
  best_curl=$(awk "BEGIN { print ($c < $best_curl) ? $c : $best_curl }")
  best_cli=$(awk "BEGIN { print ($m < $best_cli) ? $m : $best_cli }")
done
awk -v mb="$size_mb" -v c="$best_curl" -v m="$best_cli" 'BEGIN {
  printf "file %d MB: curl %.0f MB/s, mediawizard-cli %.0f MB/s\n", mb, mb / c, mb / m
  printf "throughput ratio mediawizard-cli/curl: %.2f (target >= 0.90)\n", c / m
}'
