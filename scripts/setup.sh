#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent and quiet when all is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libavcodec-dev libavformat-dev libavfilter-dev libavdevice-dev
  libswscale-dev libswresample-dev libavutil-dev ffmpeg
  libcurl4-openssl-dev duktape-dev nlohmann-json3-dev
  # The extractor program the download road runs for today's sites (tests run it offline too).
  yt-dlp
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev
  fonts-dejavu-core fonts-dejavu-extra fonts-cantarell
  libgtest-dev libgmock-dev
  xvfb xauth
  # Install rules and the Debian package: the checks of the desktop entry, the metainfo and the
  # .deb, dpkg-shlibdeps, man-page formatting, the MIME database the entry is checked against, and
  # the private session bus of the notification tests.
  desktop-file-utils appstream lintian dpkg-dev man-db shared-mime-info dbus
  # Only for trying the windows by hand under Xvfb: a window manager (openbox) as a desktop has one,
  # xdotool clicks and types, xwd takes screenshots, xclip fills the clipboard with links to paste.
  openbox xdotool x11-apps xclip
  nginx curl
  # scripts/check_sizes.py, the source-size check among the tests.
  python3
  # bench/batch_memory_bench.sh reads peak memory with /usr/bin/time.
  time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
