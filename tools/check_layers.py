#!/usr/bin/env python3
"""Fails on any #include of a higher layer, on drawing below ui/, on reading
input below app/, and on a system's own header outside its folder.

The program's folders are layers; a file may include its own layer and the
layers below it. Below ui/ nothing draws: no call of a drawing function of
platform/screen.h or of one that a ui/ header declares (the code below asks
for a redraw instead). The screen service itself and the window's own path
prompt, which stands in for the desktop's file dialog, are the exceptions.
Input reaches the layers between platform/ and app/ only through the hooks
that app/ installs: none of them reads platform/input's keys, pointer or
presses itself.
The POSIX and X11 headers belong to platform/posix/, <windows.h> and its
kin to platform/win32/: the shared code asks the platform's services.
Usage: check_layers.py [ROOT] (default: the repository). Prints one line per
offence, "file:line: ...", and exits 1.
"""
import pathlib
import re
import sys

LAYERS = ["platform", "texts", "lists", "analysis", "playback", "ui", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/')
SCREEN_DRAWING = ["clear", "line", "lineTo", "box", "fillBox", "circle", "disc", "setPixel",
                  "textAt", "setColors", "locate", "print", "printLine", "setPalette", "lock",
                  "unlock"]
MAY_DRAW_BELOW_UI = {"platform/screen.cpp", "platform/dialogs.cpp"}
INPUT_READING = ["readKey", "readMouse", "takePress", "takeUnclaimedPress", "keyDown",
                 "discardKeys", "claimed", "pushKey", "notePress", "state"]
POSIX_HEADERS = re.compile(r'^\s*#\s*include\s*<((unistd|fcntl|poll|spawn|signal|dirent|pwd|'
                           r'dlfcn|strings|termios|syslog)\.h|sys/[^>]+|X11/[^>]+)>')
WINDOWS_HEADERS = re.compile(r'^\s*#\s*include\s*<(windows|winbase|shellapi|shlobj|commdlg|'
                             r'tlhelp32|io|direct|process)\.h>', re.I)
DECLARED = re.compile(r'^\s*(?:void|bool|int)\s+(\w+)\s*\(', re.M)


def ui_functions(root: pathlib.Path) -> set[str]:
    names = set()
    for header in (root / "ui").glob("*.h"):
        names.update(DECLARED.findall(header.read_text(encoding="utf-8", errors="replace")))
    return names


def source_lines(root: pathlib.Path, layers, suffixes=(".h", ".cpp")):
    """(layer, relative path, line number, line) of every source line of `layers`."""
    for layer in layers:
        folder = root / layer
        if not folder.is_dir():
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in suffixes:
                continue
            relative = path.relative_to(root).as_posix()
            lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
            for number, line in enumerate(lines, 1):
                yield layer, relative, number, line


def input_reads(root: pathlib.Path) -> list[str]:
    reading = re.compile(r'\binput::(' + "|".join(INPUT_READING) + r')\b')
    problems = []
    for layer, relative, number, line in source_lines(root, LAYERS[1:LAYERS.index("app")]):
        m = reading.search(line.split("//", 1)[0])
        if m:
            problems.append(f"{relative}:{number}: {layer}/ reads input with {m.group(0)}: "
                            f"{line.strip()}")
    return problems


def system_headers(root: pathlib.Path) -> list[str]:
    problems = []
    for _, relative, number, line in source_lines(root, LAYERS):
        if POSIX_HEADERS.match(line) and not relative.startswith("platform/posix/"):
            problems.append(f"{relative}:{number}: a POSIX header outside platform/posix/: "
                            f"{line.strip()}")
        if WINDOWS_HEADERS.match(line) and not relative.startswith("platform/win32/"):
            problems.append(f"{relative}:{number}: a Windows header outside platform/win32/: "
                            f"{line.strip()}")
    return problems


def drawing_calls(root: pathlib.Path) -> list[str]:
    screen = re.compile(r'\bscreen::(' + "|".join(SCREEN_DRAWING) + r')\s*\(')
    names = sorted(ui_functions(root))
    ui = re.compile(r'(?<![\w:.>])(' + "|".join(names) + r')\s*\(') if names else None
    problems = []
    for layer, relative, number, line in source_lines(root, LAYERS[:LAYERS.index("ui")]):
        if relative in MAY_DRAW_BELOW_UI:
            continue
        code = line.split("//", 1)[0]
        for pattern in (screen, ui):
            m = pattern.search(code) if pattern else None
            if m:
                problems.append(f"{relative}:{number}: {layer}/ draws with "
                                f"{m.group(0).rstrip('(').strip()}: {line.strip()}")
    return problems


def check(root: pathlib.Path) -> list[str]:
    rank = {name: i for i, name in enumerate(LAYERS)}
    problems = []
    for layer, relative, number, line in source_lines(root, LAYERS,
                                                      (".h", ".hpp", ".cpp", ".cc", ".c")):
        m = INCLUDE.match(line)
        if m and m.group(1) in rank and rank[m.group(1)] > rank[layer]:
            problems.append(f"{relative}:{number}: {layer}/ includes {m.group(1)}/, a higher "
                            f"layer: {line.strip()}")
    return problems + drawing_calls(root) + input_reads(root) + system_headers(root)


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                        pathlib.Path(__file__).resolve().parent.parent)
    problems = check(root)
    for p in problems:
        print(p)
    if problems:
        print(f"layer check: {len(problems)} problem(s); order is "
              + " < ".join(LAYERS) + ", only ui/ and app/ draw, only app/ reads input, "
              "system headers stay in platform/posix/ and platform/win32/")
        return 1
    print("layer check: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
