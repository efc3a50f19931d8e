#!/usr/bin/env bash
# A simulated night through the station, as it runs unattended: `zavip --headless` watches
# a network camera (the test RTSP camera, looping a simulated sky with meteors) at the
# camera's own pace, records onto a small disk that fills up (the space manager must make
# room all night), and the camera loses power several times. At the end it checks that
# every clip on disk is complete (AVI index, XML frames = AVI frames), that no file is left
# without its clip and no recording unfinished, and that the station's memory stayed flat.
#
#   bench/soak/soak_night.sh            # 2 hours, 3 camera drops of 20 s
#   SOAK_MINUTES=20 bench/soak/soak_night.sh
#
# Needs root (the small disk is a tmpfs) and a build with the test camera
# (cmake --build build --target zavip zavip-tool zavipf rtsp_test_camera). Not part of CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${BUILD_DIR:-$root/build}/bin
minutes=${SOAK_MINUTES:-120}
drops=${SOAK_DROPS:-3}
drop_seconds=${SOAK_DROP_SECONDS:-20}
disk_mb=${SOAK_DISK_MB:-400}
limit_mb=${SOAK_LIMIT_MB:-120}
port=${SOAK_PORT:-18654}
work=${SOAK_DIR:-$(mktemp -d /tmp/orvanta-soak.XXXXXX)}
python=/usr/bin/python3
mkdir -p "$work/disk" "$work/run"
echo "soak: $minutes min, $drops drops of $drop_seconds s, disk $disk_mb MiB (limit $limit_mb MiB), in $work"

# The sky: forty simulated seconds, encoded once; the camera loops them all night (the
# looping source reads its whole file as one buffer, which must stay small).
"$bin/zavip-tool" simulate --out "$work/part.avi" --truth "$work/part.json" --width 480 \
  --height 270 --fps 25 --seconds 40 --seed 11 --format I420 >/dev/null
gst-launch-1.0 -q filesrc location="$work/part.avi" ! avidemux ! videoconvert ! \
  x264enc speed-preset=ultrafast key-int-max=25 ! video/x-h264,stream-format=byte-stream ! \
  filesink location="$work/part.h264"
rm -f "$work/part.avi"
sky="multifilesrc location=$work/part.h264 loop=true caps=\"video/x-h264,stream-format=byte-stream,framerate=25/1\" ! h264parse ! avdec_h264"

mount -t tmpfs -o size=${disk_mb}m tmpfs "$work/disk"
camera_pid=0
station_pid=0
cleanup() {
  [ "$station_pid" -gt 0 ] && kill -TERM "$station_pid" 2>/dev/null || true
  [ "$camera_pid" -gt 0 ] && kill -KILL "$camera_pid" 2>/dev/null || true
  sleep 1
  umount -l "$work/disk" 2>/dev/null || true
}
trap cleanup EXIT

start_camera() {
  "$bin/rtsp_test_camera" "$port" 480 270 "$sky" >>"$work/camera.log" 2>&1 &
  camera_pid=$!
  sleep 1
}

settings="$work/night.zvi"
"$bin/zavip-tool" settings defaults "$settings" >/dev/null
"$bin/zavip-tool" settings set "$settings" IF.cx=480 IF.cy=270 IF.fps=25 IF.filterinmode=1 \
  IF.rtspinmode=1 IF.continuousdetection=1 AP.dv_v_s_filter=rtspsrc \
  AP.rtsp_ip=127.0.0.1:$port/cam AP.db_dir="$work/disk" AP.db_ymddir=1 AP.db_night=1 \
  AP.limit_MB=$limit_mb AP.limit_stop=0 AP.thumbnail=1 AP.bmp=0 AP.jpg=1 >/dev/null

start_camera
(cd "$work/run" && exec "$bin/zavip" --headless "$settings" >"$work/station.out" 2>"$work/station.err") &
station_pid=$!

# The night: the camera drops at even intervals; memory and clip names sampled meanwhile.
total=$((minutes * 60))
next_drop=1
: >"$work/rss.txt"
: >"$work/seen.txt"
start=$(date +%s)
while :; do
  now=$(($(date +%s) - start))
  [ "$now" -ge "$total" ] && break
  if ! kill -0 "$station_pid" 2>/dev/null; then
    echo "soak: the station ended by itself after $now s" >&2
    break
  fi
  echo "$now $(awk '/VmRSS/ {print $2}' /proc/$station_pid/status)" >>"$work/rss.txt"
  find "$work/disk" -name 'M*.avi' -printf '%f\n' >>"$work/seen.txt"
  if [ "$next_drop" -le "$drops" ] && [ "$now" -ge $((total * next_drop / (drops + 1))) ]; then
    echo "soak: camera off at $now s for $drop_seconds s"
    kill -KILL "$camera_pid"
    wait "$camera_pid" 2>/dev/null || true
    sleep "$drop_seconds"
    start_camera
    next_drop=$((next_drop + 1))
  fi
  sleep 10
done
kill -TERM "$station_pid" 2>/dev/null || true
status=0
wait "$station_pid" || status=$?
station_pid=0
find "$work/disk" -name 'M*.avi' -printf '%f\n' >>"$work/seen.txt"

"$python" - "$work" "$status" "$drops" <<'PY'
import os, re, struct, sys
work, status, drops = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
disk = os.path.join(work, "disk")
files = []
for d, _, names in os.walk(disk):
    files += [os.path.join(d, n) for n in names]
key = lambda name: name[:16] if re.match(r"M\d{8}_\d{6}", name) else name.split(".")[0]
clips = [f for f in files if re.match(r"M.*\.avi$", os.path.basename(f))]
bad = []
for avi in clips:
    data = open(avi, "rb").read()
    frames = struct.unpack("<I", data[48:52])[0] if len(data) >= 52 else 0
    indexed = data.rfind(b"idx1") > 0
    xml = avi[:-4] + ".xml"
    m = re.search(rb'frames="(\d+)"', open(xml, "rb").read()) if os.path.exists(xml) else None
    if not indexed or frames == 0 or not m or int(m.group(1)) != frames:
        bad.append((avi, frames, indexed, m.group(1) if m else None))
clip_keys = {(os.path.dirname(f), key(os.path.basename(f))) for f in clips}
orphans = [f for f in files if (os.path.dirname(f), key(os.path.basename(f))) not in clip_keys]
unfinished = [f for f in files if os.path.basename(f).startswith("T") or f.endswith(".part")]
seen = set(open(os.path.join(work, "seen.txt")).read().split())
rss = [tuple(map(int, l.split())) for l in open(os.path.join(work, "rss.txt")) if len(l.split()) == 2]
err = open(os.path.join(work, "station.err"), errors="replace").read()
warm = [r for t, r in rss if t >= 300] or [r for _, r in rss]
print(f"soak: station exit status {status}")
print(f"soak: clips made {len(seen)}, on disk {len(clips)} (room made by removing {len(seen) - len(clips)})")
print(f"soak: incomplete clips {len(bad)}, orphan files {len(orphans)}, unfinished recordings {len(unfinished)}")
print(f"soak: drops reported {err.count('has stopped sending pictures')} of {drops}, "
      f"resumed {err.count('sends pictures again')}")
if warm:
    print(f"soak: RSS after warm-up first {warm[0]} KiB, last {warm[-1]} KiB, "
          f"min {min(warm)} KiB, max {max(warm)} KiB")
for b in bad[:10]: print("  incomplete:", b)
for o in orphans[:10]: print("  orphan:", o)
for u in unfinished[:10]: print("  unfinished:", u)
ok = (status == 0 and not bad and not orphans and not unfinished and len(seen) > 0
      and err.count("sends pictures again") >= drops
      and (not warm or max(warm) - warm[0] < max(0.1 * warm[0], 20000)))
print("soak:", "PASS" if ok else "FAIL")
sys.exit(0 if ok else 1)
PY
