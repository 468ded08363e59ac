"""Reads the real Qt windows through the accessibility bus as a screen reader does: every
control the keyboard reaches has a name and no two share one, labels are tied to their
controls, and the preview names its pictures by the titles they show.
Usage (through run_atspi.sh): read_accessible.py PELLIX GFX-FOLDER"""
import os, shutil, subprocess, sys, tempfile, time
import pyatspi

failures = []


def window(title, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            for app in pyatspi.Registry.getDesktop(0):
                for win in app or []:
                    if win is not None and win.name == title:
                        return win
        except Exception:  # an application left the bus while being read
            pass
        time.sleep(0.2)
    sys.exit(f"the window {title!r} did not appear on the accessibility bus")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def named_controls(win, title):
    """The focusable controls, after checking each has a name of its own."""
    controls = [n for n in walk(win) if n is not win and n.getState().contains(pyatspi.STATE_FOCUSABLE)]
    names = [c.name for c in controls]
    for c in controls:
        print(f"{title}: {c.getRoleName()} {c.name!r} {c.description!r}")
        if not c.name.strip() or names.count(c.name) > 1:
            failures.append(f"{title}: {c.getRoleName()} {c.name!r} has no name of its own")
    return {c.name: c for c in controls}


def read(main):
    controls = named_controls(main, "main window")
    labelled = [c for c in controls.values() for r in c.getRelationSet()
                if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    if not labelled or not any(c.description for c in controls.values()):
        failures.append("main window: no control is tied to its label or described by its note")
    if failures:
        return
    controls["Game title, line 1"].queryEditableText().setTextContents("Pellix Quest")
    controls["Preview NDS..."].queryAction().doAction(0)
    preview = window("Preview Customisations")
    named_controls(preview, "preview")
    pictures = [n.name for n in walk(preview) if n.getRole() == pyatspi.ROLE_IMAGE]
    print("preview pictures:", pictures)
    if not all(pictures) or not any("Pellix Quest" in p for p in pictures):
        failures.append("preview: a picture is not named by what it shows")


def main():
    folder = tempfile.mkdtemp(prefix="pellix-atspi-")  # the program finds gfx/ beside itself
    shutil.copy(sys.argv[1], os.path.join(folder, "pellix"))
    shutil.copytree(sys.argv[2], os.path.join(folder, "gfx"))
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    program = subprocess.Popen([os.path.join(folder, "pellix")], env=env)
    try:
        read(window("Quillmere v1.2.1 GUI (by Fennbrook)"))
    finally:
        program.kill()
        program.wait()
        shutil.rmtree(folder, ignore_errors=True)
    print("\n".join(["FAIL: " + f for f in failures] + [f"{len(failures)} failure(s)"]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
