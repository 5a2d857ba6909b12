# Shared by the scripts: installs missing Debian packages and configures a preset.
# Sourced, not run.

root_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Packages every build needs; the scripts add their own.
base_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev
               libgtest-dev libgmock-dev fonts-dejavu-core fonts-liberation)

ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

build_preset() {
  local preset="$1"
  shift
  cmake --preset "$preset" -S "$root_dir" >/dev/null
  cmake --build --preset "$preset" "$@"
}
