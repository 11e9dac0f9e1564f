# Shared start of the benchmarks that run mediawizard-cli: the build folder, the CLI, a fixture
# folder kept between runs (fixtures are made once) and a scratch folder removed at exit.
# Usage, after `set -euo pipefail`:  . "$(dirname "$0")/lib.sh"; bench_setup NAME "${1:-build}"
bench_setup() {
  BUILD=$2
  CLI="$BUILD/run/mediawizard-cli"
  [ -x "$CLI" ] || { echo "no $CLI: build the project first" >&2; exit 2; }
  MEDIA="$BUILD/bench-fixtures/$1"
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  mkdir -p "$MEDIA"
}

# Serves a folder with nginx on 127.0.0.1 (its own configuration, a free port) until the script
# ends; sets NGINX_PORT. Usage: bench_nginx ROOT   (after bench_setup)
bench_nginx() {
  local root nginx_bin p
  root=$(realpath "$1")
  nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
  [ -x "$nginx_bin" ] || { echo "nginx is missing: run scripts/setup.sh" >&2; exit 2; }
  NGINX_PORT=0
  # A free port: one that nothing answers on.
  for _ in $(seq 100); do
    p=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then NGINX_PORT=$p; break; fi
  done
  [ "$NGINX_PORT" -ne 0 ] || { echo "no free port" >&2; exit 2; }
  mkdir -p "$WORK/nginx/tmp"
  # nginx workers may run as another user when started by root.
  chmod -R a+rX "$root"
  chmod a+x "$WORK"
  cat > "$WORK/nginx/nginx.conf" <<CONF
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  types { application/vnd.apple.mpegurl m3u8; video/mp2t ts; text/html html; }
  client_body_temp_path $WORK/nginx/tmp/body;
  proxy_temp_path $WORK/nginx/tmp/proxy;
  fastcgi_temp_path $WORK/nginx/tmp/fastcgi;
  uwsgi_temp_path $WORK/nginx/tmp/uwsgi;
  scgi_temp_path $WORK/nginx/tmp/scgi;
  server {
    listen 127.0.0.1:$NGINX_PORT;
    root $root;
    location / { default_type application/octet-stream; }
  }
}
CONF
  "$nginx_bin" -c "$WORK/nginx/nginx.conf" -p "$WORK/nginx" -e "$WORK/nginx/error.log" \
    || { cat "$WORK/nginx/error.log" >&2; exit 1; }
  trap 'kill "$(cat "$WORK/nginx/nginx.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$WORK"' EXIT
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$NGINX_PORT") 2>/dev/null && break; sleep 0.1; done
}

# A peer program only the benchmarks run (not needed by `make test`): installs its Debian package
# when the program is missing. Usage: bench_peer PROGRAM PACKAGE
bench_peer() {
  command -v "$1" >/dev/null && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing the peer $1 (Debian package $2) for this benchmark" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$2" >/dev/null
  command -v "$1" >/dev/null || { echo "$1 is still missing" >&2; exit 2; }
}
