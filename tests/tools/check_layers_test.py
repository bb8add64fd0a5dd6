#!/usr/bin/env python3
"""The layer check passes on the tree as it is and fails, naming file and
line, on an include of a higher layer planted into a copy of it."""
import pathlib
import shutil
import subprocess
import sys
import tempfile

checker, source = sys.argv[1], pathlib.Path(sys.argv[2])
layers = ["platform", "texts", "lists", "analysis", "playback", "ui", "app"]


def run(root):
    return subprocess.run([sys.executable, checker, str(root)], capture_output=True, text=True)


with tempfile.TemporaryDirectory() as tmp:
    root = pathlib.Path(tmp)
    for layer in layers:
        shutil.copytree(source / layer, root / layer)
    clean = run(root)
    assert clean.returncode == 0, clean.stdout

    plants = [("lists/tracks.cpp", '#include "app/main_loop.h"'),
              ("platform/clock.h", '#  include "texts/notices.h"'),
              ("playback/transport.cpp", '#include "ui/list_views.h" // a view')]
    for path, line in plants:
        target = root / path
        original = target.read_text()
        lines = original.splitlines()
        lines.insert(3, line)
        target.write_text("\n".join(lines) + "\n")
        planted = run(root)
        assert planted.returncode == 1, (path, planted.stdout)
        assert f"{path}:4:" in planted.stdout, (path, planted.stdout)
        target.write_text(original)

    # Its own layer and lower ones are fine, and so is a system header.
    ui = root / "ui/list_views.cpp"
    ui.write_text('#include "ui/envelope_view.h"\n#include "platform/screen.h"\n'
                  "#include <vector>\n" + ui.read_text())
    assert run(root).returncode == 0
print("1 passed, 0 failed")
