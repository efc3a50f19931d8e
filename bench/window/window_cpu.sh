#!/usr/bin/env bash
# The station with its window over a simulated sky played at its own pace (2560 x 1440 at
# 30 frames per second unless told otherwise), under Xvfb: prints the CPU time of the GUI
# thread and of the preview's thread per second of video, the busiest threads, and the
# clips' time logs (the largest gap between frames and the late-frame count of each record).
#
#   bench/window/window_cpu.sh [WIDTH HEIGHT FPS SECONDS]   (BUILD_DIR as for the build)
#
# HEADLESS=1 runs the same without the window (zavip --headless), as the baseline for the
# time logs on a busy machine.
set -euo pipefail
cd "$(dirname "$0")/../.."
width=${1:-2560} height=${2:-1440} fps=${3:-30} seconds=${4:-20}
bin="$(pwd)/${BUILD_DIR:-build}/bin"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/zavip-tool" simulate --out "$work/sky.avi" --width "$width" --height "$height" \
  --fps "$fps" --seconds "$seconds" --seed 3 --format I420 >/dev/null
mkdir -p "$work/clips"
"$bin/zavip-tool" settings defaults "$work/S.zvi"
"$bin/zavip-tool" settings set "$work/S.zvi" "IF.cx=$width" "IF.cy=$height" "IF.fps=$fps" \
  IF.filterinmode=1 IF.rtspinmode=0 AP.dv_v_s_filter=filesrc "AP.infname=$work/sky.avi" \
  "AP.db_dir=$work/clips" AP.db_ymddir=0 AP.limit_MB=10 AP.md_autorun=1 >/dev/null
window=$((seconds - 8))
cat >"$work/run.sh" <<SH
cd "$work"
"$bin/zavip" ${HEADLESS:+--headless} S.zvi >zavip.log 2>&1 &
p=\$!
sleep 4
ticks() { awk '{print \$14+\$15}' "\$1"; }
preview() { for t in /proc/\$p/task/*; do [ "\$(cat \$t/comm)" = preview:src ] && ticks \$t/stat; done; }
g0=\$(ticks /proc/\$p/task/\$p/stat); v0=\$(preview); t0=\$(date +%s.%N)
sleep $window
g1=\$(ticks /proc/\$p/task/\$p/stat); v1=\$(preview); t1=\$(date +%s.%N)
sleep 7  # the file's last clip ends with the file
for t in /proc/\$p/task/*; do echo "  \$(cat \$t/comm 2>/dev/null) \$(ticks \$t/stat 2>/dev/null)"; done | sort -k2 -n -r | head -6
kill -TERM \$p 2>/dev/null; wait \$p
hz=\$(getconf CLK_TCK)
awk -v g=\$((g1 - g0)) -v v=\$((v1 - v0)) -v s="\$(echo "\$t1 - \$t0" | bc)" -v hz=\$hz 'BEGIN {
  printf "over %.1f s of video: GUI thread %.1f ms CPU per second, preview thread %.1f ms\n",
         s, 1000 * g / hz / s, 1000 * v / hz / s }'
SH
echo "busiest threads (CPU ticks over the whole run):"
xvfb-run -a -s "-screen 0 1920x1280x24" bash "$work/run.sh"
for xml in "$work"/clips/*.xml; do
  [ -e "$xml" ] || { echo "no clip"; break; }
  gap=$(grep -o 'fmsec="[0-9-]*"' "$xml" | tr -dc '0-9\n' | sort -n | tail -1)
  echo "$(basename "$xml"): $(grep -o 'dropframe="[0-9]*"' "$xml"), largest gap ${gap} ms"
done
