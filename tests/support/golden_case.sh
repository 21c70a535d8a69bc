# Shell helpers for scripts that run the golden cases (tests/golden/README.md).
# Source it; it defines functions only.

# What a run of a case prints: "result N" and "error TEXT" lines, from
# NAME.expect, else the record count less one and no error.
golden_expected_output() { # golden_dir case records
  local result=$(($3 - 1)) error=""
  if [[ -f $1/$2.expect ]]; then
    result=$(sed -n 's/^result //p' "$1/$2.expect")
    error=$(sed -n 's/^error //p' "$1/$2.expect" | tr -d '\r')
  fi
  printf 'result %s\nerror %s' "$result" "$error"
}

# Counted outcomes: $passes and $failures.
passes=0
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
pass() {
  echo "ok   $*"
  passes=$((passes + 1))
}
