#!/usr/bin/env bash
# Builds the libraries tirevo links beside Qt for Windows, each from Debian's
# own source: QCustomPlot (source package qcustomplot), libjpeg (libjpeg-turbo)
# and GoogleTest (/usr/src/googletest from the googletest package).
# Called by scripts/setup-windows:  build-libs.sh QT_PREFIX LIBS_PREFIX WORK [NAME...]
# (NAME: googletest, libjpeg or qcustomplot; default all). Each one that is
# installed already is left as it is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qt=$1 prefix=$2 work=$3
shift 3
wanted=" ${*:-googletest libjpeg qcustomplot} "
toolchain=$(dirname "$qt")/mingw-w64-x86_64-posix.cmake
[ -r "$toolchain" ] || cp "$here/mingw-w64-x86_64-posix.cmake" "$toolchain"
jobs=$(nproc)
mkdir -p "$work" "$prefix"

source_of() {  # package -> unpacked folder
    local pkg=$1 dest=$work/$1-src version
    version=$(apt-cache showsrc "$pkg" | awk '/^Version:/ { print $2; exit }')
    mkdir -p "$dest"
    if ! ls -d "$dest"/*/debian >/dev/null 2>&1; then
        (cd "$dest" && apt-get source -qq "$pkg${version:+=$version}" >/dev/null 2>&1)
    fi
    dirname "$(ls -d "$dest"/*/debian | head -n 1)"
}

plain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
       -DCMAKE_INSTALL_PREFIX="$prefix")
withqt=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_HOST_PATH=/usr
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix")

build() {  # name source-dir cmake-args...
    local name=$1 src=$2
    shift 2
    [ -f "$prefix/.$name" ] && return 0
    echo "setup-windows: building $name"
    rm -rf "$work/$name-build"
    cmake -S "$src" -B "$work/$name-build" "$@" >"$work/$name.log" 2>&1 &&
        cmake --build "$work/$name-build" -j"$jobs" >>"$work/$name.log" 2>&1 &&
        cmake --install "$work/$name-build" >>"$work/$name.log" 2>&1 ||
        { tail -n 30 "$work/$name.log"; return 1; }
    rm -rf "$work/$name-build"
    touch "$prefix/.$name"
}

if [[ $wanted == *" googletest "* ]]; then
    build googletest /usr/src/googletest "${plain[@]}" -DBUILD_SHARED_LIBS=OFF
fi
if [[ $wanted == *" libjpeg "* ]] && [ ! -f "$prefix/.libjpeg" ]; then
    build libjpeg "$(source_of libjpeg-turbo)" "${plain[@]}" -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
        -DENABLE_STATIC=OFF -DCMAKE_INSTALL_DEFAULT_LIBDIR=lib
    rm -rf "$work/libjpeg-turbo-src"
fi
if [[ $wanted == *" qcustomplot "* ]] && [ ! -f "$prefix/.qcustomplot" ]; then
    build qcustomplot "$here/qcustomplot" "${withqt[@]}" -DQCUSTOMPLOT_SOURCE="$(source_of qcustomplot)"
    rm -rf "$work/qcustomplot-src"
fi
