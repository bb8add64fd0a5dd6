#!/usr/bin/env bash
# The link notice in the real window: with the pointer resting on the notice
# box's lower part, a click starts xdg-open on the manual beside the program.
# A stand-in xdg-open records its arguments and then stays, as one waiting for
# the browser would; the window must go on following the pointer meanwhile.
set -euo pipefail
binary="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<'STANDIN'
#!/usr/bin/env bash
printf '%s\n' "$#" "$@" >"$(dirname "$0")/../xdg-open.args.part"
mv "$(dirname "$0")/../xdg-open.args.part" "$(dirname "$0")/../xdg-open.args"
exec sleep 30
STANDIN
chmod +x "$work/bin/xdg-open"

cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
binary="$1"; work="$2"
PATH="$work/bin:$PATH" KK_ALLOW_SECOND_INSTANCE=1 SDL_AUDIODRIVER=dummy "$binary" \
    --program-dir "$work" &
pid=$!
fail() { echo "FAIL: $*"; kill "$pid" 2>/dev/null || true; exit 1; }

id="$(timeout 20 xdotool search --sync --name 'MP3-KlangKelter' | head -1)" || fail "no window"
sleep 1.5
xdotool mousemove --window "$id" 300 260 click 1
sleep 0.5
# Resting there, the idle notice (back within 2 s of any other) becomes the link notice.
xdotool mousemove --window "$id" 800 505
sleep 3
box() { import -window "$id" -crop 350x64+641+460 +repage "$work/$1.png"; }
box before
xdotool click 1
for _ in $(seq 50); do
    [[ -f "$work/xdg-open.args" ]] && break
    sleep 0.1
done
[[ -f "$work/xdg-open.args" ]] || fail "no xdg-open started"
mapfile -t args <"$work/xdg-open.args"
[[ "${args[0]}" == 1 ]] || fail "xdg-open got ${args[0]} arguments: ${args[*]:1}"
url="${args[1]}"
[[ "$url" == file:///*/share/doc/klangkelter/manual.html ]] || fail "address $url"
path="$(python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(sys.argv[1][7:]))' "$url")"
[[ -f "$path" ]] || fail "no manual at $path"
[[ "$(realpath "$path")" == "$(realpath "$(dirname "$binary")")"/share/doc/klangkelter/manual.html ]] \
    || fail "the manual is not the one beside the program: $path"

# While xdg-open still runs, the help follows the pointer: PLAY explains itself.
xdotool mousemove --window "$id" 30 30
sleep 1
box after
[[ "$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)" != 0 ]] \
    || fail "the window stood still while xdg-open ran"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
kill "$pid"
wait "$pid" || true
INNER

xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/inner.sh" "$binary" "$work"
echo "manual link test passed"
