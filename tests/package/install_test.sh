#!/usr/bin/env bash
# Installs the three Debian packages as a user does (apt-get install ./x.deb) into a throwaway
# copy of this system: an overlay of / in a mount namespace of its own, entered with chroot, in
# a network namespace where only loopback is up. There the programs run, one palaverlyd rolls
# call on loopback, and apt-get remove must leave nothing behind but the conffiles. Nothing is
# installed on this machine and apt-get may not download: install-deps.sh has put everything
# the packages depend on and recommend here already.
# Usage: install_test.sh BUILD_DIR VERSION
set -u
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root"; exit 77; }
for tool in cpack apt-get dpkg-query chroot mount umount mountpoint unshare ip; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
source "$(dirname "$0")/../support/private_namespaces.sh"
source "$(dirname "$0")/debs.sh"
build=$1
version=$2
packages=(palaverly libpalaverly-sockthread1 libpalaverly-sockthread-dev)

tmp=$(mktemp -d)
layer=$tmp/layer
station_pid=
cleanup() {
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null
    # Lazily, with everything bound below it; rm then stays on the scratch folder's file system.
    mountpoint -q "$layer" && umount -R -l "$layer"
    rm -rf --one-file-system "$tmp"
}
trap cleanup EXIT
fail=0
failure() { echo "FAIL: $*"; fail=1; }

build_debs "$build" "$tmp/out"

# The upper layer lives on a tmpfs: an overlay cannot write into the file system it covers.
mkdir "$layer"
mount -t tmpfs -o mode=0755,size=1G tmpfs "$layer" || { echo "SKIP: no tmpfs"; exit 77; }
mkdir "$layer/upper" "$layer/work" "$layer/root"
root=$layer/root
mount -t overlay overlay -o "lowerdir=/,upperdir=$layer/upper,workdir=$layer/work" "$root" ||
    { echo "SKIP: no overlay file system"; exit 77; }
mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" &&
    mount -t sysfs sysfs "$root/sys" && mount -t tmpfs -o mode=1777 tmpfs "$root/tmp" ||
    { echo "FAIL: cannot prepare the throwaway root"; exit 1; }
# World-readable, so apt's unprivileged user can read the files as it does a user's.
mkdir -m 755 "$root/tmp/debs"
debs=()
for p in "${packages[@]}"; do
    deb=$(deb_file "$tmp/out" "$p" "$version") || exit 1
    install -m 644 "$deb" "$root/tmp/debs/"
    debs+=("/tmp/debs/$(basename "$deb")")
done
inside() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp/home \
        LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}
status() { inside dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null; }
for p in "${packages[@]}"; do
    case $(status "$p") in
    '' | not-installed) ;;
    *) echo "SKIP: $p is installed on this machine already"; exit 77 ;;
    esac
done

echo "== apt-get install"
# apt-get's --no-download refuses packages named by path, so a dry run first says whether
# anything else would be installed, that is downloaded; there is no network to do it anyway.
inside apt-get install -s "${debs[@]}" >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log"; exit 1; }
others=$(awk '$1 == "Inst" { print $2 }' "$tmp/apt.log" |
    grep -vxF -f <(printf '%s\n' "${packages[@]}"))
[ -z "$others" ] || { echo "FAIL: apt-get would download" $others "(run install-deps.sh)"; exit 1; }
inside apt-get install -y "${debs[@]}" >"$tmp/apt.log" 2>&1 ||
    { cat "$tmp/apt.log"; echo "FAIL: apt-get install"; exit 1; }
grep -q '^0 upgraded, 3 newly installed, 0 to remove' "$tmp/apt.log" ||
    { cat "$tmp/apt.log"; failure "apt-get did more than install the three packages"; }
for p in "${packages[@]}"; do
    [ "$(status "$p")" = installed ] || failure "$p is $(status "$p")"
done
# What each package put down, before it is removed: files, and folders that were not there.
for p in "${packages[@]}"; do inside dpkg-query -L "$p"; done | sort -u >"$tmp/owned"
inside dpkg-query -W -f='${Conffiles}\n' "${packages[@]}" | awk 'NF { print $1 }' |
    sort >"$tmp/conffiles"
for p in "${packages[@]}"; do
    inside dpkg-query -W -f='${Conffiles}' "$p" | grep -q . && echo "$p"
done >"$tmp/with-conffiles"
[ -s "$tmp/conffiles" ] || failure "no conffiles recorded"

echo "== the installed programs"
inside palaverly --version | grep -q "(Palaverly $version)" || failure "palaverly --version"
inside palaverlyd --version | grep -q "(Palaverly $version)" || failure "palaverlyd --version"
[ "$(inside man -w palaverly)" = /usr/share/man/man1/palaverly.1.gz ] ||
    failure "man -w palaverly: $(inside man -w palaverly 2>&1)"

# A station whose roll call goes to 127.0.0.1 only hears it, answers it and lists itself.
mkdir -p "$root/tmp/home/.config/Quillmark"
printf 'HandleName=Installed\nBroadcastAddresses=127.0.0.1\n' \
    >"$root/tmp/home/.config/Quillmark/palaverly.conf"
coproc station { exec chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/tmp/home \
    LANG=C.UTF-8 palaverlyd 9 2>&1; }
station_pid=$station_PID
# The timeout only bounds a failing run.
wait_line() {
    local line
    while IFS= read -r -t 30 line <&"${station[0]}"; do
        echo "palaverlyd: $line"
        [[ $line =~ $1 ]] && return 0
    done
    return 1
}
if ! wait_line '^READY$'; then
    failure "the installed palaverlyd did not start"
elif ! wait_line $'^MEMBERS\t1$'; then
    failure "the roll call on loopback did not come back"
else
    echo quit >&"${station[1]}"
    wait "$station_pid"
    rc=$?
    station_pid=
    [ $rc = 0 ] || failure "palaverlyd ended with $rc"
    grep -qx 'HandleName=Installed' "$root/tmp/home/.config/Quillmark/palaverly.conf" ||
        failure "palaverlyd did not save on quit"
fi

echo "== apt-get remove"
inside apt-get remove -y "${packages[@]}" >"$tmp/apt.log" 2>&1 ||
    { cat "$tmp/apt.log"; failure "apt-get remove"; }
# Only a package with conffiles stays known to dpkg; one without is forgotten at once, unless
# a postrm script of its own asks to be run at the purge.
for p in "${packages[@]}"; do
    want=not-installed
    grep -qx "$p" "$tmp/with-conffiles" && want=config-files
    got=$(status "$p")
    [ "${got:-not-installed}" = $want ] ||
        failure "$p is ${got:-gone} after apt-get remove, not $want"
done
# Left behind: an owned file that is no conffile, or an owned folder that this system lacks
# and that holds no conffile.
while IFS= read -r path; do
    [ -e "$root$path" ] || [ -L "$root$path" ] || continue
    grep -qxF -- "$path" "$tmp/conffiles" && continue
    if [ -d "$root$path" ] && [ ! -L "$root$path" ]; then
        [ -d "$path" ] || grep -q "^$path/" "$tmp/conffiles" && continue
    fi
    failure "left behind: $path"
done <"$tmp/owned"
# Nor anything the maintainer scripts made or took away (a removed file of the lower layer is
# a character device 0/0 in the upper one), outside the package system's own state.
(cd "$layer/upper" && find . -mindepth 1 ! -type d | sed 's|^\.||') |
    grep -v -E '^/(var/(lib/(dpkg|apt)|cache|log)/|etc/ld\.so\.cache$)' |
    while IFS= read -r path; do
    if [ -c "$layer/upper$path" ]; then
        echo "$path (removed)"
    elif [ ! -e "$path" ] && ! grep -qxF -- "$path" "$tmp/conffiles"; then
        echo "$path"
    fi
done >"$tmp/made"
[ -s "$tmp/made" ] && failure "left behind by the maintainer scripts: $(tr '\n' ' ' <"$tmp/made")"

[ $fail = 0 ] && echo "PASS"
exit $fail
