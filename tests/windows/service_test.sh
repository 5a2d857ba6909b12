#!/usr/bin/env bash
# tempolog-cli.exe as a Windows service under Wine, against a simulated
# thermometer that vanishes and comes back on a COM port:
#   install, net start, readings in the log, the port gone and back, net stop
#   (whole lines, the .prom file removed), remove (the service gone).
#
#   tests/windows/service_test.sh PATH/tempolog-cli.exe [COM PORT]
#
# scripts/wintest runs it in its own Wine prefix, with the port it maps to a
# simulator that vanishes (TEMPOLOG_TEST_VANISHING_PORT). Alone, it needs
# WINEPREFIX (and WINEPATH naming the compiler's run-time DLLs); without a port
# it starts the prefix's Wine server and a simulator of its own (TEMPOLOG_SIM:
# a native tempolog-sim), which it maps to COM8.
# Everything it started is stopped again, also when it fails.
set -euo pipefail

program="$(realpath "${1:?usage: service_test.sh PATH/tempolog-cli.exe [COM PORT]}")"
port="${2:-${TEMPOLOG_TEST_VANISHING_PORT:-}}"
: "${WINEPREFIX:?WINEPREFIX names no Wine prefix}"
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"
wine=/usr/lib/wine/wine64
work="$(mktemp -d)"

folder="$WINEPREFIX/drive_c/ProgramData/tempolog"
sim_pid='' own_server='' cli=''

run() { "$wine" "$@"; }
fail() {
  echo "service test FAILED: $*" >&2
  for f in "$work"/*.txt "$folder"/*.log; do
    [ -f "$f" ] && { echo "--- $f" >&2; tr -d '\r' <"$f" | tail -n 20 >&2; }
  done
  exit 1
}
finish() {
  local status=$?
  if [ -n "$port" ] && [ -n "$cli" ]; then
    run net stop "tempolog-cli-$port" >/dev/null 2>&1 || true
    run "$cli" service remove --port "$port" >/dev/null 2>&1 || true
  fi
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  [ -n "$own_server" ] && /usr/lib/wine/wineserver -k 2>/dev/null
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT

# The service control manager starts the program without WINEPATH: it runs
# from a folder of its own with the DLLs it needs beside it, as installed.
mkdir "$work/bin"
cp "$program" "$work/bin/"
dll_dirs=()
IFS=';' read -r -a entries <<<"${WINEPATH:-}"
for entry in "${entries[@]}"; do
  entry="${entry#Z:}"
  dll_dirs+=("${entry//\\//}")
done
copied=1
while [ "$copied" = 1 ]; do
  copied=0
  for dll in $(x86_64-w64-mingw32-objdump -p "$work"/bin/*.* | sed -n 's/^\s*DLL Name: //p' |
               sort -u); do
    [ -e "$work/bin/$dll" ] && continue
    for dir in "${dll_dirs[@]}"; do
      if [ -f "$dir/$dll" ]; then cp "$dir/$dll" "$work/bin/"; copied=1; break; fi
    done
  done
done
cli="Z:${work//\//\\}\\bin\\$(basename "$program")"

if [ -z "$port" ]; then
  mkdir -p "$WINEPREFIX"
  # (One that runs already, persistent, is used and left running.)
  /usr/lib/wine/wineserver -p 2>/dev/null && own_server=1
  # The first program of a new server makes or updates the prefix and starts
  # its service control manager (an explicit "wineboot -i" would start a
  # second one, and the two would each know only their own services). The
  # services inherit its standard error and WINEDEBUG: Wine's event log
  # functions trace each event's text there.
  WINEDEBUG=-all,trace+eventlog run cmd /c exit 2>"$work/events.txt"
  # A thermometer that answers 6 requests (3 readings), is gone for 4 s, and
  # so on, seen by Wine as COM8 and listed among its serial ports.
  sim="${TEMPOLOG_SIM:?TEMPOLOG_SIM names no native tempolog-sim}"
  mkdir -m 700 "$work/runtime"
  XDG_RUNTIME_DIR="$work/runtime" "$sim" --name service-sim --vanish-after 6 \
    --return-after 4000 &
  sim_pid=$!
  for _ in $(seq 50); do [ -L "$work/runtime/tempolog/ports/service-sim" ] && break; sleep 0.1; done
  ln -sfn "$work/runtime/tempolog/ports/service-sim" "$WINEPREFIX/dosdevices/com8"
  run reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v tempolog-service-sim /t REG_SZ /d COM8 \
    /f >/dev/null
  port=COM8
fi
service="tempolog-cli-$port"
log="$folder/tempolog-$port.log" prom="$folder/tempolog-$port.prom"
messages="$folder/tempolog-$port.messages.log"
# What an earlier run left behind goes first.
run "$cli" service remove --port "$port" >/dev/null 2>&1 || true
rm -f "$log" "$prom" "$messages"

# waits up to <seconds> for <command...> to succeed
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 5))); do "$@" && return 0; sleep 0.2; done
  return 1
}
readings() { grep -c $'^[0-9-]* [0-9:]*\t' "$log" 2>/dev/null || echo 0; }
said() { tr -d '\r' <"$messages" 2>/dev/null | grep -q -- "$1"; }
said_after() { tr -d '\r' <"$messages" 2>/dev/null | sed -n "/$1/,\$p" | grep -q -- "$2"; }

# A command line the service cannot take is refused before anything is made.
run "$cli" service install >"$work/bad.txt" 2>&1 && fail "install without --port succeeded"
status=0
run "$cli" service install --port 'a:b' >"$work/bad-port.txt" 2>&1 || status=$?
[ "$status" = 2 ] || fail "a port that makes no file name is refused with status $status, not 2"
# `service run` outside the service control manager says what it is for.
status=0
run "$cli" service run --port "$port" >"$work/console-run.txt" 2>&1 || status=$?
[ "$status" = 1 ] && grep -q "started by the service control manager" "$work/console-run.txt" ||
  fail "service run in a console: status $status"

run "$cli" service install --port "$port" --period 1 >"$work/install.txt" 2>&1 ||
  fail "install: status $?"
WINEDEBUG=err+all,fixme+all run sc query "$service" >"$work/query.txt" 2>&1 || fail "sc query does not know $service (status $?)"
run net start "$service" >"$work/start.txt" 2>&1 || fail "net start: status $?"

# Readings, the port gone and back, readings again.
wait_for 20 said "recording $port every 1 s into C:\\\\ProgramData\\\\tempolog\\\\tempolog-$port.log" ||
  fail "no start message"
wait_for 20 test -f "$prom" || fail "no $prom while recording"
wait_for 30 said "$port: gone" || fail "the port did not vanish"
before=$(readings)
[ "$before" -ge 1 ] || fail "no reading before the port vanished"
wait_for 30 said_after "$port: gone" "$port: back" || fail "the port did not come back"
wait_for 20 test "$(readings)" -gt "$before" || fail "no reading after the port came back"
grep -q '^tempolog_readings_total{port="'"$port"'"} [1-9]' "$prom" ||
  fail "the .prom file counts no reading"

run net stop "$service" >"$work/stop.txt" 2>&1 || fail "net stop: status $?"
wait_for 20 said "recording of $port ended" || fail "no end message"
[ ! -e "$prom" ] || fail "$prom is still there after the stop"
# Whole log lines only: each a time, a tab and a value, ended by CR LF.
[ "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "the log ends in a broken line"
bad_lines=$(grep -c -v $'^[0-9]\\{4\\}-[0-9][0-9]-[0-9][0-9] [0-9:]\\{8\\}\t[-0-9.]*\r$' "$log" ||
  true)
[ "$bad_lines" = 0 ] || fail "$bad_lines lines of the log are not whole readings"
! said "not in the event log" || fail "ReportEvent failed"
if [ -s "$work/events.txt" ]; then
  for text in "recording $port every" "$port: gone" "$port: back" "recording of $port ended"; do
    grep -q "trace:eventlog:ReportEventW L\"$text" "$work/events.txt" ||
      fail "no event \"$text\" reported"
  done
fi

run "$cli" service remove --port "$port" >"$work/remove.txt" 2>&1 || fail "remove: status $?"
! run sc query "$service" >"$work/query-after.txt" 2>&1 || fail "$service is still registered"
echo "service test passed: $(readings) readings in tempolog-$port.log, gone and back, stopped, removed"
