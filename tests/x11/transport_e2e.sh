#!/usr/bin/env bash
# The real program in a virtual X server, driven with xdotool as a user would:
# import a folder through the built-in path prompt, send it to the playlist,
# PLAY and STOP by button, then Ctrl+P and Ctrl+S by key, and end through the
# end box. The program's MCI log says what it did.
set -euo pipefail
binary="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/nobin"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 30 sine 440 vol 0.3 2>/dev/null
lame --quiet -b 128 "$work/tone.wav" "$work/music/eins.mp3"
cp "$work/music/eins.mp3" "$work/music/zwei.mp3"

cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
binary="$1"; work="$2"
log="$work/mci.log"
# An empty PATH: no zenity or kdialog, so the program asks in its own window.
# The test suite may run beside it, and its name counts as a running instance.
PATH="$work/nobin" KK_ALLOW_SECOND_INSTANCE=1 SDL_AUDIODRIVER=dummy "$binary" \
    --program-dir "$work" --mci-log "$log" &
pid=$!
fail() { echo "FAIL: $*"; echo "--- end of the MCI log:"; tail -20 "$log" || true; kill "$pid" 2>/dev/null || true; exit 1; }
id="$(timeout 20 xdotool search --sync --name 'MP3-KlangKelter' | head -1)" || fail "no window"
sleep 1.5
xdotool windowfocus --sync "$id" 2>/dev/null || true
click() { xdotool mousemove --window "$id" "$1" "$2" click 1; sleep "${3:-0.6}"; }
# Waits until the log holds at least $2 lines matching $1.
# Generous: a sanitizer build on a busy machine fades slowly.
waitFor() {
    for _ in $(seq 400); do
        [[ "$(grep -c "$1" "$log" 2>/dev/null)" -ge "${2:-1}" ]] && return 0
        sleep 0.1
    done
    fail "fewer than ${2:-1} '$1' in the log"
}

click 300 260 1                       # the start screen: empty lists
click 956 83 1.2                      # LOAD MP3s: the path prompt opens
xdotool key ctrl+u
xdotool type --delay 5 "$work/music/eins.mp3"
xdotool key Return
waitFor "zwei.mp3\" alias AUBIO_III"
sleep 0.5
xdotool key ctrl+a; sleep 0.3
click 673 83                          # the arrow sends the selection to the playlist

click 34 28                           # PLAY
waitFor "play AUBIO_I from 0"
sleep 1
# Each PLAY's open closes the alias first; so does each stop.
click 192 28                          # STOP, back to the song's start
waitFor "close AUBIO_I$" 2
sleep 0.5                             # keys typed while a command runs are dropped
lines="$(wc -l <"$log")"
xdotool key ctrl+p
waitFor "play AUBIO_I from 0$" 2
sleep 1
xdotool key ctrl+s
waitFor "close AUBIO_I$" 4

# The stop fades: the volumes sent after the last PLAY fall to 0 before the close.
volumes="$(tail -n +"$((lines + 1))" "$log" | sed -n 's/.*setaudio AUBIO_I volume to \([0-9]*\)$/\1/p')"
first="$(echo "$volumes" | head -1)"; last="$(echo "$volumes" | tail -1)"
[[ "$first" -ge 900 && "$last" -le 5 ]] || fail "fade went from $first to $last"
xdotool key ctrl+x
sleep 1
click 880 60 0                        # the end box's upper half: end without saving
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Ctrl+X and the end box did not end the program"
wait "$pid" || fail "exit code $?"
echo "transport end-to-end test passed"
INNER

xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/inner.sh" "$binary" "$work"
