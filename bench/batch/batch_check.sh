#!/usr/bin/env bash
# Batch detection over known skies: the README's simulated minute and the two shared real
# meteor videos, each as it is and looped three times, detected RUNS times with the default
# settings. Prints, for every known event (a simulated meteor with a peak above 60 DN, or a
# meteor or flash of the real videos) and every loop, whether a clip holds it, and whether
# every run gave the same clips.
#
#   bench/batch/batch_check.sh [RUNS]      (BUILD_DIR as for the build, default build)
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
tool="$(pwd)/${BUILD_DIR:-build}/bin/zavip-tool"
data="$(pwd)/../shared/testdata"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A video looped three times, decoded and stored without loss.
loop3() {
  local src=$1 out=$2
  gst-launch-1.0 -q concat name=c ! videoconvert ! video/x-raw,format=I420 ! avenc_ffv1 ! \
    matroskamux ! filesink location="$out" \
    filesrc location="$src" ! decodebin ! videoconvert ! c. \
    filesrc location="$src" ! decodebin ! videoconvert ! c. \
    filesrc location="$src" ! decodebin ! videoconvert ! c.
}

"$tool" simulate --out "$work/sky.avi" --truth "$work/sky.json" --width 960 --height 540 \
  --fps 25 --seconds 60 --seed 7 --format I420 >/dev/null
# Events: "name first last" per line, frames of one pass of the video.
python3 - "$work/sky.json" >"$work/sky.events" <<'PY'
import json, sys
for e in json.load(open(sys.argv[1]))["events"]:
    if e["kind"] == "meteor" and e["peak"] > 60:
        print("meteor@%dDN %d %d" % (e["peak"], e["first_frame"], e["last_frame"]))
PY
printf 'flash 13 28\nmeteor 99 133\n' >"$work/meteor1.events"
printf 'fireball 8 272\n' >"$work/meteor4.events"

loop3 "$work/sky.avi" "$work/sky_x3.mkv"
loop3 "$data/meteor1.avi" "$work/meteor1_x3.mkv"
loop3 "$data/meteor4.flv" "$work/meteor4_x3.mkv"

status=0
check() {
  local name=$1 video=$2 events=$3 passes=$4 length=$5
  local first_list="" same=yes
  for run in $(seq 1 "$runs"); do
    rm -rf "$work/out"
    "$tool" detect --source "$video" --out "$work/out" --start 2024-08-12T23:30:00 |
      sed -n 's|^clip .* frames=[0-9]* first=\([0-9]*\) last=\([0-9]*\)|\1 \2|p' >"$work/clips.$run"
    [ "$run" = 1 ] && first_list="$work/clips.1"
    cmp -s "$first_list" "$work/clips.$run" || same=no
  done
  echo "== $name: $(wc -l <"$first_list") clips, same in $runs runs: $same"
  if [ "$same" != yes ]; then status=1; fi
  for pass in $(seq 0 $((passes - 1))); do
    while read -r event first last; do
      local f=$((first + pass * length)) l=$((last + pass * length)) held=missed
      while read -r cf cl; do
        [ "$cf" -le "$l" ] && [ "$cl" -ge "$f" ] && held="clip $cf-$cl"
      done <"$first_list"
      printf '   pass %d  %-16s frames %4d-%-4d  %s\n' $((pass + 1)) "$event" "$f" "$l" "$held"
      if [ "$held" = missed ]; then status=1; fi
    done <"$events"
  done
}
check "README sky" "$work/sky.avi" "$work/sky.events" 1 1500
check "README sky x3" "$work/sky_x3.mkv" "$work/sky.events" 3 1500
check "meteor1.avi" "$data/meteor1.avi" "$work/meteor1.events" 1 181
check "meteor1.avi x3" "$work/meteor1_x3.mkv" "$work/meteor1.events" 3 181
check "meteor4.flv" "$data/meteor4.flv" "$work/meteor4.events" 1 293
check "meteor4.flv x3" "$work/meteor4_x3.mkv" "$work/meteor4.events" 3 293
exit $status
