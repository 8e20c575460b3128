#!/usr/bin/python3
"""Drives the desktop program the way a screen reader user does, through the accessibility
bus only. Runs inside a private session bus (dbus-run-session) on a host with a display:
starts the accessibility bus and the program, finds the roster row whose handle is
--peer-handle, marks it by selecting it, types --text into the message edit as key events
and inserts --append after it through the editable-text interface, and presses the send
button, all found by their accessible names. Prints READY, then SENT; "quit" on stdin
ends the program, whose exit code it prints as EXIT <code>. Exit code 77: a component is
missing."""

import argparse
import os
import shutil
import subprocess
import sys
import time

LAUNCHER_PATHS = ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")


START = time.monotonic()


def progress(what):
    # On stderr, so that a run that stalls tells where.
    print(f"{time.monotonic() - START:6.2f} {what}", file=sys.stderr, flush=True)


def skip(why):
    print(f"SKIP: {why}", flush=True)
    sys.exit(77)


def name_owned(name):
    out = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                          "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                          f"string:{name}"], capture_output=True, text=True, timeout=10)
    return "boolean true" in out.stdout


def wait_for(what, predicate, timeout):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise SystemExit(f"timed out waiting for {what}")
        time.sleep(0.1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--desktop", required=True)
    parser.add_argument("--port", default="43")
    parser.add_argument("--peer-handle", required=True)
    parser.add_argument("--text", required=True, help="typed as keys (ASCII)")
    parser.add_argument("--append", default="", help="then inserted as text (any script)")
    args = parser.parse_args()
    launcher = next((p for p in LAUNCHER_PATHS if os.path.exists(p)), None)
    if not launcher:
        skip("at-spi-bus-launcher missing")
    if not shutil.which("dbus-send"):
        skip("dbus-send missing")
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        skip("no session bus")

    bus = subprocess.Popen([launcher, "--launch-immediately"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    program = None
    try:
        wait_for("the accessibility bus", lambda: name_owned("org.a11y.Bus"), 20)
        progress("accessibility bus up")
        try:
            import pyatspi  # after the bus is there: it asks for the bus when imported
        except ImportError:
            skip("python3-pyatspi missing")
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        program = subprocess.Popen([args.desktop, args.port], env=env, stdin=subprocess.DEVNULL)
        progress("program started")

        def find(root, role, name):
            return pyatspi.findDescendant(
                root, lambda a: a is not None and a.getRole() == role and a.name == name)

        def app():
            if program.poll() is not None:
                raise SystemExit(f"the program ended with {program.returncode}")
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                a = desktop.getChildAtIndex(i)
                if a is not None and find(a, pyatspi.ROLE_PUSH_BUTTON, "送信"):
                    return a
            return None

        application = wait_for("the chat window on the accessibility bus", app, 30)
        progress("chat window found")
        send = find(application, pyatspi.ROLE_PUSH_BUTTON, "送信")
        edit = wait_for("the message edit",
                        lambda: pyatspi.findDescendant(
                            application, lambda a: a is not None and a.name == "ﾒｯｾｰｼﾞ"
                            and a.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)), 10)
        roster = wait_for("the roster",
                          lambda: pyatspi.findDescendant(
                              application, lambda a: a is not None and a.name == "ﾕｰｻﾞｰ情報"
                              and a.getRole() in (pyatspi.ROLE_TREE, pyatspi.ROLE_TABLE,
                                                  pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST)),
                          10)
        print("READY", flush=True)
        table = roster.queryTable()

        def peer_row():
            for r in range(table.nRows):
                cell = table.getAccessibleAt(r, 0)
                if cell is not None and cell.name == args.peer_handle:
                    return r + 1  # 0 is a row too
            return None

        row = wait_for("the peer's roster row", peer_row, 20) - 1
        headers = [table.getColumnDescription(c) for c in range(table.nColumns)]
        print("COLUMNS " + "|".join(headers), flush=True)
        if not table.addRowSelection(row):
            raise SystemExit("the roster refused the selection")
        wait_for("the mark", lambda: table.isRowSelected(row), 5)
        # Typed as keys into the focused edit, as the registry synthesizes them.
        edit.queryComponent().grabFocus()
        wait_for("the focus in the message edit",
                 lambda: edit.getState().contains(pyatspi.STATE_FOCUSED), 5)
        pyatspi.Registry.generateKeyboardEvent(0, args.text, pyatspi.KEY_STRING)
        wait_for("the typed text in the edit",
                 lambda: edit.queryText().getText(0, -1) == args.text, 10)
        # What keys cannot type here (no input method) goes in as an assistive tool puts it.
        full = args.text + args.append
        if args.append:
            edit.queryEditableText().insertText(len(args.text), args.append, len(args.append))
            wait_for("the appended text in the edit",
                     lambda: edit.queryText().getText(0, -1) == full, 5)
        action = send.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        action.doAction(names.index("Press") if "Press" in names else 0)
        print("SENT", flush=True)
        for line in sys.stdin:
            if line.strip() == "quit":
                break
        program.terminate()
        print(f"EXIT {program.wait(20)}", flush=True)
        program = None
    finally:
        if program is not None:
            program.kill()
            program.wait()
        bus.terminate()
        bus.wait(10)


if __name__ == "__main__":
    main()
