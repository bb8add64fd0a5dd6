#!/usr/bin/env bash
# Both builds play the same script alike: three songs imported with LOAD
# MP3s, played through with cross-fades and rendered. The MCI logs, the dumps
# and the saved sessions must match apart from the form of the paths, and the
# rendered sound sample for sample. The sessions are saved over themselves at
# every song start, so this also shows a save replacing an existing file
# under wine. Usage: same_play.sh LINUX_BINARY WINDOWS_EXE LAME_EXE
set -euo pipefail
linux="$1" windows="$2" lameExe="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/linux/m" "$work/windows/m"
for f in a:330 b:550 c:440; do
    name=${f%%:*} freq=${f##*:}
    sox -n -r 44100 -c 2 "$work/$name.wav" synth 20 sine "$freq" fade 0.5 20 3
    lame --quiet -b 128 "$work/$name.wav" "$work/linux/m/$name.mp3"
    cp "$work/linux/m/$name.mp3" "$work/windows/m/"
done
script='wait 0.9
click 300 260
move -1 -1
wait 0.08
wait 1
dialog m/a.mp3
click 956 83
wait 1
key ctrl+a
click 673 83
wait 0.5
key ctrl+p
wait 70
dump d.txt'
printf '%s\n' "$script" > "$work/linux/script.txt"
printf '%s\n' "$script" > "$work/windows/script.txt"
ln -s /usr/bin/lame "$work/linux/lame"
cp "$lameExe" "$work/windows/lame.exe"
(cd "$work/linux" && "$linux" --headless --script script.txt --program-dir . --mci-log mci.txt \
    --render out.wav 2>err.txt)
(cd "$work/windows" && wine "$windows" --headless --script script.txt --program-dir . \
    --mci-log mci.txt --render out.wav 2>err.txt)
python3 - "$work" <<'PY'
import sys, array
work = sys.argv[1]
def text(side, name, root):
    data = open(f"{work}/{side}/{name}", encoding="utf-8", errors="replace").read()
    data = data.replace("\r\n", "\n")
    if side == "windows":
        data = data.replace("Z:" + root.replace("/", "\\"), "ROOT/").replace("\\", "/")
    else:
        data = data.replace(root, "ROOT/")
    return data.replace("ROOT//", "ROOT/")
failures = []
for side_root in [("linux", f"{work}/linux/")]:
    pass
lin = {n: text("linux", n, f"{work}/linux/") for n in ("mci.txt", "d.txt")}
win = {n: text("windows", n, f"{work}/windows/") for n in ("mci.txt", "d.txt")}
if lin["mci.txt"] != win["mci.txt"]:
    failures.append("the MCI logs differ")
skip = ("loopPasses=", "windowTitle=", "clock=")
dl = [l for l in lin["d.txt"].splitlines() if not l.startswith(skip)]
dw = [l for l in win["d.txt"].splitlines() if not l.startswith(skip)]
if dl != dw:
    failures.append("the dumps differ: " + str([p for p in zip(dl, dw) if p[0] != p[1]][:3]))
for want in ("playlistCount=3", "playPosition=3", "fadesDone=3", "lameAvailable=1"):
    if want not in dl:
        failures.append("linux dump lacks " + want)
session = "KLANGKELTER-Spielliste-Autosave.sav"
sl = text("linux", session, f"{work}/linux/")
sw = text("windows", session, f"{work}/windows/")
if sl != sw:
    failures.append("the saved sessions differ")
a = open(f"{work}/linux/out.wav", "rb").read()
b = open(f"{work}/windows/out.wav", "rb").read()
if len(a) != len(b) or len(a) < 44 + 60 * 44100 * 4:
    failures.append(f"the renders differ in length: {len(a)} {len(b)}")
else:
    x, y = array.array("h", a[44:]), array.array("h", b[44:])
    worst = max(abs(p - q) for p, q in zip(x, y))
    if worst > 2:
        failures.append(f"the renders differ by up to {worst}")
print("same_play: " + ("; ".join(failures) if failures else
      f"both builds alike ({lin['mci.txt'].count(chr(10))} MCI commands, renders equal)"))
sys.exit(1 if failures else 0)
PY
