#!/usr/bin/python3
"""Checks what a screen reader is told of each window of the program.

Starts a private X server, session bus and accessibility bus, then opens
every window that screenreader_windows knows, one at a time, and walks its
AT-SPI tree: every control a user can reach has a name, every label says its
text, every table names its columns, and the windows' own expectations hold.

  screenreader_check.py <screenreader_windows> [window...]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# Controls a user reaches with the keyboard or the mouse: each needs a name.
NAMED_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box",
    "text", "entry", "password text", "spin button", "list", "list box",
    "table", "tree", "tree table", "page tab", "slider", "link", "menu item",
}

# What each window must say beyond names: (role, pattern of the name).
EXPECTED = {
    "page-viewer": [("label", r"^Page 1 of 3$"), ("label", r"^\d+ ?%$")],
    "cover": [("combo box", r"^Logo$"), ("text", r"^Logo name$")],
    "number-chooser": [("table column header", r"^Number$")],
    "help": [("frame", r"^Send a Fax$"), ("push button", r"^Back$"),
             ("push button", r"^Forward$"), ("push button", r"^Home$"),
             ("label", r"^Help page$")],
}


def walk(node, depth=0):
    yield node, depth
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def check_window(pyatspi, program, window):
    proc = subprocess.Popen([program, window], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            text=True)
    try:
        if proc.stdout.readline().strip() != "shown":
            return [f"{window}: the window did not open"], 0
        app = None
        deadline = time.time() + 20
        while app is None and time.time() < deadline:
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                a = desktop.getChildAtIndex(i)
                if a is not None and a.get_process_id() == proc.pid and a.childCount > 0:
                    app = a
            if app is None:
                time.sleep(0.2)
        if app is None:
            return [f"{window}: not in the accessibility tree"], 0
        problems, seen = [], []
        for node, _ in walk(app):
            role = node.getRoleName()
            states = node.getState()
            if not states.contains(pyatspi.STATE_SHOWING):
                continue
            name = (node.name or "").strip()
            seen.append((role, name))
            if role in NAMED_ROLES and not name:
                problems.append(f"{window}: a {role} has no name")
            if role == "table column header" and not name:
                problems.append(f"{window}: a column header is empty")
            if role == "label" and not name:
                try:
                    text = node.queryText().getText(0, -1).strip()
                except NotImplementedError:
                    text = ""
                if text:
                    problems.append(f"{window}: the label '{text}' is not told")
        for role, pattern in EXPECTED.get(window, []):
            if not any(r == role and re.search(pattern, n) for r, n in seen):
                problems.append(f"{window}: no {role} named like /{pattern}/ "
                                f"(seen: {sorted(set(n for r, n in seen if r == role))})")
        return problems, len(seen)
    finally:
        # Closing its input ends the program, which then removes its folder.
        proc.stdin.close()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def main():
    program = os.path.abspath(sys.argv[1])
    windows = sys.argv[2:] or subprocess.run(
        [program, "--list"], check=True, capture_output=True, text=True,
        env={**os.environ, "QT_QPA_PLATFORM": "offscreen"}).stdout.split()
    import pyatspi  # noqa: E402 (after the bus is up)
    problems = []
    for window in windows:
        found, shown = check_window(pyatspi, program, window)
        print(f"{window}: {shown} objects shown, "
              f"{'ok' if not found else str(len(found)) + ' problem(s)'}", flush=True)
        problems += found
    for p in problems:
        print("  " + p)
    return 1 if problems else 0


def with_desktop():
    """Runs main() inside its own X server, session bus and accessibility bus."""
    if os.environ.get("SCREENREADER_CHECK_INSIDE"):
        launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        time.sleep(0.5)
        try:
            return main()
        finally:
            launcher.terminate()
            launcher.wait()
    for tool in ("xvfb-run", "dbus-run-session"):
        if not shutil.which(tool):
            print(f"screenreader_check: {tool} is not installed; skipped")
            return 77
    env = {**os.environ, "SCREENREADER_CHECK_INSIDE": "1", "QT_QPA_PLATFORM": "xcb",
           "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1",
           "NO_AT_BRIDGE": "0", "LANG": "C", "LC_ALL": "C"}
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    with tempfile.TemporaryDirectory() as runtime:
        os.chmod(runtime, 0o700)
        env["XDG_RUNTIME_DIR"] = runtime
        return subprocess.call(["xvfb-run", "-a", "dbus-run-session", "--", sys.executable,
                                os.path.abspath(__file__)] + sys.argv[1:], env=env)


if __name__ == "__main__":
    sys.exit(with_desktop())
