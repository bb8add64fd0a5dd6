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

    def planted(path, line, at):
        """The check's answer with `line` put into `path` at line `at` (0: the
        end), and the line number the line then has; the file is restored."""
        target = root / path
        original = target.read_text()
        lines = original.splitlines()
        number = len(lines) + 1 if at == 0 else at
        lines.insert(number - 1, line)
        target.write_text("\n".join(lines) + "\n")
        answer = run(root)
        target.write_text(original)
        return answer, number

    def must_fail(path, line, at, words=""):
        answer, number = planted(path, line, at)
        assert answer.returncode == 1, (path, answer.stdout)
        assert f"{path}:{number}:" in answer.stdout and words in answer.stdout, (path, answer.stdout)

    for path, line in [("lists/tracks.cpp", '#include "app/main_loop.h"'),
                       ("platform/clock.h", '#  include "texts/notices.h"'),
                       ("playback/transport.cpp", '#include "ui/list_views.h" // a view')]:
        must_fail(path, line, 4)
    # Below ui/ nothing draws: not with the screen's primitives, nor through
    # a view's function declared by hand instead of included.
    for path, line in [("playback/preview.cpp", "void f() { screen::fillBox(1, 1, 2, 2, 3); }"),
                       ("texts/notices.cpp", "void g() { screen::textAt(0, 0, \"x\", 1); }"),
                       ("lists/tracks.cpp", "void drawNotice();")]:
        must_fail(path, line, 0, "draws")
    # Nor does code below app/ read the input itself.
    for path, line in [("playback/transport.cpp", "void k() { auto m = input::readMouse(); }"),
                       ("lists/tracks.cpp", "void l() { input::readKey(); }")]:
        must_fail(path, line, 0, "reads input")
    # A system's own headers stay in its folder of platform/.
    for path, line in [("app/session_file.cpp", "#include <sys/stat.h>"),
                       ("platform/files.cpp", "#include <unistd.h>"),
                       ("platform/posix/files.cpp", "#include <windows.h>")]:
        must_fail(path, line, 1, "header outside")
    # A view's name as a member or in a comment is no call.
    lists = root / "lists/tracks.cpp"
    original = lists.read_text()
    lists.write_text(original + "// drawNotice() runs later\nint h(S s) { return s.drawNotice(); }\n")
    assert run(root).returncode == 0, run(root).stdout
    lists.write_text(original)

    # Its own layer and lower ones are fine, and so is a system header.
    ui = root / "ui/list_views.cpp"
    ui.write_text('#include "ui/envelope_view.h"\n#include "platform/screen.h"\n'
                  "#include <vector>\n" + ui.read_text())
    assert run(root).returncode == 0
print("1 passed, 0 failed")
