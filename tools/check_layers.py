#!/usr/bin/env python3
"""Fails on any #include of a higher layer.

The program's folders are layers; a file may include its own layer and the
layers below it. Usage: check_layers.py [ROOT] (default: the repository).
Prints one line per offending include, "file:line: ..." and exits 1.
"""
import pathlib
import re
import sys

LAYERS = ["platform", "texts", "lists", "analysis", "playback", "ui", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/')


def check(root: pathlib.Path) -> list[str]:
    rank = {name: i for i, name in enumerate(LAYERS)}
    problems = []
    for layer in LAYERS:
        folder = root / layer
        if not folder.is_dir():
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".h", ".hpp", ".cpp", ".cc", ".c"):
                continue
            lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
            for number, line in enumerate(lines, 1):
                m = INCLUDE.match(line)
                if not m or m.group(1) not in rank:
                    continue
                if rank[m.group(1)] > rank[layer]:
                    problems.append(
                        f"{path.relative_to(root)}:{number}: {layer}/ includes "
                        f"{m.group(1)}/, a higher layer: {line.strip()}")
    return problems


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                        pathlib.Path(__file__).resolve().parent.parent)
    problems = check(root)
    for p in problems:
        print(p)
    if problems:
        print(f"layer check: {len(problems)} upward include(s); order is "
              + " < ".join(LAYERS))
        return 1
    print("layer check: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
