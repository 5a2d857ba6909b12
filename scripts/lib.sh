# Shared by the scripts: installs missing Debian packages and configures a preset.
# Sourced, not run.

root_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Packages every build of the program needs; the scripts add their own.
base_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev
               fonts-dejavu-core fonts-liberation)
# The unit tests' framework.
test_packages=(libgtest-dev libgmock-dev)
# Building the Debian package (dpkg-shlibdeps, file) and checking its menu
# entry and AppStream metadata.
package_packages=(dpkg-dev file desktop-file-utils appstream)

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
