# The prologue every script sources: the project root, root or sudo for
# installs, which build of the programs this machine runs, its build folder,
# and one way to turn a Unix path into a Windows one.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Runs a command as root: directly when we are root, else through sudo.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "Run as root, or install sudo: $*" >&2
    return 1
  fi
}

# The program is a 32-bit one. Where this machine's kernel runs no 32-bit
# code (Wine's 32-bit loader cannot even start), the same sources are built
# and tested as 64-bit programs under 64-bit Wine, and the 32-bit program is
# still built beside them. VISTORO_ARCH (i686 or x86_64) overrides the choice.
# Call after setup.sh, which installs Wine.
select_arch() {
  if [ -z "${VISTORO_ARCH:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
      VISTORO_ARCH=i686
    else
      VISTORO_ARCH=x86_64
    fi
  fi
  export VISTORO_ARCH
  if [ "$VISTORO_ARCH" = x86_64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    case ":$PATH:" in
      *":$root/scripts/wine64:"*) ;;
      *) export PATH="$root/scripts/wine64:$PATH" ;;
    esac
  fi
}

# The build folder of the programs this machine runs.
build_dir() {
  if [ "${VISTORO_ARCH:-i686}" = x86_64 ]; then
    echo "${BUILD_DIR:-$root/build-x86_64}"
  else
    echo "${BUILD_DIR:-$root/build}"
  fi
}

# Ends the script unless each benchmark program named is built in folder $1.
require_bench_programs() {
  local build=$1 exe
  shift
  for exe in "$@"; do
    [ -f "$build/bench/$exe.exe" ] || { echo "build $build/bench/$exe.exe first" >&2; exit 1; }
  done
}

# A Unix path as Wine's drive Z: shows it (Z: is the Unix root).
winpath() {
  local p
  p=$(realpath -m "$1")
  echo "Z:${p//\//\\}"
}
