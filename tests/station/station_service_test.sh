#!/usr/bin/env bash
# The station as a service, end to end, on a private session bus (run under
# dbus-run-session): the status query (ZAV_QUERY/ZAV_ANSER, Status, zavip-tool status, a
# second station's own name), the service manager's notifications on a socket this test
# listens on, the watchdog going quiet when the source stalls (a FIFO fed, then stopped),
# journal lines, and a station without a session bus.
# usage: station_service_test.sh BIN_DIR
set -uo pipefail
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/orvanta-service-test.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do
    kill -9 "$p" 2>/dev/null
    wait "$p" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
wait_for() {  # wait_for SECONDS FILE PATTERN
  local until=$((SECONDS + $1))
  while [ $SECONDS -lt $until ]; do
    grep -q -- "$3" "$2" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}
tool=$bin/zavip-tool
cd "$work"
"$tool" simulate --out sky.avi --truth sky.json --width 480 --height 270 --fps 25 --seconds 20 \
  --seed 7 --format I420 >/dev/null || exit 1
station_dir() {  # station_dir NAME SOURCE: a working directory with settings and clip folder
  mkdir -p "$work/$1/clips"
  "$tool" settings defaults "$work/$1/st.zvi" >/dev/null
  "$tool" settings set "$work/$1/st.zvi" IF.cx=480 IF.cy=270 IF.fps=25 IF.filterinmode=1 \
    IF.rtspinmode=0 AP.dv_v_s_filter=filesrc "AP.infname=$2" "AP.db_dir=$work/$1/clips" \
    AP.db_ymddir=0 AP.limit_MB=10 >/dev/null
}

echo "== status query and notifications"
station_dir one "$work/sky.avi"
station_dir two "$work/sky.avi"
/usr/bin/python3 "$here/notify_listener.py" "$work/notify" "$work/notify.log" &
pids+=($!)
wait_for 5 notify.log listening
(cd one && NOTIFY_SOCKET=$work/notify WATCHDOG_USEC=1000000 exec "$bin/zavip" --headless \
  "$work/one/st.zvi" >out 2>err) &
one=$!
pids+=($one)
check "READY=1 once frames reach the filter" wait_for 15 notify.log "READY=1"
(cd two && exec "$bin/zavip" --headless "$work/two/st.zvi" >out 2>err) &
two=$!
pids+=($two)
wait_for 15 one/clips "" >/dev/null
check "a clip is finished" wait_for 15 notify.log "STATUS=detecting.*last $work/one/clips/M"
"$tool" status >status.txt 2>status.err
check "zavip-tool status answers" test $? -eq 0
check "status lines" grep -qzE "^level [0-9]+
clip_no [1-9][0-9]*
live detecting
last_clip $work/one/clips/M[^ ]*\.avi
$" status.txt
timeout 4 gdbus monitor --session --dest org.orvanta.Zavip >monitor.txt 2>&1 &
sleep 1
gdbus call --session --dest org.orvanta.Zavip --object-path /org/orvanta/Zavip \
  --method org.orvanta.Zavip.ZAV_QUERY >query.txt 2>&1
check "ZAV_QUERY returns nothing" grep -qx "()" query.txt
check "ZAV_ANSER(level, clip_no) is broadcast" wait_for 4 monitor.txt \
  "/org/orvanta/Zavip: org.orvanta.Zavip.ZAV_ANSER ([0-9]*, [1-9][0-9]*)"
gdbus call --session --dest org.orvanta.Zavip --object-path /org/orvanta/Zavip \
  --method org.orvanta.Zavip.Status >rest.txt 2>&1
check "Status gives live state and last clip" grep -q "^('detecting', '$work/one/clips/M" rest.txt
check "the second station owns its own name" \
  bash -c "gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames | grep -q \"'org.orvanta.Zavip.Pid$two'\""
"$tool" status --pid "$two" >status2.txt 2>&1
check "zavip-tool status --pid asks the second station" grep -q "^live detecting" status2.txt
check "keep-alives while frames flow" test "$(grep -c "WATCHDOG=1" notify.log)" -ge 2
kill -TERM "$one" "$two"
wait "$one"
check "first station ends cleanly" test $? -eq 0
wait "$two"
check "STOPPING=1 at the end" grep -q "STOPPING=1" notify.log
"$tool" status >gone.txt 2>&1
check "no station: exit status 3" test $? -eq 3
"$tool" status --pid x >/dev/null 2>&1
check "bad --pid is a usage error" test $? -eq 1

echo "== the watchdog on a stalled source"
mkfifo "$work/sky.fifo"
station_dir stall "$work/sky.fifo"
/usr/bin/python3 "$here/notify_listener.py" "$work/stall.sock" "$work/stall.log" 2 &
pids+=($!)
wait_for 5 stall.log listening
# The test holds the FIFO open itself, reading nothing: the station's readability check
# (open, close) must not leave the feeder without a reader.
exec 3<>"$work/sky.fifo"
gst-launch-1.0 -q filesrc location=sky.avi ! avidemux ! identity sync=true ! \
  matroskamux streamable=true ! filesink location="$work/sky.fifo" 3>&- &
feeder=$!
pids+=($feeder)
(cd stall && NOTIFY_SOCKET=$work/stall.sock WATCHDOG_USEC=2000000 exec "$bin/zavip" \
  --headless "$work/stall/st.zvi" >out 2>err 3>&-) &
stalled=$!
pids+=($stalled)
check "ready on the FIFO's frames" wait_for 15 stall.log "READY=1"
wait_for 5 stall.log "WATCHDOG=1"
kill -STOP "$feeder"
check "the service manager's watchdog would fire" wait_for 15 stall.log "watchdog expired"
sleep 2
check "no keep-alive while the source stays stalled" \
  test "$(sed -n '/watchdog expired/,$p' stall.log | grep -c "WATCHDOG=1")" -eq 0
check "the log says why" grep -q "Keep-alive withheld: no frame reached the detection filter" \
  stall/err
# The feeder goes away: the FIFO ends, the station with it.
kill -9 "$feeder"
exec 3>&-
wait "$stalled"
check "stalled station ends once its source closes" test $? -eq 0

echo "== no session bus, journal lines"
station_dir nobus "$work/sky.avi"
"$tool" settings set "$work/nobus/st.zvi" AP.infname="$work/short.avi" >/dev/null
"$tool" simulate --out short.avi --truth short.json --width 480 --height 270 --fps 25 \
  --seconds 4 --seed 3 --format I420 >/dev/null
: >nobus/err
journal=$(stat -c '%d:%i' nobus/err)
(cd nobus && DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus JOURNAL_STREAM=$journal \
  exec "$bin/zavip" --headless "$work/nobus/st.zvi" >out 2>>err)
check "runs to the file's end without a bus" test $? -eq 0
check "says so once, as a notice line" test "$(grep -c "^<5>Status query off: no session bus" nobus/err)" -eq 1
check "every journal line carries its priority" bash -c "! grep -qv '^<[0-7]>' nobus/err"
check "the log file keeps its own lines" grep -q "Orvanta: Status query off: no session bus" \
  nobus/zavip.log

echo "== $failures failure(s)"
[ "$failures" -eq 0 ]
