#!/usr/bin/env bash
# Installs the build into a fresh prefix (with a blank in its path, as a
# user's folder may have) and checks what a desktop needs: the program, its
# manual with the manual's image, an icon, and a desktop entry that
# desktop-file-validate accepts and that starts the installed program.
set -euo pipefail
build="$1"
cmake="${2:-cmake}"
top="$(mktemp -d)"
trap 'rm -rf "$top"' EXIT
prefix="$top/kk prefix"
fail() { echo "FAIL: $*"; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >"$top/install.log" || fail "install: $(cat "$top/install.log")"

[[ -x "$prefix/bin/klangkelter" ]] || fail "no program in bin/"
"$prefix/bin/klangkelter" --version | grep -q '^klangkelter ' || fail "the installed program does not run"
doc="$prefix/share/doc/klangkelter"
[[ -s "$doc/manual.html" ]] || fail "no manual in share/doc/klangkelter/"
grep -o 'src="[^"]*"' "$doc/manual.html" | sed 's/^src="//; s/"$//' | while read -r image; do
    [[ -s "$doc/$image" ]] || fail "the manual's $image is not installed beside it"
done

icon="$prefix/share/icons/hicolor/128x128/apps/klangkelter.png"
[[ -s "$icon" ]] || fail "no icon"
[[ "$(identify -format '%m %wx%h' "$icon")" == "PNG 128x128" ]] || fail "icon is not a 128x128 PNG"

entry="$prefix/share/applications/klangkelter.desktop"
[[ -s "$entry" ]] || fail "no desktop entry"
report="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate: $report"
[[ -z "$report" ]] || fail "desktop-file-validate: $report"
grep -qx "Exec=\"$prefix/bin/klangkelter\"" "$entry" || fail "Exec does not name the installed program: $(grep ^Exec "$entry")"
grep -qx 'Categories=AudioVideo;Audio;Player;' "$entry" || fail "categories"
grep -q '^Name\[de\]=' "$entry" && grep -q '^GenericName\[de\]=' "$entry" || fail "no German names"
grep -qx 'Icon=klangkelter' "$entry" || fail "icon name"
echo "install test passed"
