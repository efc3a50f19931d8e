#!/usr/bin/env bash
# zavip-tool sun: the printed line for known sites, offsets from a settings
# file, the polar case and refused arguments.
set -u
tool="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

expect() {  # expect WHAT WANTED_OUTPUT WANTED_STATUS ARGS...
  local what="$1" wanted="$2" wanted_status="$3"
  shift 3
  local got status
  got=$("$tool" sun "$@" 2>/dev/null)
  status=$?
  if [ "$got" != "$wanted" ] || [ "$status" -ne "$wanted_status" ]; then
    echo "FAIL $what: got '$got' (status $status), wanted '$wanted' (status $wanted_status)"
    failures=$((failures + 1))
  fi
}

expect "Tokyo midsummer, default offsets" \
  "sunrise 04:25 sunset 19:00 window1 04:00-19:25 window2 19:30-03:55" 0 \
  --lng 139.7 --lat 35.7 --tz-bias -32400 --date 2024-06-21
expect "London equinox" \
  "sunrise 06:01 sunset 18:14 window1 05:36-18:39 window2 18:44-05:31" 0 \
  --lng 0 --lat 51.5 --tz-bias 0 --date 2023-03-21
expect "Svalbard midsummer" "no sunrise or sunset" 0 \
  --lng 15.6 --lat 78.2 --tz-bias -3600 --date 2024-06-21

# A settings file with VERSION 501 and window 1's start offset -10 only.
record() {  # record KEY HEX_VALUE_BYTES (4 bytes, little-endian)
  local key="$1" pad=$((16 - ${#1}))
  printf '%s' "$key"
  head -c "$pad" /dev/zero
  printf '\x04\x00\x00\x00'
  printf "$2"
}
{ record VERSION '\xf5\x01\x00\x00'; record 'AP.sd[0].o1' '\xf6\xff\xff\xff'; } > "$work/site.zvi"
expect "offsets from a settings file" \
  "sunrise 04:25 sunset 19:00 window1 04:15-19:25 window2 19:30-03:55" 0 \
  --lng 139.7 --lat 35.7 --tz-bias -32400 --date 2024-06-21 --settings "$work/site.zvi"

expect "missing settings file" "" 1 \
  --lng 139.7 --lat 35.7 --tz-bias -32400 --date 2024-06-21 --settings "$work/none.zvi"
expect "no such day" "" 1 --lng 139.7 --lat 35.7 --tz-bias -32400 --date 2023-02-29
expect "latitude not a number" "" 1 --lng 139.7 --lat north --tz-bias 0 --date 2024-06-21
expect "date missing" "" 1 --lng 139.7 --lat 35.7 --tz-bias 0

[ "$failures" -eq 0 ] && echo "all sun tool cases pass"
exit "$failures"
