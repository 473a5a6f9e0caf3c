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
