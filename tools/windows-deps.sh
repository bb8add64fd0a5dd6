#!/usr/bin/env bash
# Builds what the Windows program needs and Debian does not ship for mingw:
# SDL2 (static), libmpg123 (a DLL: it is LGPL), lame.exe and GoogleTest, from
# Debian's own source packages, into a prefix. The prefix is kept under a key
# of the package versions, the compiler and this script, so a second run
# takes seconds. Usage: windows-deps.sh CACHE_FOLDER; prints the prefix.
set -euo pipefail
cache="${1:?cache folder}"
host=x86_64-w64-mingw32
here="$(cd "$(dirname "$0")" && pwd)"

version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo none; }
key=$( { version libsdl2-dev; version libmpg123-dev; version lame; version googletest;
         $host-g++-posix --version | head -1; sha256sum "$0" "$here/mingw-w64.cmake"; } |
       sha256sum | cut -c1-16)
prefix="$cache/prefix-$key"
if [[ -f "$prefix/.complete" ]]; then
    echo "$prefix"
    exit 0
fi

# The sources of the same versions as the Linux packages.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    sudo=""
    [[ "$(id -u)" -ne 0 ]] && sudo="sudo"
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
        $sudo tee /etc/apt/sources.list.d/klangkelter-src.sources >/dev/null
    $sudo apt-get update -qq
fi
work="$cache/work-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
cd "$work"
# A missing upstream signature (mpg123's .asc is not on every mirror) is no
# reason to stop: the upstream tarballs are what the build takes.
apt-get source --download-only -qq libsdl2 mpg123 lame >/dev/null 2>&1 || true
for name in libsdl2 mpg123 lame; do
    tarball=$(ls ${name}_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -1)
    [[ -n "$tarball" ]] || { echo "windows-deps: no source of $name" >&2; exit 1; }
    mkdir -p "$name-src"
    tar -xf "$tarball" -C "$name-src" --strip-components=1
done

jobs=$(nproc)
cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release
       -DCMAKE_INSTALL_PREFIX="$prefix")

# SDL2: static, audio and video only.
cmake -S libsdl2-src -B sdl-build "${cross[@]}" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
    -DSDL_TESTS=OFF >/dev/null
cmake --build sdl-build -j"$jobs" >/dev/null
cmake --install sdl-build >/dev/null

# libmpg123 as a DLL beside the program.
(cd mpg123-src && ./configure -q --host=$host --prefix="$prefix" --enable-shared --disable-static \
    --disable-components --enable-libmpg123 CC=$host-gcc-posix >/dev/null &&
    make -j"$jobs" >/dev/null && make install >/dev/null)

# lame.exe, the decoder, one file.
(cd lame-src && ./configure -q --host=$host --prefix="$prefix" --disable-shared --enable-static \
    --disable-gtktest CC=$host-gcc-posix LDFLAGS=-static >/dev/null &&
    make -j"$jobs" >/dev/null && make install >/dev/null)

# GoogleTest from the copy Debian installs with it.
cmake -S /usr/src/googletest -B gtest-build "${cross[@]}" -DBUILD_GMOCK=OFF >/dev/null
cmake --build gtest-build -j"$jobs" >/dev/null
cmake --install gtest-build >/dev/null

rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
