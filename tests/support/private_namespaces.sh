# Sourced by the test scripts that start real stations. Runs the calling script again in
# network and mount namespaces of its own: nothing it starts reaches a network, and /run/user
# becomes a private tmpfs, so a real station of the user and its lock are never met. Where no
# namespace can be had the test is skipped (77).
if [ "${PALAVERLY_IN_NETNS:-}" != 1 ]; then
    if unshare -n -m true 2>/dev/null; then
        PALAVERLY_IN_NETNS=1 exec unshare -n -m "$0" "$@"
    fi
    echo "SKIP: no network and mount namespace available"
    exit 77
fi
ip link set lo up 2>/dev/null || true
if [ -d /run/user ]; then mount -t tmpfs -o mode=0755 tmpfs /run/user || exit 1; fi
