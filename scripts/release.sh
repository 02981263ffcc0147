#!/usr/bin/env bash
# Builds the release of the checked-out commit into dist/ (or --out DIR):
#   zvpatch-VERSION-win32.zip   zvpatch.exe, the example catalog UPD.MSG, the
#                               demo package, the package authors' guide and
#                               the manual pages as Windows text
#   zvpatch_VERSION_ARCH.deb    the Linux programs and their manual pages,
#                               the guides and the examples
#   SHA256SUMS                  the checksums of both
# VERSION is the CMake project's. Two runs from the same commit give the same
# bytes: every time stamp is the commit's (SOURCE_DATE_EPOCH), the builds
# happen in fresh folders whose paths do not reach the programs, and the
# archives list their members in name order.
#
#   scripts/release.sh [--out DIR] [--check]
#
# --check builds everything twice, in two different folders, and fails
# unless the two sets of artifacts are byte for byte the same.
# Installs what is missing first.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/deps.sh

out=$repo/dist
check=false
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    --check) check=true; shift ;;
    *) echo "usage: $0 [--out DIR] [--check]" >&2; exit 2 ;;
  esac
done

zv_install_packages cmake ninja-build g++ g++-mingw-w64-i686 groff-base python3 git
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022
arch=$(dpkg --print-architecture)

# build DIR: the artifacts of this commit into DIR, built in DIR/build.
build() {
  local dir=$1 work=$1/build version
  mkdir -p "$work"
  quiet cmake --preset release -B "$work/linux"
  quiet cmake --build "$work/linux"
  quiet cmake --preset mingw -B "$work/win32" -DZV_TESTS=OFF
  quiet cmake --build "$work/win32" --target zvpatch
  version=$("$work/linux/zvboot" --version | cut -d' ' -f2)

  # The Windows zip: text files with CR LF line ends.
  local zip=$work/zvpatch-$version-win32 page
  mkdir -p "$zip/DEMO" "$zip/DOCS"
  cp "$work/win32/zvpatch.exe" "$zip/"
  cp examples/catalog/UPD.MSG "$zip/"
  cp -R examples/demo/package/. "$zip/DEMO/"
  crlf >"$zip/README.TXT" <<EOF
zvpatch $version for Windows

zvpatch.exe  the patch installer: a 32-bit program for Windows 95 and later
UPD.MSG      an example message catalog (a package's catalog is named after
             its program: UPD.EXE reads UPD.MSG, UPD.DAT and UPD.RSP)
DEMO\        a demo package for the product Zevra 1.0: copy zvpatch.exe into
             it as DEMO.EXE and run that
DOCS\        the package authors' guide (PACKAGES.TXT) and the manual pages
EOF
  crlf <docs/packages.md >"$zip/DOCS/PACKAGES.TXT"
  for page in "$work"/linux/man/*.1; do
    groff -man -Tascii -P-cbou -rLL=78n "$page" | crlf >"$zip/DOCS/$(basename "$page" .1 | tr a-z- A-Z_).TXT"
  done
  archive_zip "$zip" "$dir/zvpatch-$version-win32.zip"

  # The Debian package: what the install rules put under /usr, manual pages
  # compressed, the guides and the examples as documentation.
  local root=$work/deb doc
  DESTDIR=$root cmake --install "$work/linux" --prefix /usr --strip >/dev/null
  gzip -9n "$root"/usr/share/man/man1/*.1
  doc=$root/usr/share/doc/zvpatch
  mkdir -p "$doc"
  cp README.md docs/packages.md docs/simulator.md "$doc/"
  cp -R examples "$doc/examples"
  find "$doc/examples" -name '.*' -delete  # git's settings
  mkdir -p "$root/DEBIAN"
  {
    echo "Package: zvpatch"
    echo "Version: $version"
    echo "Architecture: $arch"
    echo "Maintainer: zvpatch developers <zvpatch@example.org>"
    echo "Installed-Size: $(du -sk --apparent-size "$root/usr" | cut -f1)"
    echo "Depends: libc6 (>= $(glibc_needed "$root"/usr/bin/*))"
    echo "Section: utils"
    echo "Priority: optional"
    echo "Description: data-driven patch installer, tried on simulated Windows machines"
    echo " zvpatch runs a patch package (definition, response file and catalog) against"
    echo " a simulated Windows machine kept in a directory; zvboot is that machine's"
    echo " next start, zvpatch-diff shows what a run changed, zvpatch-machine makes"
    echo " machines and zvpatch-check checks packages before they ship."
  } >"$root/DEBIAN/control"
  find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  dpkg-deb --root-owner-group -Zxz --build "$root" "$dir/zvpatch_${version}_$arch.deb" >/dev/null

  (cd "$dir" && sha256sum "zvpatch-$version-win32.zip" "zvpatch_${version}_$arch.deb" >SHA256SUMS)
  rm -rf "$work"
}

crlf() { sed 's/$/\r/'; }

# Runs a command, showing its output only when it fails.
quiet() {
  local log
  log=$(mktemp)
  "$@" >"$log" 2>&1 || { cat "$log" >&2; rm -f "$log"; return 1; }
  rm -f "$log"
}

# The oldest C library that has every versioned symbol the programs use.
glibc_needed() {
  objdump -T "$@" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -1
}

# archive_zip DIR ZIP: DIR's files under its own name, in name order, dated
# SOURCE_DATE_EPOCH, with no owner or host details.
archive_zip() {
  python3 - "$1" "$2" <<'EOF'
import os, sys, time, zipfile
top, target = sys.argv[1], sys.argv[2]
stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
base = os.path.dirname(top)
paths = sorted(os.path.join(r, n) for r, _d, names in os.walk(top) for n in names)
with zipfile.ZipFile(target, "w") as z:
    for path in paths:
        info = zipfile.ZipInfo(os.path.relpath(path, base).replace(os.sep, "/"), stamp)
        info.external_attr = 0o644 << 16
        info.create_system = 0  # MS-DOS, as a Windows zip
        with open(path, "rb") as f:
            z.writestr(info, f.read(), zipfile.ZIP_DEFLATED, 9)
EOF
}

first=$(mktemp -d "${TMPDIR:-/tmp}/zvrelease.XXXXXX")
trap 'rm -rf "$first" "${second:-}"' EXIT
build "$first"
if $check; then
  # Another folder of another name: no path of the first may matter.
  second=$(mktemp -d "${TMPDIR:-/tmp}/zvrelease-again.XXXXXX")
  build "$second"
  if ! diff -r "$first" "$second" >/dev/null; then
    echo "release: two builds of the same commit differ:" >&2
    (cd "$first" && cat SHA256SUMS) >&2
    (cd "$second" && cat SHA256SUMS) >&2
    exit 1
  fi
  echo "release: two builds in different folders are the same, byte for byte"
fi
mkdir -p "$out"
rm -f "$out"/zvpatch-*-win32.zip "$out"/zvpatch_*.deb "$out/SHA256SUMS"
cp "$first"/* "$out/"
cat "$out/SHA256SUMS"
