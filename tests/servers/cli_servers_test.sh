#!/usr/bin/env bash
# tempolog-cli fed by tempolog-sim and read back by the real consumers of its
# output: InfluxDB (line protocol over its HTTP write interface), the Prometheus
# node exporter (textfile collector) and Python's csv module. Also the faults a
# recorder left alone for months meets: an adapter pulled out and plugged in
# again, a reply that is no number, SIGTERM in the middle of an exchange, bad
# arguments.
#
#   cli_servers_test.sh TEMPOLOG_CLI TEMPOLOG_SIM
#
# Exits 77 (skipped) when InfluxDB or the node exporter is not installed,
# unless TEMPOLOG_REQUIRE_SERVERS is set (scripts/test installs them and sets it).
set -euo pipefail
cli="$1"
sim="$2" # for start_sim
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/servers.sh"

for tool in influxd prometheus-node-exporter curl python3; do
  if ! command -v "$tool" >/dev/null; then
    if [ -n "${TEMPOLOG_REQUIRE_SERVERS:-}" ]; then
      echo "$tool is not installed" >&2
      exit 1
    fi
    echo "skipped: $tool is not installed (scripts/test installs it)"
    exit 77
  fi
done

tmp="$(mktemp -d)"
sim_pids=()
cleanup() {
  stop_sims
  servers_stop
  rm -rf "$tmp"
}
trap cleanup EXIT
# The simulators' ports live in a folder of this test alone; the times are
# those of a zone with summer time, so that local time and UTC differ.
export XDG_RUNTIME_DIR="$tmp/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export TZ=Europe/Warsaw

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
readback() { "$servers_python" "$here/readback.py" "$@"; }
lines_of() { if [ -f "$1" ]; then grep -c '' "$1"; else echo 0; fi; }

echo "== servers"
servers_start "$tmp/servers"
echo "InfluxDB at $influx_url, node exporter at $metrics_url"

# no_metrics_of PORT: the node exporter serves no sample of the recorder of
# PORT, and read its folder without an error.
no_metrics_of() {
  node_metrics >"$tmp/none.metrics"
  grep -q "port=\"$1\"" "$tmp/none.metrics" &&
    fail "the node exporter still serves $1 after the recorder ended: $(grep tempolog_ "$tmp/none.metrics")"
  grep -q '^node_textfile_scrape_error 0' "$tmp/none.metrics" ||
    fail "the node exporter could not read its folder: $(grep node_textfile "$tmp/none.metrics")"
}

# ---- record: line protocol into InfluxDB, metrics through the node exporter --
# The port's name needs the escapes of the line protocol's tag values. The
# simulator answers three readings and vanishes, so that the metrics are read
# while the recorder runs and its log no longer grows; SIGTERM then ends it,
# and its metrics file goes with it.
echo "== record --format influx --prom"
port='lab 2,a=b'
start_sim "$port" --vanish-after 6
"$cli" record --port "$port" --period 1 --format influx --out "$tmp/a.log" \
  --prom "$(textfile_dir)/lab.prom" >"$tmp/a.lp" 2>"$tmp/a.err" &
pid=$!
sim_pids+=("$pid") # ended with the simulators when the test fails
for ((i = 0; i < 100; ++i)); do
  grep -q ': gone' "$tmp/a.err" && break
  sleep 0.1
done
[ "$(lines_of "$tmp/a.log")" = 3 ] || fail "3 readings answered, the log has: $(cat -A "$tmp/a.log")"
node_metrics >"$tmp/a.metrics"
readback prom "$tmp/a.metrics" "$tmp/a.log" "$port" some
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "record ended with status $status after SIGTERM: $(cat "$tmp/a.err")"
no_metrics_of "$port"
influx_create recorded
influx_write recorded "$tmp/a.lp"
influx_query recorded 'SELECT value FROM temperature GROUP BY port' >"$tmp/a.json"
readback influx "$tmp/a.json" "$tmp/a.log" "$port"

# ---- export of that log: line protocol into InfluxDB, CSV through csv --------
echo "== export"
"$cli" export "$tmp/a.log" --format influx --port "$port" >"$tmp/e.lp" ||
  fail "export --format influx ended with status $?"
influx_create exported
influx_write exported "$tmp/e.lp"
influx_query exported 'SELECT value FROM temperature GROUP BY port' >"$tmp/e.json"
readback influx "$tmp/e.json" "$tmp/a.log" "$port"
"$cli" export "$tmp/a.log" --format csv >"$tmp/e.csv" || fail "export --format csv ended with status $?"
readback csv "$tmp/e.csv" "$tmp/a.log"
# A line that does not parse is named with its number; the others still come.
{
  head -n 1 "$tmp/a.log"
  printf 'not a reading\r\n'
  tail -n +2 "$tmp/a.log"
} >"$tmp/torn.log"
status=0
"$cli" export "$tmp/torn.log" --format csv >"$tmp/torn.csv" 2>"$tmp/torn.err" || status=$?
[ "$status" = 1 ] || fail "export of a log with a bad line ended with status $status, not 1"
grep -q ':2: .*not a reading' "$tmp/torn.err" ||
  fail "the bad line's number and text are not reported: $(cat "$tmp/torn.err")"
readback csv "$tmp/torn.csv" "$tmp/a.log"
# Local times of the log and their offsets from UTC by the zone's rules: winter,
# summer, the hour repeated in October (its first pass, in summer time) and the
# hour skipped in March (read with the offset in force before it).
printf '%s\t20.5\r\n' "2026-12-09 14:05:09" "2026-07-01 12:00:00" "2026-10-25 02:30:00" \
  "2026-03-29 02:30:00" >"$tmp/zones.log"
"$cli" export "$tmp/zones.log" --format csv >"$tmp/zones.csv"
{
  printf 'local_time,value,time\r\n'
  printf '%s,20.5,%s\r\n' "2026-12-09T14:05:09.000" "2026-12-09T14:05:09.000+01:00" \
    "2026-07-01T12:00:00.000" "2026-07-01T12:00:00.000+02:00" \
    "2026-10-25T02:30:00.000" "2026-10-25T02:30:00.000+02:00" \
    "2026-03-29T02:30:00.000" "2026-03-29T02:30:00.000+01:00"
} | cmp - "$tmp/zones.csv" ||
  fail "export's offsets differ from the zone rules: $(cat "$tmp/zones.csv")"

# ---- the adapter pulled out after two readings, back 2 s later --------------
# (and pulled out again after two more readings: it vanishes after every fourth
# request). One line when the port goes, one when it is back, never repeated.
echo "== unplug and return"
start_sim unplug --vanish-after 4 --return-after 2000
TIMEFORMAT='%U %S'
{ time "$cli" record --port unplug --period 1 --duration 8 --out "$tmp/b.log" \
  --prom "$(textfile_dir)/unplug.prom" >/dev/null 2>"$tmp/b.err"; } 2>"$tmp/b.time" || fail "record ended with status $?"
cat "$tmp/b.err"
readback log "$tmp/b.log"
changes="$(grep -o 'unplug: \(gone\|back\)' "$tmp/b.err" | tr '\n' ' ')"
[[ "$changes" =~ ^unplug:\ gone\ unplug:\ back\ (unplug:\ gone\ )?$ ]] ||
  fail "not one line for each change of the port: $changes"
[ "$(lines_of "$tmp/b.log")" -ge 4 ] || fail "no readings after the return: $(cat -A "$tmp/b.log")"
no_metrics_of unplug
# Waiting for the port takes no processor time to speak of (no busy loop).
read -r user system <"$tmp/b.time"
"$servers_python" -c "import sys; sys.exit(0 if $user + $system < 2 else 1)" ||
  fail "record used ${user} s + ${system} s of processor time in 8 s"

# ---- replies that are no reading: reported once, not recorded, recording goes on --
echo "== rejected replies"
for row in "not a number|abc" "beyond single precision|1e39"; do
  name="${row%%|*}"
  value="${row#*|}"
  start_sim "bad$value" --value "$value"
  status=0
  "$cli" record --port "bad$value" --period 1 --duration 3 --out "$tmp/c.log" >"$tmp/c.out" \
    2>"$tmp/c.err" || status=$?
  [ "$status" = 0 ] || fail "$name: record ended with status $status"
  [ "$(grep -c "bad$value: reply rejected" "$tmp/c.err")" = 1 ] ||
    fail "$name: the reply $value is not reported once: $(cat "$tmp/c.err")"
  grep -q "bad$value: replies still rejected at the end, after [2-9] rejected ticks" "$tmp/c.err" ||
    fail "$name: the rejected ticks are not counted at the end: $(cat "$tmp/c.err")"
  [ ! -s "$tmp/c.log" ] && [ ! -s "$tmp/c.out" ] || fail "$name: the reply $value was recorded"
done

# ---- SIGTERM while the instrument is answering ------------------------------
echo "== SIGTERM in an exchange"
# Each answer takes 0.8 s: a tick (two exchanges) lasts 1.6 s of every 2 s (the
# ticks keep to a grid of whole periods and skip the ones missed).
start_sim slow --delay 800
"$cli" record --port slow --period 1 --out "$tmp/d.log" >"$tmp/d.out" 2>"$tmp/d.err" &
pid=$!
for ((i = 0; i < 100; ++i)); do
  [ "$(lines_of "$tmp/d.log")" -ge 1 ] && break
  sleep 0.1
done
# The first reading came at 1.6 s; the next tick exchanges from 2 s to 3.6 s.
sleep 0.8
kill -TERM "$pid"
for ((i = 0; i < 50; ++i)); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" && fail "record did not end within 5 s of SIGTERM"
status=0
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "record ended with status $status after SIGTERM: $(cat "$tmp/d.err")"
readback log "$tmp/d.log"
[ "$(lines_of "$tmp/d.out")" = "$(lines_of "$tmp/d.log")" ] ||
  fail "standard output has $(lines_of "$tmp/d.out") readings, the log $(lines_of "$tmp/d.log")"

# ---- bad arguments: status 2, the usage, nothing created ----------------------
echo "== bad arguments"
bad="$tmp/bad"
mkdir "$bad"
rows=(
  "no command|"
  "unknown command|frobnicate"
  "record without a port|record --out $bad/x.log"
  "period not a number|record --port slow --period abc --out $bad/x.log --prom $bad/x.prom"
  "period zero|record --port slow --period 0 --out $bad/x.log"
  "unknown format|record --port slow --format xml --out $bad/x.log"
  "unknown option|record --port slow --colour --out $bad/x.log"
  "option without its value|record --port slow --prom $bad/x.prom --out"
  "count not a number|record --port slow --count many --out $bad/x.log"
  "export without a file|export --format csv"
  "export to an unknown format|export $tmp/a.log --format xml"
)
for row in "${rows[@]}"; do
  name="${row%%|*}"
  read -r -a args <<<"${row#*|}"
  status=0
  "$cli" "${args[@]}" >"$tmp/bad.out" 2>"$tmp/bad.err" || status=$?
  [ "$status" = 2 ] || fail "$name: status $status, not 2"
  grep -qi 'usage' "$tmp/bad.err" || fail "$name: no usage on standard error: $(cat "$tmp/bad.err")"
  [ ! -s "$tmp/bad.out" ] || fail "$name: something on standard output: $(cat "$tmp/bad.out")"
  [ -z "$(ls -A "$bad")" ] || fail "$name: created $(ls -A "$bad")"
done
# A log that cannot be written is a failure at run time, before any query.
status=0
"$cli" record --port slow --out "$bad/missing/x.log" >/dev/null 2>"$tmp/bad.err" || status=$?
[ "$status" = 1 ] || fail "an --out in a missing folder gave status $status, not 1"

echo "All server checks passed"
