#!/usr/bin/env bash
# Set-up, build and the main job: one minute of simulated night sky with meteors, the
# station's detection run over it (the same live graph, detection filter and end-of-clip
# sequence as a station), and the clips and products it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
out=${OUT_DIR:-out}
tool="${BUILD_DIR:-build}/bin/zavip-tool"
mkdir -p "$out"
rm -rf "$out/clips"
echo "== simulating one minute of night sky"
"$tool" simulate --out "$out/sky.avi" --truth "$out/sky.json" --width 960 --height 540 \
  --fps 25 --seconds 60 --seed 7 --format I420
echo "== detecting"
"$tool" detect --source "$out/sky.avi" --out "$out/clips" --start 2024-08-12T23:30:00
echo "== clips and products written under $out/clips"
find "$out/clips" -type f -printf '%10s  %p\n' | sort -k2
