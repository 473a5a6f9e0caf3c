# Shared by the tools: run as root, or through sudo; install what is missing;
# configure a build folder once, from a named preset (CMakePresets.json).
# Sourced by a script that has cd'd to the repository's top folder.

# as_root COMMAND...: the command, through sudo where this is not root.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# install_missing [--no-recommends] PACKAGE...: installs, with apt-get, the
# Debian packages that are not installed yet; quiet when all of them are.
install_missing() {
  local options=()
  if [ "${1:-}" = --no-recommends ]; then
    options=(--no-install-recommends)
    shift
  fi
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
}

# configure_once PRESET FOLDER [CMAKE_ARGUMENT...]: configures the preset,
# whose build folder is FOLDER, where that has never been configured whole
# (a configure that failed half-way leaves a cache but no build.ninja).
configure_once() {
  local preset=$1 folder=$2
  shift 2
  [ -f "$folder/build.ninja" ] || cmake --preset "$preset" "$@" >/dev/null
}

# debian_source PACKAGE VERSION: fetches Debian's source package at that
# version, with Debian's patches applied, into ./source. The source comes
# from the system's own archive: a deb-src entry is derived from the deb
# entries that are there, never written by hand.
debian_source() {
  local package=$1 version=$2 sources
  if ! apt-get source --download-only -qq "$package=$version" > /dev/null 2>&1; then
    for sources in /etc/apt/sources.list.d/*.sources; do
      [ -f "$sources" ] || continue
      grep -q '^Types:.*deb-src' "$sources" && continue
      grep -q 'debian' "$sources" || continue
      sed 's/^Types: deb$/Types: deb-src/' "$sources" \
        | as_root tee "/etc/apt/sources.list.d/quillmend-src-$(basename "$sources")" > /dev/null
    done
    if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
        | as_root tee /etc/apt/sources.list.d/quillmend-src.list > /dev/null
    fi
    as_root apt-get update -qq
    apt-get source --download-only -qq "$package=$version" > /dev/null
  fi
  dpkg-source --no-check -x "${package}_${version#*:}.dsc" source > /dev/null
}

# windows_build NAME PACKAGE VERSION OPTION... [-- UNKEYED_OPTION...]: builds
# Debian's source package PACKAGE at VERSION for Windows, with CMake and the
# MinGW toolchain (tools/windows/mingw-w64.cmake), once, into a cache outside
# the repository; prints the installed prefix. A build is kept under a key
# made of the version, the options before -- and the toolchain file; the
# options after -- only tell CMake where the build machine's tools are.
# Where the caller has defined `after_install SOURCE PREFIX`, it runs before
# the build counts as complete; `build_note`, where set, is said with the
# start of a build.
windows_build() {
  local name=$1 package=$2 version=$3
  shift 3
  local keyed=() unkeyed=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do keyed+=("$1"); shift; done
  [ $# -gt 0 ] && shift && unkeyed=("$@")
  local toolchain key cache prefix work
  toolchain=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/windows/mingw-w64.cmake
  key=$(printf '%s\n' "$version" "${keyed[@]}" | cat - "$toolchain" | sha256sum | cut -c1-12)
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/quillmend
  prefix=$cache/$name-${version%%+*}-mingw-$key
  if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    return 0
  fi
  work=$cache/$name-build-$key
  rm -rf "$work" && mkdir -p "$work"
  # The subshell's steps stop it each on their own: errexit does not hold
  # inside a command that || follows.
  (
    cd "$work" || exit 1
    debian_source "$package" "$version" || exit 1
    echo "Building $package $version for Windows into $prefix${build_note:+ $build_note}" >&2
    cmake -S source -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_INSTALL_PREFIX="$prefix" "${keyed[@]}" "${unkeyed[@]}" > configure.log 2>&1 \
      || { tail -40 configure.log >&2; exit 1; }
    cmake --build build --parallel > build.log 2>&1 || { tail -60 build.log >&2; exit 1; }
    cmake --install build > install.log 2>&1 || { tail -20 install.log >&2; exit 1; }
    if declare -F after_install > /dev/null; then after_install source "$prefix" || exit 1; fi
    touch "$prefix/.complete"
  ) || return 1
  rm -rf "$work"
  echo "$prefix"
}
