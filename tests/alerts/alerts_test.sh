#!/usr/bin/env bash
# The example alerting rules shipped with tempolog-cli, checked by Debian's
# promtool: the file is valid, and the cases of tempolog-alerts-test.yml (a
# range crossed, an instrument gone quiet, a recorder gone) fire as they say.
# Exits 77 (skipped) when promtool is not installed, unless
# TEMPOLOG_REQUIRE_SERVERS is set (scripts/test installs it and sets it).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if ! command -v promtool >/dev/null; then
  if [ -n "${TEMPOLOG_REQUIRE_SERVERS:-}" ]; then
    echo "promtool is not installed" >&2
    exit 1
  fi
  echo "skipped: promtool is not installed (scripts/test installs it)"
  exit 77
fi
promtool check rules "$here/../../packaging/tempolog-alerts.yml"
promtool test rules "$here/tempolog-alerts-test.yml"
