"""Reads back what the servers and the recorder produced and compares it with a
tempolog log file. Run by cli_servers_test.sh; every check prints what differs
and exits 1, or prints one summary line and exits 0.

  free-ports N                    N free TCP ports of 127.0.0.1
  log LOG                         the log is whole lines "timestamp TAB value CR LF"
  influx QUERY_JSON LOG PORT      InfluxDB's answer holds the log's readings of PORT
  csv CSV_FILE LOG                the CSV output holds the log's readings
  prom METRICS LOG PORT FAILED    /metrics shows PORT's last reading and counters
                                  (FAILED: the count of failed ticks, or "some")

Times are compared in the zone of the TZ variable, as the recorder stamps them:
a log line holds the local time to the second, the servers hold instants.
"""

import csv
import datetime
import json
import re
import socket
import struct
import sys

LINE = re.compile(rb"^(\d{4}-\d\d-\d\d(?: \d\d:\d\d:\d\d)?)\t([^\r\n]+)$")


def fail(message):
    print("readback: " + message, file=sys.stderr)
    sys.exit(1)


def single(value):
    """A reading as the program holds it: rounded to single precision."""
    return struct.unpack("f", struct.pack("f", float(value)))[0]


def local_stamp(seconds):
    """The log's timestamp text of an instant: the date alone at 00:00:00."""
    moment = datetime.datetime.fromtimestamp(seconds)
    if (moment.hour, moment.minute, moment.second) == (0, 0, 0):
        return moment.strftime("%Y-%m-%d")
    return moment.strftime("%Y-%m-%d %H:%M:%S")


def read_log(path):
    """The log's readings as (timestamp text, value text); every line must be
    whole: timestamp, tab, value, CR LF."""
    data = open(path, "rb").read()
    if data and not data.endswith(b"\r\n"):
        fail(f"{path} ends with a torn line: {data[-40:]!r}")
    rows = []
    for number, line in enumerate(data.split(b"\r\n")[:-1], 1):
        match = LINE.match(line)
        if not match:
            fail(f"{path}:{number}: not a log line: {line!r}")
        rows.append((match.group(1).decode(), match.group(2).decode("latin-1")))
    return rows


def compare(what, got, log):
    """got and log are lists of (timestamp text, value text)."""
    if len(got) != len(log):
        fail(f"{what}: {len(got)} readings, the log has {len(log)}:\n  {got}\n  {log}")
    for i, ((got_time, got_value), (log_time, log_value)) in enumerate(zip(got, log), 1):
        if got_time != log_time or single(got_value) != single(log_value):
            fail(f"{what}: reading {i} is {got_time} {got_value}, the log has {log_time} {log_value}")


def free_ports(count):
    sockets = []
    for _ in range(int(count)):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        sockets.append(s)
    print(" ".join(str(s.getsockname()[1]) for s in sockets))


def influx(answer_path, log_path, port):
    answer = json.load(open(answer_path))
    result = answer["results"][0]
    if "error" in result:
        fail("InfluxDB: " + result["error"])
    series = result.get("series", [])
    if len(series) != 1:
        fail(f"InfluxDB holds {len(series)} series, not 1: {series}")
    tags = series[0].get("tags", {})
    if tags.get("port") != port:
        fail(f"InfluxDB has the tag port={tags.get('port')!r}, not {port!r}")
    got = [(local_stamp(ns // 10**9), repr(v)) for ns, v in series[0]["values"]]
    log = read_log(log_path)
    compare("InfluxDB", got, log)
    print(f"InfluxDB holds the {len(got)} readings of the log, tagged port={port!r}")


def csv_output(csv_path, log_path):
    """Each row: the local time without offset (for spreadsheets), the value,
    and the same time with its offset (the instant)."""
    with open(csv_path, newline="", encoding="latin-1") as f:
        rows = list(csv.reader(f, strict=True))
    if not rows or rows[0] != ["local_time", "value", "time"]:
        fail(f"the CSV header is {rows[:1]}, not local_time,value,time")
    got = []
    for row in rows[1:]:
        if len(row) != 3:
            fail(f"a CSV row of {len(row)} fields: {row}")
        moment = datetime.datetime.fromisoformat(row[2])
        if moment.tzinfo is None:
            fail(f"a CSV time without its UTC offset: {row[2]}")
        if datetime.datetime.fromisoformat(row[0]) != moment.replace(tzinfo=None):
            fail(f"a CSV local time that is not the time's: {row}")
        got.append((local_stamp(int(moment.timestamp())), row[1]))
    compare("CSV", got, read_log(log_path))
    print(f"the CSV holds the {len(got)} readings of the log")


def prom(metrics_path, log_path, port, failed):
    """The recorder's gauges and counters as the node exporter serves them:
    the last reading, the time of the last good reading (within the second of
    the log's last line), the counts of readings and of failed ticks."""
    samples = {}
    for line in open(metrics_path, encoding="utf-8"):
        if line.startswith("node_textfile_scrape_error") and float(line.split()[-1]) != 0:
            fail("the node exporter could not read the recorder's file")
        if line.startswith("tempolog_"):
            name, value = line.rsplit(" ", 1)
            samples[name] = float(value)
    log = read_log(log_path)
    if not log:
        fail("the log is empty")
    expected = {
        "tempolog_temperature": single(log[-1][1]),
        "tempolog_last_reading_timestamp_seconds": log[-1][0],
        "tempolog_readings_total": len(log),
        "tempolog_failed_ticks_total": None if failed == "some" else int(failed),
    }
    for name, want in expected.items():
        label = port.replace("\\", "\\\\").replace('"', '\\"')
        got = [v for k, v in samples.items() if k == f'{name}{{port="{label}"}}']
        if len(got) != 1:
            fail(f"/metrics has {len(got)} samples of {name}: {samples}")
        if name.endswith("_seconds"):
            got = [local_stamp(int(got[0]))]
        elif name == "tempolog_temperature":
            got = [single(got[0])]
        if want is None:
            want = "more than 0"
            if got[0] > 0:
                continue
        if got[0] != want:
            fail(f"{name} is {got[0]}, expected {want}")
    print(f"/metrics shows the last reading {log[-1][1]} and {len(log)} readings")


def main(args):
    commands = {
        "free-ports": (free_ports, 1),
        "log": (lambda p: print(f"{len(read_log(p))} whole lines"), 1),
        "influx": (influx, 3),
        "csv": (csv_output, 2),
        "prom": (prom, 4),
    }
    if not args or args[0] not in commands or len(args) - 1 != commands[args[0]][1]:
        fail("usage: see the head of this file")
    commands[args[0]][0](*args[1:])


if __name__ == "__main__":
    main(sys.argv[1:])
