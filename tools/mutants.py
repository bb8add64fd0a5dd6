#!/usr/bin/env python3
"""Mutation check: do the tests notice a wrong number?

Each mutant below is a one-line wrong change in real behaviour. For each, a
scratch copy of the tree (/tmp/kk-mutants/src) gets the change, the test
binary is rebuilt incrementally in a plain Release build beside it, and the
tests named by the mutant's filter run. A failing run means the mutant was
caught. Run on demand, it is not part of tools/test.sh:

    python3 tools/mutants.py            # every mutant
    python3 tools/mutants.py stop-fade  # only those whose name contains it
    python3 tools/mutants.py --list

A mutant whose original text no longer occurs exactly once is reported as
stale, one that does not build as such; neither counts as caught.
"""
import os
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = Path(os.environ.get("KK_MUTANTS_DIR", "/tmp/kk-mutants"))
SRC = WORK / "src"
BUILD = WORK / "build"
TEST_TIMEOUT = 1200


@dataclass
class Mutant:
    name: str
    file: str
    original: str
    replacement: str
    tests: str  # a gtest filter


MUTANTS = [
    Mutant("stop-fade-step", "playback/transport.cpp",
           "f -= 0.003f;", "f -= 0.004f;",
           "Transport.StopFades*"),
    Mutant("stop-fade-steep-part", "playback/transport.cpp",
           "kFadeHigh = 0.12f", "kFadeHigh = 0.15f",
           "Transport.StopFades*"),
    Mutant("crossfade-first-phase-step", "playback/crossfade.cpp",
           "d = float(6 - blend) / 1000.0f;", "d = float(7 - blend) / 1000.0f;",
           "CrossFade.*:CrossFadeRender.*"),
    Mutant("gong-resume-ramp", "playback/gongs.cpp",
           "volume = roundEven(volume * 1.08);", "volume = roundEven(volume * 1.1);",
           "GongPlayers.*"),
    Mutant("session-gong-volume-limit", "app/session_file.cpp",
           "0.0, 1e6)), 150, 1000);", "0.0, 1e6)), 150, 990);",
           "Session*"),
    Mutant("session-pause-limit", "app/session_file.cpp",
           "std::clamp(r.value(transport.pauseSeconds), 0.0, 60.0);",
           "std::clamp(r.value(transport.pauseSeconds), 0.0, 59.9);",
           "Session*"),
    Mutant("session-gong-bank", "app/session_file.cpp",
           "r.floorValue(gongs.bank) >= 4 ? 4 : 0", "r.floorValue(gongs.bank) >= 3 ? 4 : 0",
           "Session*"),
    Mutant("scramble-fillers-at-G", "lists/name_scramble.cpp",
           "(c > 'G' ? 1 : 0)", "(c >= 'G' ? 1 : 0)",
           "PlaylistFile*:Session*:ListCommands*"),
    Mutant("scramble-filler-letters", "lists/name_scramble.cpp",
           "rng::unit() * 20 + 65", "rng::unit() * 25 + 65",
           "PlaylistFile*:Session*:ListCommands*"),
    Mutant("reorder-target-below", "lists/list_ops.cpp",
           "if (j < t) ++k;", "if (j + 1 < t) ++k;",
           "ListOps*"),
    Mutant("decoder-length-tolerance", "analysis/decoder.cpp",
           "kLengthToleranceSeconds = 0.25;", "kLengthToleranceSeconds = 0.5;",
           "Decoder*"),
    Mutant("compressor-fast-attack-threshold", "playback/compressor.cpp",
           "if (ratio > 1.28f) {", "if (ratio > 1.35f) {",
           "Compressor*"),
    Mutant("compressor-fast-release-threshold", "playback/compressor.cpp",
           "if (ratio < 0.75f) {", "if (ratio < 0.7f) {",
           "Compressor*"),
    Mutant("right-trigger-search", "analysis/triggers.cpp",
           "if (pair(i) > threshold || i == S) {", "if (pair(i) >= threshold || i == S) {",
           "Triggers*"),
    Mutant("duck-fast-recovery", "playback/compressor.cpp",
           "if (factor < 0.7f && fast) factor *= 1.03f;",
           "if (factor < 0.7f && fast) factor *= 1.05f;",
           "Compressor*:GongSound*"),
    Mutant("duck-release-point", "playback/compressor.cpp",
           "if (g.positionMs < g.lengthMs - releaseMs", "if (g.positionMs <= g.lengthMs - releaseMs",
           "Compressor*:GongSound*"),
]


def tracked_files():
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=ROOT,
                         check=True, capture_output=True, text=True).stdout
    return [f for f in out.splitlines() if (ROOT / f).is_file()]


def sync_copy():
    """The scratch copy takes the working tree; unchanged files keep their
    times, so the build stays incremental, and files gone from the tree go
    from the copy (a moved test would otherwise be built twice)."""
    tracked = tracked_files()
    wanted = set(tracked)
    if SRC.is_dir():
        for path in SRC.rglob("*"):
            if path.is_file() and path.relative_to(SRC).as_posix() not in wanted:
                path.unlink()
    for rel in tracked:
        src, dst = ROOT / rel, SRC / rel
        data = src.read_bytes()
        if dst.is_file() and dst.read_bytes() == data:
            continue
        dst.parent.mkdir(parents=True, exist_ok=True)
        dst.write_bytes(data)
        os.chmod(dst, src.stat().st_mode & 0o777)


def build():
    if not (BUILD / "build.ninja").exists():
        subprocess.run(["cmake", "-S", str(SRC), "-B", str(BUILD), "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release", "-DKK_BENCH=OFF"],
                       check=True, stdout=subprocess.DEVNULL)
    r = subprocess.run(["cmake", "--build", str(BUILD), "-j2", "--target", "klangkelter_tests"],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return r.returncode == 0, r.stdout


def run_tests(gtest_filter):
    try:
        r = subprocess.run([str(BUILD / "tests" / "klangkelter_tests"),
                            "--gtest_filter=" + gtest_filter, "--gtest_brief=1"],
                           cwd=BUILD, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, timeout=TEST_TIMEOUT)
    except subprocess.TimeoutExpired:
        return False, "timed out"
    failed = [l.split("]", 1)[1].strip() for l in r.stdout.splitlines()
              if l.startswith("[  FAILED  ]") and "," not in l]
    return r.returncode == 0, ", ".join(sorted(set(failed)))


def main(argv):
    if "--list" in argv:
        for m in MUTANTS:
            print(f"{m.name:36} {m.file}: {m.original!r} -> {m.replacement!r}")
        return 0
    chosen = [m for m in MUTANTS if not argv or any(a in m.name for a in argv)]
    WORK.mkdir(parents=True, exist_ok=True)
    sync_copy()
    ok, log = build()
    if not ok:
        print(log[-3000:])
        print("the unchanged tree does not build")
        return 2
    # A test failing on the unchanged tree would count every mutant as caught.
    passed, failed = run_tests(":".join(sorted({m.tests for m in chosen})))
    if not passed:
        print("the unchanged tree fails: " + failed)
        return 2

    results = []
    for m in chosen:
        path = SRC / m.file
        text = path.read_text()
        if text.count(m.original) != 1:
            results.append((m, "stale", f"{text.count(m.original)} occurrences"))
            print(f"{m.name:36} stale", flush=True)
            continue
        start = time.monotonic()
        path.write_text(text.replace(m.original, m.replacement))
        try:
            built, log = build()
            if not built:
                outcome, detail = "no build", log.strip().splitlines()[-1:]
            else:
                passed, detail = run_tests(m.tests)
                outcome = "missed" if passed else "caught"
        finally:
            path.write_text(text)
        results.append((m, outcome, detail))
        print(f"{m.name:36} {outcome:8} {time.monotonic() - start:5.0f} s  {detail}", flush=True)
    build()  # leave the copy built as it stands

    caught = sum(1 for _, o, _ in results if o == "caught")
    missed = [m.name for m, o, _ in results if o == "missed"]
    print(f"\n{caught} caught, {len(missed)} missed of {len(results)}"
          + (f"; missed: {', '.join(missed)}" if missed else ""))
    return 0 if not missed else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
