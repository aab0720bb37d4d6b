#!/usr/bin/env python3
"""Checks the include graph of src/ against the folders' layering.

The folders stand in this order, each using only those before it:

    platform  settings  history  engine  waveform  playback  playlist  recycle  ui  app  desktop

app/ is the window: it and every file that defines Form1's handlers (which
live beside the parts they drive) stand at app's place, whatever their folder.
desktop/ (the command line, one running copy, the desktop's player controls)
drives the window from outside, and main.cpp puts it all together. A file that
includes a header of a later place is reported, as is a circle of includes
between files.

    scripts/check_layers.py [SRC]     (exit status 1 when something is reported)
"""
import pathlib
import re
import sys

ORDER = ["platform", "settings", "history", "engine", "waveform", "playback", "playlist", "recycle", "ui",
         "app", "desktop", "main"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    files = {p.relative_to(src).as_posix(): p.read_text(errors="replace")
             for p in src.rglob("*") if p.suffix in (".h", ".cpp")}
    includes = {f: [i for i in INCLUDE.findall(text) if i in files] for f, text in files.items()}

    def place(f):
        if "/" not in f:
            return "main"
        return "app" if "Form1::" in files[f] else f.split("/")[0]

    problems = []
    for f, used in sorted(includes.items()):
        for i in used:
            if place(f) not in ORDER:
                problems.append(f"{f}: its folder has no place in the order")
                break
            if ORDER.index(place(i)) > ORDER.index(place(f)):
                problems.append(f"{f} ({place(f)}) includes {i} ({place(i)}), a later place")

    # Circles between files: a depth-first walk that meets a file on its own path.
    state = {}

    def walk(f, path):
        state[f] = "open"
        for i in includes[f]:
            if state.get(i) == "open":
                problems.append("a circle: " + " -> ".join(path[path.index(i):] + [i]))
            elif i not in state:
                walk(i, path + [i])
        state[f] = "done"

    for f in sorted(files):
        if f not in state:
            walk(f, [f])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
