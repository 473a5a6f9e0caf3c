# Shared by the test scripts: a failure counted, a skip (CTest's 77), and
# the closing line.
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

skip() {
  echo "SKIP: $*"
  exit 77
}

# finish NAME: "NAME: all checks passed" and 0, or the count of failures and 1.
finish() {
  if [ "$failures" -eq 0 ]; then
    echo "$1: all checks passed"
    exit 0
  fi
  echo "$1: $failures checks failed"
  exit 1
}
