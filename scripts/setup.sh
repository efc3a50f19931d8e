#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent and quiet when everything is present.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config qt6-base-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-libav gstreamer1.0-plugins-ugly gstreamer1.0-plugins-base-apps
  libcurl4-openssl-dev libturbojpeg0-dev libgtest-dev libgmock-dev libbenchmark-dev
  libgstrtspserver-1.0-dev python3-pyftpdlib xvfb xauth imagemagick
  clang libclang-rt-14-dev
  dbus-daemon libglib2.0-bin systemd dpkg-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
