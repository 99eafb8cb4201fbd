# Sourced by the other scripts: where the checkout and the build trees are,
# their usage texts, and a check that the build folder can be written.
# BUILD_DIR (default: build/ in the checkout) is the Release tree; the
# sanitizer, fuzz and ARM64 trees sit beside it as BUILD_DIR-sanitize,
# BUILD_DIR-fuzz and BUILD_DIR-arm64.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(realpath -m "${BUILD_DIR:-$root/build}")
sanitize_dir=$build_dir-sanitize
fuzz_dir=$build_dir-fuzz
arm64_dir=$build_dir-arm64
script_name="scripts/$(basename "$0")"

# program_version: the version core/Version.h sets (scripts/version prints it).
program_version() {
  "$root/scripts/version"
}

# build_sanitized [CMAKE ARGS]: the AddressSanitizer and UndefinedBehaviorSanitizer
# tree in BUILD_DIR-sanitize (or BUILD_DIR when set by the caller), as the
# sanitized stage, the soak run and the fuzz targets build it.
build_sanitized() {
  BUILD_DIR=${BUILD_DIR_SANITIZED:-$sanitize_dir} BUILD_TYPE=RelWithDebInfo "$root/scripts/build" \
    -DVELDMARROW_SANITIZE=ON -DVELDMARROW_WERROR=ON -DVELDMARROW_BENCH=OFF "$@"
}

# usage TEXT "$@": prints TEXT and exits 0 on -h or --help.
usage() {
  local text=$1
  shift
  case "${1:-}" in -h | --help) printf '%s\n' "$text"; exit 0 ;; esac
}

# reject ARG: one line saying what was not understood, status 2.
reject() {
  echo "$script_name: unknown argument '$1' (see $script_name --help)" >&2
  exit 2
}

# writable DIR: makes DIR or says in one line what to do instead.
writable() {
  if ! mkdir -p "$1" 2>/dev/null || [[ ! -w "$1" ]]; then
    echo "$script_name: cannot write the build folder $1; set BUILD_DIR to a writable folder, e.g. BUILD_DIR=\$HOME/veldmarrow-build $script_name" >&2
    exit 1
  fi
}

# sdl_default_is_compat: true when the system's own SDL 1.2 is the SDL2-based
# library (Debian 13 and later), not the classic 1.2.15.
sdl_default_is_compat() {
  [[ $(dpkg-query -W -f='${source:Package}' "libsdl1.2debian:$(dpkg --print-architecture)" 2>/dev/null) == sdl12-compat ]]
}

# use_sdl: VELDMARROW_SDL chooses the SDL 1.2 for whatever runs next: classic
# or compat (the SDL2-based one); unset keeps the system's own. Where the
# SDL2-based library sits beside the classic one, compat puts it in front.
use_sdl() {
  local dir
  case "${VELDMARROW_SDL:-}" in
    "") ;;
    classic)
      ! sdl_default_is_compat || { echo "$script_name: this system has only the SDL2-based SDL 1.2, not the classic library" >&2; exit 1; }
      ;;
    compat)
      sdl_default_is_compat && return 0
      dir=$(ls -d /usr/lib/*/sdl12-compat 2>/dev/null | head -n 1)
      [[ -n $dir ]] || { echo "$script_name: the SDL2-based SDL 1.2 is not installed (apt-get install libsdl1.2-compat)" >&2; exit 1; }
      export LD_LIBRARY_PATH=$dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
      ;;
    *) echo "$script_name: VELDMARROW_SDL must be classic or compat, not '$VELDMARROW_SDL'" >&2; exit 2 ;;
  esac
}

# installed PACKAGE: whether the Debian package (name or name:arch) is
# installed. Whole outputs are captured before matching: under pipefail an
# early-exiting grep -q would fail the pipeline by closing it on the writer.
installed() { [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == *"install ok installed"* ]]; }

# install_missing PACKAGE...: installs with apt-get (through sudo when not
# root) those of the Debian packages (name or name:arch) that are missing.
install_missing() {
  local missing=() p
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  echo "Installing: ${missing[*]}"
  as_root_or_say "install as root: apt-get install ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 -q update
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 -q install -y --no-install-recommends "${missing[@]}"
}

# as_root_or_say WHAT: sets sudo=() when root, sudo=(sudo) when sudo is
# there, and otherwise says WHAT to do instead in one line, status 1.
as_root_or_say() {
  sudo=()
  [[ $(id -u) -eq 0 ]] && return 0
  command -v sudo >/dev/null || { echo "$script_name: not root and no sudo: $1" >&2; exit 1; }
  sudo=(sudo)
}

# The cross compiler, the arm64 run-time libraries of SDL 1.2 and SDL_image,
# and the arm64 development packages that can sit beside the native ones
# (Debian's SDL 1.2 development packages cannot: the build uses the native
# headers, see cmake/arm64-linux-gnu.cmake). apt keeps the native copies at
# the same version.
arm64_packages=(g++-aarch64-linux-gnu libsdl1.2-dev libsdl-image1.2-dev
                libsdl1.2debian:arm64 libsdl-image1.2:arm64 liblua5.1-0-dev:arm64 libgl-dev:arm64
                libglu1-mesa-dev:arm64 libmimalloc-dev:arm64 libsqlite3-dev:arm64 zlib1g-dev:arm64
                libenet-dev:arm64)

# ensure_arm64_architecture: adds arm64 to dpkg's architectures (multiarch).
ensure_arm64_architecture() {
  if [[ $'\n'$(dpkg --print-foreign-architectures)$'\n' != *$'\n'arm64$'\n'* ]]; then
    echo "Adding the arm64 architecture to dpkg (multiarch)"
    as_root_or_say "install as root: dpkg --add-architecture arm64, then run $script_name again"
    "${sudo[@]}" dpkg --add-architecture arm64
  fi
}
