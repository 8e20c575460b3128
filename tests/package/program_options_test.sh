#!/usr/bin/env bash
# --help and --version of both programs: exit 0, the texts name what they must, no display or
# network needed, and they answer while another station holds the single-instance lock.
# Usage: program_options_test.sh SOURCE_DIR VERSION PALAVERLY PALAVERLYD  (PALAVERLY may be "-")
set -u
# A program that took the options for a start must reach nobody and meet this test's lock.
source "$(dirname "$0")/../support/private_namespaces.sh"
source_dir=$1
version=$2
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
fail=0
failure() { echo "FAIL: $*"; fail=1; }

# A running station, as far as the lock can tell: this shell holds it for the whole test.
command -v flock >/dev/null || { echo "SKIP: flock is missing"; exit 77; }
# Without /run/user/<uid> the lock lives beside the settings.
mkdir -m 700 -p "$XDG_CONFIG_HOME/Quillmark"
exec {lockfd}>"$XDG_CONFIG_HOME/Quillmark/palaverly.lock"
flock -n "$lockfd" || { echo "FAIL: cannot take the lock"; exit 1; }

checked=0
for program in "$@"; do
    [ "$program" = - ] && continue
    name=$(basename "$program")
    checked=$((checked + 1))
    for option in --help -h; do
        timeout 10 "$program" "$option" >"$tmp/out" 2>"$tmp/err"
        rc=$?
        [ $rc = 0 ] || failure "$name $option exits with $rc"
        [ -s "$tmp/err" ] && failure "$name $option writes to stderr: $(cat "$tmp/err")"
        for text in "Usage: $name [N]" "UDP port 8000 + N" \
            "$XDG_CONFIG_HOME/Quillmark/palaverly.conf" "$XDG_DATA_HOME/palaverly" \
            "status 255" "$name(1)"; do
            grep -qF -- "$text" "$tmp/out" || failure "$name $option does not name '$text'"
        done
    done
    timeout 10 "$program" --version >"$tmp/out" 2>"$tmp/err"
    rc=$?
    [ $rc = 0 ] || failure "$name --version exits with $rc"
    want="$name 060R-003 (Palaverly $version)"
    [ "$(cat "$tmp/out")" = "$want" ] || failure "$name --version gives '$(cat "$tmp/out")', not '$want'"
    # Only the first argument is an option; behind a number it is not, and this start meets
    # the running station and ends with 255 before opening anything.
    timeout 10 "$program" 5 --help </dev/null >"$tmp/out" 2>&1
    rc=$?
    [ $rc = 255 ] || failure "$name 5 --help gives $rc, not the second start's 255"
    [ -s "$tmp/out" ] && failure "$name 5 --help printed: $(cat "$tmp/out")"
    # A closed standard output is an error, not a silent success.
    if [ -w /dev/full ]; then
        "$program" --help >/dev/full 2>/dev/null && failure "$name --help >/dev/full exits with 0"
    fi
done
[ $checked -gt 0 ] || failure "no program to check"

# The help of palaverlyd lists every command the station understands.
daemon=${!#}
commands=$(grep -oE '\{"[a-z-]+", "[A-Z]*", ' "$source_dir/src/headless/CHeadlessStation.cpp" |
    sed 's/{"\([a-z-]*\)".*/\1/' | sort -u)
[ "$(echo "$commands" | wc -l)" -ge 15 ] || failure "commands not found in the sources"
"$daemon" --help >"$tmp/out"
for c in $commands; do
    grep -qE "(^| )$c( [A-Z]+)?[,.]" "$tmp/out" || failure "palaverlyd --help does not list $c"
done
[ -e "$XDG_CONFIG_HOME/Quillmark/palaverly.conf" ] && failure "an option wrote the settings file"
[ $fail = 0 ] && echo "PASS"
exit $fail
