#!/usr/bin/env bash
# The Debian package made from the build: what it holds, what it declares, the units it
# ships (systemd-analyze verify), and its plugin found by GStreamer from where the package
# puts it.
# usage: package_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/orvanta-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1
check "cpack makes the package" test $? -eq 0 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/orvanta_*_amd64.deb)
dpkg-deb --contents "$deb" | awk '{print $NF}' >"$work/contents"
dpkg-deb --field "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' >"$work/depends"
plugins=$(pkg-config --variable=pluginsdir gstreamer-1.0)
for path in /usr/bin/zavip /usr/bin/zavip-tool "$plugins/libzavipf.so" \
  /usr/lib/systemd/system/orvanta-station@.service /usr/lib/systemd/user/orvanta-station.service \
  /usr/lib/sysusers.d/orvanta.conf /usr/share/polkit-1/rules.d/50-orvanta-station.rules \
  /usr/share/doc/orvanta/README.md; do
  check "holds $path" grep -qx ".$path" "$work/contents"
done
check "nothing but the programs in /usr/bin" \
  test "$(grep -c '^\./usr/bin/.' "$work/contents")" -eq 2
for package in gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav \
  libgstreamer1.0-0 libqt6core6 libqt6dbus6 libcurl4 libturbojpeg0; do
  check "depends on $package" grep -qx "$package" "$work/depends"
done
check "no build-only package among the dependencies" \
  bash -c "! grep -E -- '-dev$|gtest|gmock|benchmark|python3' '$work/depends'"
dpkg-deb --ctrl-tarfile "$deb" | tar -x -C "$work" ./postinst
check "postinst creates the service user" grep -q "systemd-sysusers" "$work/postinst"

# The units as the package ships them, pointed at the built program.
mkdir -p "$work/units" "$work/xdg"
chmod 700 "$work/xdg"
dpkg-deb -x "$deb" "$work/root"
for unit in system/orvanta-station@.service user/orvanta-station.service; do
  sed "s|/usr/bin/zavip|$build/bin/zavip|" "$work/root/usr/lib/systemd/$unit" \
    >"$work/units/$(basename "$unit")"
done
(cd "$work/units" && systemd-analyze verify ./orvanta-station@roof.service) >"$work/verify" 2>&1
check "system unit passes systemd-analyze verify" test $? -eq 0 -a ! -s "$work/verify"
cat "$work/verify"
(cd "$work/units" && XDG_RUNTIME_DIR=$work/xdg systemd-analyze --user verify \
  ./orvanta-station.service) >"$work/verify-user" 2>&1
check "user unit passes systemd-analyze --user verify" test $? -eq 0 -a ! -s "$work/verify-user"
cat "$work/verify-user"

# GStreamer finds the detection filter in the packaged plugin directory.
GST_REGISTRY=$work/registry.bin GST_PLUGIN_PATH= GST_PLUGIN_SYSTEM_PATH_1_0=$work/root$plugins \
  gst-inspect-1.0 orvantadetect >"$work/inspect" 2>&1
check "gst-inspect-1.0 finds orvantadetect where the package puts it" \
  grep -q "OrvantaIP Motion Detector" "$work/inspect"

echo "== $failures failure(s)"
[ "$failures" -eq 0 ]
