# Sourced by the package tests: the Debian packages of a configured build tree.

# build_debs BUILD_DIR OUT_DIR: cpack takes what the build tree has built and never writes
# outside -B (CPACK_SET_DESTDIR). Ends the test when it fails, with its log.
build_debs() {
    cpack --config "$1/CPackConfig.cmake" -B "$2" >"$2.log" 2>&1 && return
    cat "$2.log"
    echo "FAIL: cpack"
    exit 1
}

# deb_file OUT_DIR PACKAGE VERSION: the package's file; fails, naming what is there, if none.
deb_file() {
    ls "$1/$2_$3"_*.deb 2>/dev/null && return
    echo "FAIL: no $2 package among: $(ls "$1" | tr '\n' ' ')" >&2
    return 1
}
