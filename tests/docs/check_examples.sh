#!/usr/bin/env bash
# Runs the examples of a document, so that what the docs show is what the
# programs do:
#   check_examples.sh DOC.md BUILD_DIR       run every example
#   check_examples.sh --extract DIR DOC.md   only write its scenario cases
#                                            into DIR (for the Wine run)
#
# An example starts at a line `<!-- example: NAME -->`. Each fenced block
# after it whose info string ends in ` file=PATH` (PATH may hold blanks) is a
# file of the example:
#   package/..., machine/..., args, answers, stamps, boot, expect/...
# make a scenario case (tests/scenarios/cases/README.md), run by
# run_cases.py with the programs of BUILD_DIR; a package without a
# catalog gets examples/catalog/UPD.MSG.
#   script.sh with expect/script-output
# is a shell session as typed at the top of the source tree once the
# programs are built: it runs with bash -e in an empty folder that has
# build/release (BUILD_DIR) and examples/ of the source tree, and its
# standard output and error together must equal expect/script-output.
# Staged files may be shown with real digits (ZVa01234): they are compared
# as ZVaNNNNN. BUILD_DIR holds zvpatch, zvboot and zvpatch-diff.
set -euo pipefail
usage() {
  echo "usage: $0 DOC.md BUILD_DIR | $0 --extract DIR DOC.md" >&2
  exit 2
}
[ $# -eq 2 ] || [ $# -eq 3 ] || usage
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ "$1" = --extract ]; then
  [ $# -eq 3 ] || usage
  mkdir -p "$2"
  cases=$(cd "$2" && pwd)
  doc=$3
  build=""
else
  [ $# -eq 2 ] || usage
  doc=$1
  build=$(cd "$2" && pwd)
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/zvdoc.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Extract the examples into $work/NAME/.
awk -v out="$work" '
  /^<!-- example: [A-Za-z0-9_-]+ -->$/ { name = $3; system("mkdir -p \"" out "/" name "\""); next }
  /^```/ {
    if (!inside) {
      inside = 1; path = ""
      # The path is the rest of the line: it may hold blanks.
      at = index($0, " file=")
      if (at > 0) path = substr($0, at + 6)
      if (path != "" && name == "") { print "file= block before any example" > "/dev/stderr"; exit 1 }
      if (path != "") {
        path = out "/" name "/" path
        system("mkdir -p \"$(dirname \"" path "\")\"")
        printf "" > path
      }
    } else {
      inside = 0
      if (path != "") close(path)
      path = ""
    }
    next
  }
  inside && path != "" { print > path }
' "$doc"

staged_names() { sed -E 's/(Z[VTB][a-z])[0-9]{5}/\1NNNNN/g' "$1"; }

# A scenario example made ready for the runner (which compares staged
# names as ZVaNNNNN itself): the catalog.
prepare_case() {
  local example=$1
  if [ -d "$example/package" ] &&
    [ -z "$(find "$example/package" -maxdepth 1 -iname 'UPD.MSG' -print -quit)" ]; then
    cp "$repo/examples/catalog/UPD.MSG" "$example/package/UPD.MSG"
  fi
}

if [ -z "$build" ]; then
  for example in "$work"/*/; do
    example=${example%/}
    [ -f "$example/script.sh" ] && continue
    prepare_case "$example"
    rm -rf "${cases:?}/$(basename "$example")"
    cp -R "$example" "$cases/"
  done
  exit 0
fi

count=0
failed=0
for example in "$work"/*/; do
  example=${example%/}
  name=$(basename "$example")
  count=$((count + 1))
  if [ -f "$example/script.sh" ]; then
    run=$work/run-$name
    mkdir -p "$run/build"
    ln -s "$build" "$run/build/release"
    ln -s "$repo/examples" "$run/examples"
    status=0
    # ls and sort order as in the docs, whatever the locale.
    (cd "$run" && LC_ALL=C bash -e "$example/script.sh") >"$work/$name.output" 2>&1 ||
      status=$?
    if [ $status -ne 0 ]; then
      echo "example $name: the script failed (status $status)" >&2
      cat "$work/$name.output" >&2
      failed=$((failed + 1))
    elif ! diff -u --label expected --label actual <(staged_names "$example/expect/script-output") \
      <(staged_names "$work/$name.output") >&2; then
      echo "example $name: the script's output differs" >&2
      failed=$((failed + 1))
    else
      echo "example $name: passed"
    fi
    continue
  fi
  prepare_case "$example"
  if ! "$repo/tests/scenarios/run_cases.py" --build "$build" "$example" >/dev/null; then
    echo "example $name: failed (above)" >&2
    failed=$((failed + 1))
  else
    echo "example $name: passed"
  fi
done
[ $count -gt 0 ] || { echo "no examples in $doc" >&2; exit 1; }
echo "$count examples, $failed failed"
[ $failed -eq 0 ]
