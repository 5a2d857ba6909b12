# Shared by the scripts: installs missing Debian packages and configures a preset.
# Sourced, not run.

root_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Packages every build of the program needs; the scripts add their own.
base_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev ccache
               fonts-dejavu-core fonts-liberation)

# Every build goes through the compiler cache: sources already compiled in any
# clone or preset of this machine are not compiled again. Paths are taken
# relative to the clone, so two clones share their entries.
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR="$root_dir" CCACHE_NOHASHDIR=1
# The unit tests' framework, the formatter the source check uses, and the
# benchmark library (the test build compiles the benchmarks so they keep up).
test_packages=(libgtest-dev libgmock-dev clang-format libbenchmark-dev)
# Building the Debian packages (dpkg-shlibdeps, file) and checking their menu
# entry, AppStream metadata, manual pages and the packages themselves.
package_packages=(dpkg-dev file desktop-file-utils appstream groff-base lintian)
# Checking the installed package: the manual pages are found, and systemd's own
# check of the recorder's service template (it needs no running systemd).
package_test_packages=(systemd man-db)
# The recorder's service under a real systemd: a minimal Debian made with
# debootstrap, booted in a container, its node exporter read with curl (on a
# free port Python finds).
systemd_test_packages=(debootstrap systemd-container curl python3)
# The recorder against the servers it feeds: InfluxDB, the Prometheus node
# exporter, and what the test reads them with (curl, Python's csv and json).
# The zone database lets the test record in a zone with summer time. promtool
# (in Debian's prometheus) checks the example alerting rules; logrotate rotates
# the recorder's log with the example configuration. Headless Calc opens the
# CSV output as a spreadsheet user does.
server_test_packages=(influxdb prometheus-node-exporter curl python3 tzdata prometheus logrotate
                      libreoffice-calc-nogui)

# Runs a command as root: directly when root already, else through sudo.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}" >/dev/null
}

build_preset() {
  local preset="$1"
  shift
  cmake --preset "$preset" -S "$root_dir" >/dev/null
  cmake --build --preset "$preset" "$@"
}

# ---- The simulated thermometer ------------------------------------------------
# start_simulator <program> <runtime folder> <output file> <name> [options]:
# starts tempolog-sim (<program>) in the background with XDG_RUNTIME_DIR set to
# the runtime folder, its port named <name>, the options after it, and its
# output to the file (/dev/null to drop it); then waits up to
# $simulator_timeout seconds (default 10) for the port's link in
# <runtime folder>/tempolog/ports/ (an empty folder: the programs' own
# /tmp/tempolog-<uid>/ports). Sets sim_pid to the simulator's process id
# and appends it to sim_pids. When the link does not appear, or the simulator
# ends first, it says so on standard error, stops the simulator and fails.
start_simulator() {
  local program="$1" runtime="$2" out="$3" name="$4" i
  shift 4
  local link="${runtime:-/tmp/tempolog-$(id -u)}${runtime:+/tempolog}/ports/$name"
  XDG_RUNTIME_DIR="$runtime" "$program" --name "$name" "$@" >"$out" 2>&1 &
  sim_pid=$!
  sim_pids+=("$sim_pid")
  for ((i = 0; i < ${simulator_timeout:-10} * 10; ++i)); do
    [ -L "$link" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$sim_pid" 2>/dev/null; then
    echo "tempolog-sim: no link $link after ${simulator_timeout:-10} s; stopped it" >&2
    kill "$sim_pid" 2>/dev/null || true
  else
    echo "tempolog-sim: ended before it made the link $link" >&2
  fi
  wait "$sim_pid" 2>/dev/null || true
  [ ! -f "$out" ] || { echo "--- its output ($out):" >&2; tail -n 20 "$out" >&2; }
  return 1
}

# ---- Windows programs under Wine ---------------------------------------------
# Packages the Windows build and its runs under Wine need.
wine_packages=(cmake ninja-build ccache g++-mingw-w64-x86-64-posix wine64 fonts-wine xvfb xauth)

# Sets up the environment for the Windows build (the Qt for MinGW-w64 of
# scripts/qt-windows) and for running its programs under Wine: a prefix of its
# own under build/ (made by start_wine), no Wine diagnostics, no Mono or Gecko
# installers, and WINEPATH naming Qt's and the compiler's DLL folders (Windows
# paths; Wine sees the root as Z:), as the installed folder has them beside
# the programs.
wine_environment() {
  TEMPOLOG_QT_WINDOWS="$("$root_dir/scripts/qt-windows")"
  export TEMPOLOG_QT_WINDOWS
  export WINEPREFIX="$root_dir/build/windows/wineprefix" WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  local dll_dirs=("$TEMPOLOG_QT_WINDOWS/bin") dll d p
  for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    for d in "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")")" \
             /usr/x86_64-w64-mingw32/lib; do
      if [ -f "$d/$dll" ]; then dll_dirs+=("$d"); break; fi
    done
  done
  WINEPATH=""
  for d in "${dll_dirs[@]}"; do
    p="$(realpath "$d")"
    WINEPATH+="${WINEPATH:+;}Z:${p//\//\\}"
  done
  export WINEPATH
}

# start_wine <log>: one Wine server for all the programs run after it instead
# of one started and stopped for each (stop it with `wineserver -k`); the
# prefix is made on the first run.
start_wine() {
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wineserver -p >"$1" 2>&1
  # The first program makes or updates the prefix and starts its service
  # control manager; "wineboot -i" would start a second one.
  /usr/lib/wine/wine64 cmd /c exit >>"$1" 2>&1 || { cat "$1" >&2; return 1; }
}

# ---- Fuzzing ----------------------------------------------------------------
# The fuzz targets build with clang and its libFuzzer runtime (preset fuzz).
fuzz_packages=(clang libclang-rt-dev)

# run_fuzzers <work corpus folder name> <seconds per target> [runs per target]
# Builds the fuzz preset, then runs every target of tests/fuzz for at most the
# given seconds (and runs) on a copy of its seed corpus in build/fuzz/<name>/;
# the committed corpus is only read. Logs and crashing inputs go to
# build/fuzz/<name>/logs and build/fuzz/<name>/findings. Prints one line per
# target (executions, coverage) and fails when any target found a fault.
run_fuzzers() {
  local work="$root_dir/build/fuzz/$1" seconds="$2" runs="${3:--1}"
  build_preset fuzz --target fuzzers
  mkdir -p "$work/logs" "$work/findings"
  # One-time allocations of the system's font and window libraries are no leaks.
  export LSAN_OPTIONS="suppressions=$root_dir/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  local failed=() source name log corpus
  for source in "$root_dir"/tests/fuzz/*_fuzz.cpp; do
    name="$(basename "$source" _fuzz.cpp)"
    log="$work/logs/$name.log"
    corpus="$work/corpus/$name"
    mkdir -p "$corpus"
    cp -rn "$root_dir/tests/fuzz/corpus/$name/." "$corpus/"
    # A target's own flags, if any: tests/fuzz/<name>.flags, "#" starts a comment.
    local flags=()
    [ -f "$root_dir/tests/fuzz/$name.flags" ] &&
      read -r -a flags <<<"$(grep -v '^#' "$root_dir/tests/fuzz/$name.flags" | tr '\n' ' ')"
    if ! "$root_dir/build/fuzz/tests/fuzz/${name}_fuzz" "$corpus" \
        -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/findings/$name-" "${flags[@]}" \
        >"$log" 2>&1; then
      failed+=("$name")
    fi
    # The last status line holds the coverage; the final stats the executions.
    awk -v name="$name" '
      / cov: / { for (i = 1; i <= NF; ++i) { if ($i == "cov:") cov = $(i + 1); if ($i == "ft:") ft = $(i + 1); if ($i == "corp:") corp = $(i + 1) } }
      /^stat::number_of_executed_units:/ { runs = $2 }
      /^stat::average_exec_per_sec:/ { rate = $2 }
      END { printf "%-18s %10s runs %8s/s  cov: %-6s ft: %-6s corpus: %s\n", name, runs, rate, cov, ft, corp }
    ' "$log"
  done
  if [ ${#failed[@]} -ne 0 ]; then
    for name in "${failed[@]}"; do
      echo "== fuzz target $name failed; input kept in $work/findings/ (log: $work/logs/$name.log)"
      grep -A30 -m1 -E 'ERROR: |property broken|runtime error' "$work/logs/$name.log" || tail -30 "$work/logs/$name.log"
    done
    return 1
  fi
}

# ---- Wine's desktop for the window's tests ---------------------------------------
# Two settings of the booted prefix in WINEPREFIX, for a desktop like the
# Windows machines the window is made for:
# - The window's display box is filled with the desktop colour and its status
#   texts are light, made for a dark desktop; Wine's own desktop colour is a
#   mid blue (37 111 149): the prefix gets a black one.
# - The virtual display has no window manager. Wine's X11 driver leaves a
#   window to the window manager by default and, as one closes, waits for the
#   manager's word, 2 s in vain, with the closing program's thread held (a
#   file dialog's close then costs the recording two readings). The prefix
#   gets Wine's unmanaged windows, which Wine frames and closes itself, as
#   Windows does.
# The system reads its colours as a session starts, so a running Wine server
# is stopped: the next Wine program starts a new one.
wine_test_desktop() {
  local colors='HKCU\Control Panel\Colors' x11='HKCU\Software\Wine\X11 Driver'
  if /usr/lib/wine/wine64 reg query "$colors" /v Background 2>/dev/null | grep -q 'REG_SZ *0 0 0' &&
     /usr/lib/wine/wine64 reg query "$x11" /v Managed 2>/dev/null | grep -q 'REG_SZ *N'; then
    return 0
  fi
  /usr/lib/wine/wine64 reg add "$colors" /v Background /t REG_SZ /d '0 0 0' /f >/dev/null 2>&1
  /usr/lib/wine/wine64 reg add "$x11" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
}
