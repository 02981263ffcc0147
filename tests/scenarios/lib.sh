# Sourced by the scenario tests: a fresh machine and package folder per
# scenario, the program run in it, and checks of what it left behind.
# Usage in a scenario: source lib.sh "$program"; then the functions below.
set -euo pipefail
zv_program=$1
zv_work=$(mktemp -d)
trap 'rm -rf "$zv_work"' EXIT
export ZVPATCH_MACHINE=$zv_work/machine
unset ZVPATCH_ANSWERS
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# package NAME: a package folder with the program copied in as NAME.
package() {
  mkdir -p "$zv_work/pkg"
  cp "$zv_program" "$zv_work/pkg/$1"
  zv_name=$1
}

# run ARGS...: runs the package's program from the work folder, with the
# answers in ANSWERS; keeps stdout, stderr and the exit status.
run() {
  local status=0
  (cd "$zv_work" && ZVPATCH_ANSWERS=${ANSWERS:-} "./pkg/$zv_name" "$@" </dev/null \
    >"$zv_work/out" 2>"$zv_work/err") || status=$?
  zv_status=$status
}

expect_status() { [ "$zv_status" -eq "$1" ] || fail "exit status $zv_status, expected $1"; }
# expect_out TEXT: standard output is exactly TEXT (printf escapes allowed).
expect_out() {
  local want
  want=$(printf "$1")
  [ "$(cat "$zv_work/out")" = "$want" ] || fail "stdout was:
$(cat "$zv_work/out")
expected:
$want"
}
# expect_events LINE...: events.log holds exactly these lines, then clears it.
expect_events() {
  local want
  want=$(printf '%s\n' "$@")
  [ "$(cat "$ZVPATCH_MACHINE/events.log" 2>/dev/null)" = "$want" ] || fail "events.log was:
$(cat "$ZVPATCH_MACHINE/events.log" 2>/dev/null)
expected:
$want"
  rm -f "$ZVPATCH_MACHINE/events.log"
}
