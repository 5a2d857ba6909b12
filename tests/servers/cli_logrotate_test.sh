#!/usr/bin/env bash
# tempolog-cli record, fed by tempolog-sim, rotated several times by the real
# logrotate with the example configuration the package ships (its folder,
# user and reload command replaced by this test's: the postrotate script sends
# SIGHUP to the recorder). Every reading the recorder printed is in exactly
# one of the files, old or new, each file holds whole lines, and the new one
# is made as the configuration says.
#
#   cli_logrotate_test.sh TEMPOLOG_CLI TEMPOLOG_SIM EXAMPLE_CONFIGURATION
#
# Exits 77 (skipped) when logrotate is not installed, unless
# TEMPOLOG_REQUIRE_SERVERS is set (scripts/test installs it and sets it).
set -euo pipefail
cli="$1"
sim="$2" # for start_sim
example="$3"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/servers.sh"

export PATH="$PATH:/usr/sbin:/sbin"
if ! command -v logrotate >/dev/null; then
  if [ -n "${TEMPOLOG_REQUIRE_SERVERS:-}" ]; then
    echo "logrotate is not installed" >&2
    exit 1
  fi
  echo "skipped: logrotate is not installed (scripts/test installs it)"
  exit 77
fi

tmp="$(mktemp -d)"
sim_pids=()
cleanup() {
  stop_sims
  rm -rf "$tmp"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$tmp/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() {
  echo "FAILED: $*" >&2
  [ -f "$tmp/err" ] && sed 's/^/  recorder: /' "$tmp/err" >&2
  exit 1
}
lines_of() { if [ -f "$1" ]; then grep -c '' "$1"; else echo 0; fi; }
# wait_lines FILE N: until FILE has N lines, for up to 10 s.
wait_lines() {
  local i
  for ((i = 0; i < 100; ++i)); do
    [ "$(lines_of "$1")" -ge "$2" ] && return 0
    sleep 0.1
  done
  fail "$1 has $(lines_of "$1") lines after 10 s, not $2"
}

start_sim lab
logs="$tmp/logs"
mkdir "$logs"
"$cli" record --port lab --period 1 --out "$logs/lab.log" >"$tmp/out" 2>"$tmp/err" &
pid=$!
sim_pids+=("$pid") # ended with the simulator when the test fails

sed -e "s|/var/lib/tempolog/|$logs/|" -e "s|tempolog tempolog|$(id -un) $(id -gn)|" \
  -e "s|systemctl try-reload-or-restart .*|kill -HUP $pid|" "$example" >"$tmp/logrotate.conf"
if ! grep -q "^$logs/\*\.log {" "$tmp/logrotate.conf" ||
  ! grep -q "kill -HUP $pid\$" "$tmp/logrotate.conf"; then
  fail "the example's folder or reload command was not found: $(cat "$tmp/logrotate.conf")"
fi

# Three rotations, each once the new file has readings of its own: the
# recorder wrote to it, so it took the SIGHUP.
wait_lines "$logs/lab.log" 2
for round in 1 2 3; do
  logrotate -f -s "$tmp/state" "$tmp/logrotate.conf" || fail "logrotate failed in round $round"
  [ "$(stat -c %a "$logs/lab.log")" = 640 ] || fail "the new log is not made with mode 0640"
  wait_lines "$logs/lab.log" 2
done
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "record ended with status $status after SIGTERM"

# Oldest first: lab.log.3.gz, lab.log.2.gz, lab.log.1 (compressed at the next
# rotation only), lab.log.
for file in lab.log.3.gz lab.log.2.gz lab.log.1; do
  [ -f "$logs/$file" ] || fail "not the files of three rotations: $(ls "$logs")"
done
for file in lab.log.3.gz lab.log.2.gz lab.log.1 lab.log; do
  zcat -f "$logs/$file" >"$tmp/$file.text"
  [ "$(tail -c 2 "$tmp/$file.text" | od -An -c | tr -d ' ')" = '\r\n' ] ||
    fail "$file does not end with a whole line: $(cat -A "$tmp/$file.text")"
done
cat "$tmp"/lab.log.3.gz.text "$tmp"/lab.log.2.gz.text "$tmp"/lab.log.1.text "$tmp"/lab.log.text |
  cmp - "$tmp/out" || fail "the files hold other readings than standard output: $(cat -A "$tmp/out")"
grep -q 'lab.log: reopened$' "$tmp/err" || fail "the reopening is not told"
echo "All $(lines_of "$tmp/out") readings in the four files, each once"
