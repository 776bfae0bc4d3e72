# Shared by the scripts that run the `ketra` command as a user does: sourced after setting
# $ketra and $src. Makes $work (removed on exit) and a settings store of its own; check NAME
# STATUS counts a passed or failed case; finish prints the counts and fails when any failed.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KETRA_REGISTRY="$work/registry.reg"
fail=0
pass=0
check() { # name, condition result
  if [[ $2 -eq 0 ]]; then pass=$((pass + 1)); else echo "FAILED: $1"; fail=$((fail + 1)); fi
}
finish() {
  echo "$pass passed, $fail failed"
  [[ $fail -eq 0 ]]
}
