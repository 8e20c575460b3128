#!/bin/sh
# Runs a test program with a hosts file of its own and no way off the machine: in a private
# network namespace (loopback only) and a private mount namespace, where HOSTS and a
# files-only name-service configuration are mounted over the system's.
# Usage: RunWithTestHosts.sh HOSTS PROGRAM [ARGUMENTS...]
# Exits 77 (skipped) when the namespaces cannot be made.
set -eu
hosts=$(realpath "$1")
shift

if [ -z "${PALAVERLY_TEST_HOSTS:-}" ]; then
    as_user=""
    if [ "$(id -u)" -ne 0 ]; then
        as_user="--user --map-root-user"
    fi
    # shellcheck disable=SC2086 # as_user is meant to split
    if ! unshare $as_user --net --mount true 2>/dev/null; then
        echo "network and mount namespaces are not available here: skipped"
        exit 77
    fi
    # shellcheck disable=SC2086
    PALAVERLY_TEST_HOSTS="$hosts" exec unshare $as_user --net --mount --propagation private \
        sh "$0" "$hosts" "$@"
fi

ip link set lo up
work=$(mktemp -d)
printf 'hosts: files\n' >"$work/nsswitch.conf"
printf 'nameserver 127.0.0.1\n' >"$work/resolv.conf"
mount --bind "$hosts" /etc/hosts
mount --bind "$work/nsswitch.conf" /etc/nsswitch.conf
# Belt and braces: no name server either, should anything still ask one.
mount --bind "$work/resolv.conf" /etc/resolv.conf 2>/dev/null || true
status=0
"$@" || status=$?
umount /etc/resolv.conf 2>/dev/null || true
umount /etc/nsswitch.conf /etc/hosts
rm -rf "$work"
exit "$status"
