#!/usr/bin/env bash
# Makes the zip a Windows user unpacks and starts: the program, the decoder,
# the DLL, the manual and LIESMICH.txt; and, where Debian's nsis is
# installed, the setup.exe with a Start-menu entry, an uninstaller and an
# optional start at log-on. Builds the program first when build-win/ lacks
# it. Prints what it made.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ -f build-win/klangkelter.exe ]] || tools/windows-build.sh >/dev/null
version=$(sed -n 's/^project(klangkelter VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="KLANGKELTER-$version-win64"
stage="build-win/$name"
rm -rf "$stage" "build-win/$name.zip"
mkdir -p "$stage/Handbuch"
cp build-win/klangkelter.exe build-win/lame.exe build-win/libmpg123-0.dll "$stage/"
cp docs/manual.html docs/manual-screen.png "$stage/Handbuch/"
# Windows' editor wants CR LF.
sed 's/$/\r/' packaging/windows/LIESMICH.txt > "$stage/LIESMICH.txt"
(cd build-win && cmake -E tar cf "$name.zip" --format=zip "$name")
echo "build-win/$name.zip"
if command -v makensis >/dev/null; then
    makensis -V2 -DSTAGE="$PWD/$stage" \
        -DOUT="$PWD/build-win/$name-setup.exe" -DVERSION="$version" packaging/windows/klangkelter.nsi \
        >/dev/null
    echo "build-win/$name-setup.exe"
fi
