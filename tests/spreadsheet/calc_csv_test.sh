#!/bin/bash
# A log with readings on both sides of the changes of summer time in
# Europe/Warsaw, exported as CSV and opened by LibreOffice Calc, headless, as
# a user opens it: with the CSV import's defaults, and with "detect special
# numbers". Calc saves each as a flat OpenDocument spreadsheet, whose cells
# calc_cells.py checks: the first column dates equal to the log's local times,
# the second numbers equal to the values.
#   calc_csv_test.sh TEMPOLOG_CLI CALC_CELLS_PY
set -u
cli="$1"
cells="$2"
command -v soffice >/dev/null || {
  echo "LibreOffice Calc (soffice) is not installed; scripts/test installs libreoffice-calc-nogui"
  exit 77
}
tmp="$(mktemp -d /tmp/tempolog-calc.XXXXXX)"
office_pid=""
cleanup() {
  # soffice starts soffice.bin under it: the whole process group it leads.
  [ -n "$office_pid" ] && kill -KILL -- "-$office_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

export TZ=Europe/Warsaw
printf '%s\t%s\r\n' \
  "2026-03-29 01:59:59" "23.5" \
  "2026-03-29 03:00:00" "-0.1" \
  "2026-10-25 02:30:00" "1e-05" \
  "2026-10-25 03:00:00" "21.4" \
  "2026-12-09 14:05:09" "-12.25" \
  "2026-12-31 23:59:59" "340282350000000000000000000000000000000" >"$tmp/lab.log"
"$cli" export "$tmp/lab.log" --format csv >"$tmp/lab.csv" || fail "export ended with status $?"

# Calc in a profile of its own, in its own process group, within a time limit.
convert() {
  local out="$1"
  shift
  mkdir -p "$tmp/$out"
  setsid soffice "-env:UserInstallation=file://$tmp/profile" --headless "$@" \
    --convert-to fods --outdir "$tmp/$out" "$tmp/lab.csv" >"$tmp/$out.log" 2>&1 &
  office_pid=$!
  local waited=0
  while kill -0 "$office_pid" 2>/dev/null; do
    [ "$waited" -ge 120 ] && fail "Calc did not finish converting within 120 s"
    sleep 1
    waited=$((waited + 1))
  done
  wait "$office_pid"
  office_pid=""
  [ -s "$tmp/$out/lab.fods" ] || fail "Calc made no spreadsheet: $(cat "$tmp/$out.log")"
}

expected="2026-03-29T01:59:59 23.5
2026-03-29T03:00:00 -0.1
2026-10-25T02:30:00 1e-05
2026-10-25T03:00:00 21.4
2026-12-09T14:05:09 -12.25
2026-12-31T23:59:59 3.4028235e+38"

echo "== Calc's default CSV import"
convert default
python3 "$cells" "$tmp/default/lab.fods" "$expected" || fail "Calc's default import"
echo "== with special numbers detected (comma, quote, UTF-8, from line 1, English)"
convert special --infilter="CSV Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true"
python3 "$cells" "$tmp/special/lab.fods" "$expected" || fail "the import with special numbers"
echo "PASS"
