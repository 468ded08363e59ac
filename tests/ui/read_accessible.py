"""Reads the real Qt windows through the accessibility bus, as a screen reader does: every
control the keyboard reaches has a name and no two share one, labels are tied to their
controls, and the preview names its pictures by what they show.
Usage: read_accessible.py PELLIX GFX-FOLDER (run by run_atspi.sh)."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

MAIN_CAPTION = "Quillmere v1.2.1 GUI (by Fennbrook)"
PREVIEW_CAPTION = "Preview Customisations"
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def wait_for(find, what, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    sys.exit(f"{what} did not appear on the accessibility bus")


def window(title):
    try:
        for app in pyatspi.Registry.getDesktop(0):
            for win in app or []:
                if win is not None and win.name == title:
                    return win
    except Exception:  # an application that left the bus while being read
        pass
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def describe(node):
    return f"{node.getRoleName()} '{node.name}'"


def focusable_controls(win):
    return [n for n in walk(win)
            if n is not win and n.getState().contains(pyatspi.STATE_FOCUSABLE)]


def check_names(win, title):
    """No focusable control without a name, and no two sharing one."""
    controls = focusable_controls(win)
    check(controls, f"{title}: no focusable control found")
    seen = {}
    for control in controls:
        print(f"{title}: {describe(control)}"
              + (f" - {control.description}" if control.description else ""))
        check(control.name.strip(), f"{title}: a {control.getRoleName()} has no name")
        if control.name in seen:
            failures.append(f"{title}: {describe(control)} and {describe(seen[control.name])} "
                            "share a name")
        seen[control.name] = control
    return controls


def labels_of(control):
    return [relation.getTarget(i)
            for relation in control.getRelationSet()
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
            for i in range(relation.getNTargets())]


def main():
    pellix, gfx = sys.argv[1], sys.argv[2]
    # The program finds gfx/ beside itself: a scratch folder holds both.
    folder = tempfile.mkdtemp(prefix="pellix-atspi-")
    program = None
    try:
        shutil.copy(pellix, os.path.join(folder, "pellix"))
        shutil.copytree(gfx, os.path.join(folder, "gfx"))
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        program = subprocess.Popen([os.path.join(folder, "pellix")], env=env)
        run(wait_for(lambda: window(MAIN_CAPTION), "the main window"))
    finally:
        if program is not None:
            program.kill()
            program.wait()
        shutil.rmtree(folder, ignore_errors=True)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


def run(main_window):
    controls = check_names(main_window, "main window")
    boxes = [c for c in controls if c.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)]
    check(len(boxes) == 7, f"main window: {len(boxes)} text boxes read, 7 designed")
    tied = [c for c in controls if any(l.getRole() == pyatspi.ROLE_LABEL for l in labels_of(c))]
    check(tied, "main window: no control is labelled by the label beside it")
    check(any(c.description for c in boxes), "main window: no text box has a description")

    # Titles typed into the main window are what the preview's entry is named by.
    title = next((b for b in boxes if b.name == "Game title, line 1"), None)
    check(title is not None, "main window: no box for title line 1")
    if title is not None:
        title.queryEditableText().setTextContents("Pellix Quest")
    preview_button = next((c for c in controls if c.name == "Preview NDS..."), None)
    check(preview_button is not None, "main window: no Preview NDS... button")
    if preview_button is None:
        return
    preview_button.queryAction().doAction(0)
    preview = wait_for(lambda: window(PREVIEW_CAPTION), "the preview window")
    check_names(preview, "preview")
    pictures = [n for n in walk(preview) if n.getRole() == pyatspi.ROLE_IMAGE]
    for picture in pictures:
        print(f"preview: {describe(picture)}")
    check(pictures and all(p.name for p in pictures), "preview: a picture has no name")
    check(any("Pellix Quest" in p.name for p in pictures),
          "preview: no picture is named by the title it shows: "
          + ", ".join(describe(p) for p in pictures))


if __name__ == "__main__":
    sys.exit(main())
