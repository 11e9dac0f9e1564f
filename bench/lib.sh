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
