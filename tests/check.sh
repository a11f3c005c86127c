# The checks of the test scripts, sourced by each: `check NAME EXPECTED
# ACTUAL` prints ok or FAILED and counts the failures; a script ends with
# `[ "$failures" -eq 0 ]`.
failures=0
check() {
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}
