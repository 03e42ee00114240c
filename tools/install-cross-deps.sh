#!/usr/bin/env bash
# The Windows cross build's tools and libraries: mingw-w64, wine and zlib from
# Debian's packages; libpng and giflib built for the cross target from
# Debian's source packages into PREFIX (default build/cross-deps). Safe to run
# again: finished steps are skipped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-$root/build/cross-deps}
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

packages=(g++-mingw-w64-x86-64 wine64 wine libz-mingw-w64-dev dpkg-dev xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sources=/etc/apt/sources.list.d/vesk-src.sources
if [ ! -f "$sources" ]; then
  echo "install-cross-deps: adding $sources, Debian's source packages, for libpng and giflib:"
  echo "  the Windows build compiles them for its own target from Debian's sources"
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
    "$codename" /usr/share/keyrings/debian-archive-keyring.gpg | $sudo tee "$sources" >/dev/null
  need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  $sudo apt-get update -qq
  [ ${#missing[@]} -gt 0 ] && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

[ -f "$prefix/lib/libpng16.a" ] && [ -f "$prefix/lib/libgif.a" ] && exit 0
src=$prefix/src
mkdir -p "$src" "$prefix/lib" "$prefix/include"
cd "$src"
[ -d libpng1.6-* ] 2>/dev/null || apt-get source -qq libpng1.6 >/dev/null 2>&1
[ -d giflib-* ] 2>/dev/null || apt-get source -qq giflib >/dev/null 2>&1

png=$(ls -d "$src"/libpng1.6-*/ | head -1)
cmake -S "$png" -B "$src/png-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DSKIP_INSTALL_EXECUTABLES=ON >/dev/null
cmake --build "$src/png-build" --target install >/dev/null

gif=$(ls -d "$src"/giflib-*/ | head -1)
objs=()
for f in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray quantize; do
  x86_64-w64-mingw32-gcc-posix -O2 -c "$gif/$f.c" -o "$src/$f.o"
  objs+=("$src/$f.o")
done
x86_64-w64-mingw32-ar rcs "$prefix/lib/libgif.a" "${objs[@]}"
cp "$gif/gif_lib.h" "$prefix/include/"
echo "cross libraries in $prefix"
