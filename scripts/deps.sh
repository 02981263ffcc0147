# Sourced by the scripts: installs the Debian packages given that are not
# installed yet (apt-get update once, and only when something is missing).
zv_install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# What building and testing on Linux needs.
# groff-base checks that the manual pages render without warnings.
ZV_LINUX_PACKAGES=(cmake ninja-build g++ libgtest-dev ncompress groff-base)
# What the Win32 build and its tests under Wine need.
ZV_WIN32_PACKAGES=(g++-mingw-w64-i686 googletest wine wine32:i386 xvfb xauth python3)
