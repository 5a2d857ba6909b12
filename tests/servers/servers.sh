# Real InfluxDB and Prometheus node exporter servers for a test, each on a free
# port of 127.0.0.1 with all its files in a temporary folder. Sourced, not run.
#
#   servers_start FOLDER     starts both; sets influx_url and metrics_url
#   servers_stop             stops whatever was started (safe to call twice)
#   influx_create DB         creates a database
#   influx_write DB FILE     writes a file of line protocol (nanosecond times)
#   influx_query DB QUERY    prints the JSON answer, times in nanoseconds
#   node_metrics             prints the node exporter's /metrics page
#   textfile_dir             the folder whose *.prom files the exporter reads
#   start_sim NAME [options] a simulated thermometer (the caller's $sim) whose
#                            port is NAME, its output in the caller's $tmp, its
#                            pid added to the caller's sim_pids
#   stop_sims                ends every process in sim_pids and waits for it
#
# Every helper fails (non-zero status, a message on standard error) when a
# server answers other than it should; the caller's `set -e` then ends the test
# and its EXIT trap calls servers_stop.

servers_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# start_simulator, shared with the scripts.
source "$servers_here/../../scripts/lib.sh"
# Debian's Python (scripts/test installs it) rather than whatever PATH offers.
servers_python=python3
[ -x /usr/bin/python3 ] && servers_python=/usr/bin/python3
servers_pids=()
servers_folder=""
influx_url=""
metrics_url=""

servers_fail() {
  echo "servers: $*" >&2
  return 1
}

# Waits up to 20 s for URL to answer with a 2xx status; the server's log is
# shown when it does not (or when the server ended early).
servers_wait_for() {
  local url="$1" pid="$2" log="$3" i
  for ((i = 0; i < 200; ++i)); do
    if curl -sf -o /dev/null --max-time 1 "$url"; then return 0; fi
    if ! kill -0 "$pid" 2>/dev/null; then
      cat "$log" >&2
      servers_fail "the server behind $url ended at start"
      return 1
    fi
    sleep 0.1
  done
  tail -n 30 "$log" >&2
  servers_fail "$url did not answer within 20 s"
}

servers_start() {
  servers_folder="$1"
  local ports influx_http influx_rpc exporter
  # Three ports that were free a moment ago; the window between asking and
  # binding is short and each server then fails loudly if it lost the race.
  ports="$("$servers_python" "$servers_here/readback.py" free-ports 3)"
  read -r influx_http influx_rpc exporter <<<"$ports"

  local influx="$servers_folder/influxdb"
  mkdir -p "$influx" "$servers_folder/textfile"
  cat >"$influx/influxdb.conf" <<EOF
reporting-disabled = true
bind-address = "127.0.0.1:$influx_rpc"

[meta]
  dir = "$influx/meta"

[data]
  dir = "$influx/data"
  wal-dir = "$influx/wal"
  query-log-enabled = false

[monitor]
  store-enabled = false

[continuous_queries]
  enabled = false

[http]
  enabled = true
  bind-address = "127.0.0.1:$influx_http"
  log-enabled = false
EOF
  influxd run -config "$influx/influxdb.conf" >"$influx/influxd.log" 2>&1 &
  servers_pids+=($!)
  influx_url="http://127.0.0.1:$influx_http"
  servers_wait_for "$influx_url/ping" "$!" "$influx/influxd.log"

  # Only the textfile collector: the machine's own figures are of no interest.
  prometheus-node-exporter --web.listen-address="127.0.0.1:$exporter" \
    --collector.disable-defaults --collector.textfile \
    --collector.textfile.directory="$servers_folder/textfile" \
    --web.disable-exporter-metrics >"$servers_folder/node-exporter.log" 2>&1 &
  servers_pids+=($!)
  metrics_url="http://127.0.0.1:$exporter/metrics"
  servers_wait_for "$metrics_url" "$!" "$servers_folder/node-exporter.log"
}

servers_stop() {
  local pid
  for pid in "${servers_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${servers_pids[@]}"; do
    # A server that ignores SIGTERM for 10 s is killed.
    local i
    for ((i = 0; i < 100; ++i)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  servers_pids=()
}

textfile_dir() { echo "$servers_folder/textfile"; }

# curl with a bounded time; prints the body, fails unless the status is EXPECT.
servers_http() {
  local expect="$1" out status
  shift
  out="$(mktemp "$servers_folder/http.XXXXXX")"
  status="$(curl -sS --max-time 10 -o "$out" -w '%{http_code}' "$@")" || {
    rm -f "$out"
    servers_fail "curl $* failed"
    return 1
  }
  if [ "$status" != "$expect" ]; then
    cat "$out" >&2
    rm -f "$out"
    servers_fail "HTTP $status instead of $expect for: $*"
    return 1
  fi
  cat "$out"
  rm -f "$out"
}

influx_create() {
  servers_http 200 -XPOST --data-urlencode "q=CREATE DATABASE \"$1\"" "$influx_url/query" >/dev/null
}

influx_write() {
  servers_http 204 -XPOST --data-binary "@$2" "$influx_url/write?db=$1&precision=ns"
}

influx_query() {
  servers_http 200 -G --data-urlencode "db=$1" --data-urlencode "epoch=ns" \
    --data-urlencode "q=$2" "$influx_url/query"
}

node_metrics() {
  servers_http 200 "$metrics_url"
}

start_sim() {
  local name="$1"
  shift
  start_simulator "$sim" "$XDG_RUNTIME_DIR" "$tmp/sim-${name//[^a-z0-9]/_}.out" "$name" "$@" ||
    servers_fail "tempolog-sim did not register $name"
}

stop_sims() {
  local pid
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${sim_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  sim_pids=()
}
