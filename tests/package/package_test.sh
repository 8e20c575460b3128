#!/usr/bin/env bash
# Builds the Debian packages from a configured build tree into a scratch folder, runs lintian
# on them (any E: fails), unpacks each one and checks what it holds against the install rules.
# Usage: package_test.sh BUILD_DIR LIBDIR VERSION
set -u
build=$1
libdir=$2
version=$3

for tool in cpack dpkg-deb lintian readelf desktop-file-validate appstreamcli groff; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
failure() { echo "FAIL: $*"; fail=1; }

source "$(dirname "$0")/debs.sh"
build_debs "$build" "$tmp/out"
programs=$(deb_file "$tmp/out" palaverly "$version") || exit 1
library=$(deb_file "$tmp/out" libpalaverly-sockthread1 "$version") || exit 1
dev=$(deb_file "$tmp/out" libpalaverly-sockthread-dev "$version") || exit 1

echo "== lintian"
# With the informational tags: two of the hardening tags are only that.
lintian --display-info --tag-display-limit 0 "$programs" "$library" "$dev" \
    >"$tmp/lintian.log" 2>&1
cat "$tmp/lintian.log"
grep -q '^E: ' "$tmp/lintian.log" && failure "lintian reports errors"
grep -q ' hardening-no-' "$tmp/lintian.log" &&
    failure "a program or library is built without hardening"

# The files a package holds, as paths without the leading "./", directories left out.
contents() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort; }
field() { dpkg-deb -f "$1" "$2"; }

for deb in "$programs" "$library" "$dev"; do
    name=$(field "$deb" Package)
    echo "== $name: $(field "$deb" Depends)"
    contents "$deb"
    dpkg-deb -x "$deb" "$tmp/root" || failure "$name does not unpack"
    for f in copyright changelog.gz; do
        contents "$deb" | grep -qx "usr/share/doc/$name/$f" || failure "$name lacks doc/$f"
    done
    # Every file is root's: a package built as a user must not carry that user's ids.
    dpkg-deb -c "$deb" | awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' ||
        failure "$name holds files not owned by root"
done
root=$tmp/root

echo "== licence"
# Debian's machine-readable form, naming the MIT licence as Expat with the terms of LICENSE.
python3 - "$root/usr/share/doc/$(field "$programs" Package)/copyright" \
    "$(dirname "$0")/../../LICENSE" <<'END' ||
    failure "the copyright file does not carry LICENSE as Expat"
import re, sys
text, mit = (open(path, encoding="utf-8").read() for path in sys.argv[1:3])
header, files, licence = (dict(re.findall(r"^(\S+): ?(.*(?:\n .*)*)", p, re.M))
                          for p in text.split("\n\n") if p.strip())
name, terms = licence["License"].split("\n", 1)
body = "\n".join("" if line == " ." else line[1:] for line in terms.split("\n")) + "\n"
holder = "2026 The Palaverly developers"
sys.exit(not (header.get("Format") ==
              "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
              and (files.get("Files"), files.get("License"), files.get("Copyright"), name)
              == ("*", "Expat", holder, "Expat")
              and "Copyright (c) " + holder in mit and body == mit[mit.index("Permission"):]))
END
grep -q '<project_license>MIT</project_license>' \
    "$root/usr/share/metainfo/palaverly.metainfo.xml" ||
    failure "the metainfo names no MIT project licence"

echo "== programs"
for f in usr/bin/palaverly usr/bin/palaverlyd; do
    [ -x "$root/$f" ] || failure "$f missing or not executable"
done
for f in usr/share/applications/palaverly.desktop etc/xdg/autostart/palaverly.desktop \
    usr/share/icons/hicolor/16x16/apps/palaverly.png usr/share/icons/hicolor/32x32/apps/palaverly.png \
    usr/share/icons/hicolor/64x64/apps/palaverly.png \
    usr/share/icons/hicolor/scalable/apps/palaverly.svg usr/share/metainfo/palaverly.metainfo.xml \
    usr/share/man/man1/palaverly.1.gz usr/share/man/man1/palaverlyd.1.gz; do
    [ -f "$root/$f" ] || failure "$f missing"
done
field "$programs" Depends | grep -q 'libqt6widgets6' || failure "palaverly does not depend on Qt (shlibdeps)"
# What is loaded at run time, which shlibdeps cannot see.
[ "$(field "$programs" Recommends)" = \
    "qt6-wayland, libcanberra0, fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic" ] ||
    failure "palaverly recommends '$(field "$programs" Recommends)'"
[ "$(field "$programs" Suggests)" = gnome-shell-extension-appindicator ] ||
    failure "palaverly suggests '$(field "$programs" Suggests)'"
dpkg-deb -I "$programs" conffiles 2>/dev/null | grep -qx /etc/xdg/autostart/palaverly.desktop ||
    failure "the autostart entry is not a conffile"
"$root/usr/bin/palaverlyd" --version | grep -q "060R-003 (Palaverly $version)" ||
    failure "the packaged palaverlyd does not give its version"
for f in usr/share/applications/palaverly.desktop etc/xdg/autostart/palaverly.desktop; do
    desktop-file-validate "$root/$f" || failure "$f does not validate"
done
appstreamcli validate --no-net "$root/usr/share/metainfo/palaverly.metainfo.xml" >"$tmp/as.log" 2>&1 ||
    { cat "$tmp/as.log"; failure "the metainfo file does not validate"; }
grep -q '<launchable type="desktop-id">palaverly.desktop</launchable>' \
    "$root/usr/share/metainfo/palaverly.metainfo.xml" || failure "metainfo names no launchable"
for page in palaverly palaverlyd; do
    warnings=$(gzip -dc "$root/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || failure "$page.1 renders with warnings: $warnings"
done

echo "== firewall profiles and the user unit"
fw=usr/lib/firewalld/services/palaverly.xml ufw=etc/ufw/applications.d/palaverly
unit=usr/lib/systemd/user/palaverlyd.service
for f in $fw $ufw $unit; do [ -f "$root/$f" ] || failure "$f missing"; done
python3 - "$root/$fw" <<'END' || failure "$fw is no firewalld service of udp 8000"
import sys, xml.etree.ElementTree as ET
service = ET.parse(sys.argv[1]).getroot()
ports = [(p.get("protocol"), p.get("port")) for p in service.iter("port")]
sys.exit(service.tag != "service" or ports != [("udp", "8000")])
END
grep -qx '\[Palaverly\]' "$root/$ufw" && grep -qx 'ports=8000/udp' "$root/$ufw" ||
    failure "$ufw is no ufw profile Palaverly of 8000/udp"
dpkg-deb -I "$programs" conffiles 2>/dev/null | grep -qx "/$ufw" || failure "$ufw is not a conffile"
grep -qx 'ExecStart=/usr/bin/palaverlyd --serve' "$root/$unit" && grep -qx 'Restart=on-failure' \
    "$root/$unit" || failure "$unit does not run palaverlyd --serve, restarted on failure"
if command -v systemd-analyze >/dev/null; then
    # Against the unpacked program; verify warns of a bad line without failing, so any word fails.
    mkdir -m 700 "$tmp/run"
    sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$root/$unit" >"$tmp/run/palaverlyd.service"
    out=$(XDG_RUNTIME_DIR=$tmp/run systemd-analyze --user --man=no verify "$tmp/run/palaverlyd.service" 2>&1)
    [ $? = 0 ] && [ -z "$out" ] || failure "systemd-analyze verify $unit: $out"
else
    echo "note: systemd-analyze is missing, so $unit is not verified"
fi

echo "== library"
lib=$libdir/libpalaverly-sockthread.so
real=$(readlink "$root/usr/$lib.1")
[ -L "$root/usr/$lib.1" ] && [ -f "$root/usr/$libdir/$real" ] ||
    failure "$lib.1 is not a symbolic link to the library"
soname=$(readelf -d "$root/usr/$lib.1" 2>/dev/null | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libpalaverly-sockthread.so.1 ] || failure "SONAME is '$soname'"
dpkg-deb -I "$library" shlibs 2>/dev/null | grep -q "^libpalaverly-sockthread 1 libpalaverly-sockthread1" ||
    failure "the library package has no shlibs file"
dpkg-deb -I "$library" triggers 2>/dev/null | grep -q ldconfig || failure "no ldconfig trigger"
# The trigger runs ldconfig; a postrm would keep the removed package in dpkg's database.
for script in postinst postrm; do
    dpkg-deb -I "$library" $script >/dev/null 2>&1 && failure "the library package has a $script"
done
contents "$library" | grep -q '\.so$' && failure "the library package holds the link-time name"
contents "$library" | grep -q '^usr/include/' && failure "the library package holds headers"

echo "== development files"
[ "$(readlink "$root/usr/$lib")" = libpalaverly-sockthread.so.1 ] ||
    failure "$lib does not point to the SONAME"
contents "$dev" | grep -qx "usr/$lib" || failure "the link-time name is not in the -dev package"
for h in CSockThread.h CClient.h CUser.h CLog.h SockThreadExport.h; do
    [ -f "$root/usr/include/palaverly/$h" ] || failure "header $h missing"
done
field "$dev" Depends | grep -q "libpalaverly-sockthread1 (= $version)" ||
    failure "-dev does not depend on the library of its version"

# Each package must hold exactly what its install component installs, so that files added to
# the install rules later (pkg-config and CMake files) are checked without naming them here.
for pair in "programs:$programs" "sockthread:$library" "sockthread-dev:$dev"; do
    component=${pair%%:*}
    deb=${pair#*:}
    DESTDIR=$tmp/inst-$component cmake --install "$build" --component "$component" \
        --prefix /usr >/dev/null || failure "install of $component"
    (cd "$tmp/inst-$component" && find . ! -type d | sed 's|^\./||' | sort) >"$tmp/want"
    contents "$deb" >"$tmp/have"
    diff -u "$tmp/want" "$tmp/have" >"$tmp/diff" ||
        { cat "$tmp/diff"; failure "$component package differs from its install rules"; }
done
pc=$(cd "$root" && find usr -name 'palaverly-sockthread.pc')
cmakefiles=$(cd "$root" && find usr -path '*/cmake/PalaverlySockThread/*' -type f)
if [ -n "$pc" ]; then
    echo "checking $pc"
    grep -q "^Version: " "$root/$pc" || failure "$pc has no Version"
    # The package installs under /usr, whatever prefix the build tree was configured with.
    grep -n -e /usr/local -e "$build" "$root/$pc" && failure "$pc names paths outside the package"
    grep -q -- "-lpalaverly-sockthread" "$root/$pc" || failure "$pc does not link the library"
    if command -v pkg-config >/dev/null; then
        PKG_CONFIG_PATH=$root/$(dirname "$pc") pkg-config --define-prefix --cflags --libs \
            palaverly-sockthread >"$tmp/pc.out" 2>&1 || { cat "$tmp/pc.out"; failure "pkg-config"; }
    fi
else
    echo "note: no pkg-config file installed yet"
fi
if [ -n "$cmakefiles" ]; then
    echo "checking CMake package files: $cmakefiles"
    mkdir -p "$tmp/consumer"
    cat >"$tmp/consumer/CMakeLists.txt" <<END
cmake_minimum_required(VERSION 3.25)
project(consumer CXX)
find_package(PalaverlySockThread REQUIRED CONFIG PATHS "$root/usr" NO_DEFAULT_PATH)
# Every file the imported targets name must be inside the unpacked package.
get_property(targets DIRECTORY PROPERTY IMPORTED_TARGETS)
if(NOT targets)
    message(FATAL_ERROR "no imported target")
endif()
foreach(t IN LISTS targets)
    get_target_property(dirs \${t} INTERFACE_INCLUDE_DIRECTORIES)
    get_target_property(configs \${t} IMPORTED_CONFIGURATIONS)
    set(files "")
    foreach(c IN LISTS configs)
        get_target_property(f \${t} IMPORTED_LOCATION_\${c})
        list(APPEND files \${f})
    endforeach()
    foreach(f IN LISTS dirs files)
        if(f AND NOT EXISTS "\${f}")
            message(FATAL_ERROR "\${t} names \${f}, which the package does not hold")
        endif()
    endforeach()
endforeach()
END
    cmake -S "$tmp/consumer" -B "$tmp/consumer/build" >"$tmp/consumer.log" 2>&1 ||
        { cat "$tmp/consumer.log"; failure "find_package(PalaverlySockThread) on the package"; }
else
    echo "note: no CMake package files installed yet"
fi

[ $fail = 0 ] && echo "PASS"
exit $fail
