#!/usr/bin/env python3
"""Builds the sockthread-echo example against a staged install of libpalaverly-sockthread.

The library is installed into a temporary prefix (runtime and -dev components), the example
is built out of tree once through find_package(PalaverlySockThread) and once through
pkg-config with a plain compiler command line, and each program talks to a line echo peer on
127.0.0.1. Any fault in the installed headers, library, .pc file or CMake package fails it.
"""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading

LINES = [b"hello", b"palaverly sockthread", "\u3053\u3093\u306b\u3061\u306f".encode("cp932")]
TIMEOUT = 300  # a hung build or program ends the test instead of blocking the run


def run(command, **kwargs):
    print("+", " ".join(command), flush=True)
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            timeout=TIMEOUT, **kwargs)
    text = result.stdout.decode("utf-8", "replace")
    if result.returncode != 0:
        sys.exit(f"failed ({result.returncode}): {' '.join(command)}\n{text}")
    return text


class EchoPeer:
    """Answers every line with the same line, on 127.0.0.1 only, and records what it got."""

    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.received = []
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        connection, _ = self.listener.accept()
        with connection, connection.makefile("rb") as lines:
            for line in lines:
                self.received.append(line)
                connection.sendall(line)

    def close(self):
        self.listener.close()


def library_path(program, env):
    """The file the dynamic loader picks for the library when `program` starts."""
    text = run(["ldd", program], env=env)
    for line in text.splitlines():
        if "libpalaverly-sockthread.so" in line and "=>" in line:
            return line.split("=>")[1].split("(")[0].strip()
    sys.exit(f"{program} does not load libpalaverly-sockthread:\n{text}")


def check_program(name, program, prefix, env):
    loaded = os.path.realpath(library_path(program, env))
    if not loaded.startswith(os.path.realpath(prefix) + os.sep):
        sys.exit(f"{name}: loads {loaded}, not the staged library under {prefix}")
    peer = EchoPeer()
    try:
        arguments = [os.fsencode(program), b"127.0.0.1", b"%d" % peer.port] + LINES
        result = subprocess.run(arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=TIMEOUT, env=env)
        peer.thread.join(TIMEOUT)
    finally:
        peer.close()
    expected = b"".join(b"echo: " + line + b"\n" for line in LINES)
    expected += b"status: %d\n" % len(LINES)
    if result.returncode != 0 or result.stdout != expected:
        sys.exit(f"{name}: exit {result.returncode}\nstdout: {result.stdout!r}\n"
                 f"expected: {expected!r}\nstderr: {result.stderr!r}")
    sent = [line + b"\n" for line in LINES]
    if peer.received != sent:
        sys.exit(f"{name}: the peer received {peer.received!r}, expected {sent!r}")
    print(f"{name}: {len(LINES)} lines echoed", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build", required=True, help="the project's build tree")
    parser.add_argument("--example", required=True, help="examples/sockthread-echo")
    parser.add_argument("--libdir", required=True, help="CMAKE_INSTALL_LIBDIR")
    parser.add_argument("--generator", default="")
    parser.add_argument("--cxx", default="c++")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="palaverly-sockthread-consumer-")
    try:
        prefix = os.path.join(work, "prefix")
        for component in ("sockthread", "sockthread-dev"):
            run([args.cmake, "--install", args.build, "--prefix", prefix,
                 "--component", component])

        # Nothing may leak in from the environment or a system-wide install.
        env = {k: v for k, v in os.environ.items()
               if k not in ("CMAKE_PREFIX_PATH", "PKG_CONFIG_PATH", "LD_LIBRARY_PATH",
                            "CPATH", "CPLUS_INCLUDE_PATH", "LIBRARY_PATH")}

        # 1. CMake: find_package(PalaverlySockThread) from the staged prefix.
        cmake_build = os.path.join(work, "cmake-build")
        configure = [args.cmake, "-S", args.example, "-B", cmake_build,
                     "-DCMAKE_PREFIX_PATH=" + prefix, "-DCMAKE_BUILD_TYPE=Release",
                     "-DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF"]
        if args.generator:
            configure += ["-G", args.generator]
        run(configure, env=env)
        package_dir = os.path.join(prefix, args.libdir, "cmake", "PalaverlySockThread")
        with open(os.path.join(cmake_build, "CMakeCache.txt"), encoding="utf-8") as cache:
            found = [l.split("=", 1)[1].strip() for l in cache
                     if l.startswith("PalaverlySockThread_DIR:")]
        if found != [package_dir]:
            sys.exit(f"find_package used {found}, not the staged {package_dir}")
        run([args.cmake, "--build", cmake_build], env=env)
        check_program("CMake build", os.path.join(cmake_build, "sockthread-echo"), prefix, env)

        # 2. pkg-config and a plain compiler command line.
        pc_env = dict(env, PKG_CONFIG_PATH=os.path.join(prefix, args.libdir, "pkgconfig"))
        pc_prefix = run(["pkg-config", "--variable=prefix", "palaverly-sockthread"],
                        env=pc_env).strip()
        if pc_prefix != prefix:
            sys.exit(f"the .pc file names the prefix {pc_prefix!r}, not {prefix!r}")
        flags = run(["pkg-config", "--cflags", "--libs", "palaverly-sockthread"],
                    env=pc_env).split()
        libdir = run(["pkg-config", "--variable=libdir", "palaverly-sockthread"],
                     env=pc_env).strip()
        program = os.path.join(work, "sockthread-echo-pc")
        sources = [os.path.join(args.example, f) for f in ("main.cpp", "CEchoClient.cpp")]
        run([args.cxx, "-std=c++17", "-Wall", "-Wextra", "-Werror", "-pthread"] + sources +
            flags + ["-o", program], env=env)
        check_program("pkg-config build", program, prefix, dict(env, LD_LIBRARY_PATH=libdir))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
